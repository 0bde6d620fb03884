// Device contexts and fonts over the system's font files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi.h"

using namespace mtxOs;

namespace {

struct MemoryDc {
    MemoryDc(int w, int h)
        : dc(CreateCompatibleDC(nullptr)), bitmap(CreateCompatibleBitmap(dc, w, h)) {
        SelectObject(dc, bitmap);
    }
    ~MemoryDc() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    const Bitmap& Pixels() const { return *GetBitmapPixels(bitmap); }
    HDC dc;
    HGDIOBJ bitmap;
};

TEST(Gdi, ArialResolvesAndMetricsHangTogether) {
    HGDIOBJ font = CreateFont(-20, 400, 0, "", 0, 0);
    ASSERT_NE(font, nullptr);
    MemoryDc m(8, 8);
    SelectObject(m.dc, font);
    OUTLINETEXTMETRIC otm;
    ASSERT_GT(GetOutlineTextMetrics(m.dc, otm), 0u);
    EXPECT_FALSE(otm.faceName.empty());
    EXPECT_GT(otm.emSquare, 0u);
    EXPECT_GE(otm.tm.height, 20);  // the cell holds the em square and the leading
    EXPECT_EQ(otm.tm.height, otm.tm.ascent + otm.tm.descent);
    EXPECT_GT(otm.tm.aveCharWidth, 0);
    DeleteObject(font);
    EXPECT_TRUE(DeleteObject(nullptr));
}

TEST(Gdi, AbcWidthsAddUpToTheTextExtent) {
    HGDIOBJ font = CreateFont(-17, 400, 0, "Arial", 0, 0);
    ASSERT_NE(font, nullptr);
    MemoryDc m(8, 8);
    SelectObject(m.dc, font);
    std::string text = "Daubry fills pictures";
    SIZE extent;
    ASSERT_TRUE(GetTextExtentPoint32(m.dc, text, extent));
    int sum = 0;
    for (char c : text) {
        ABC abc;
        ASSERT_TRUE(GetCharABCWidths(m.dc, static_cast<unsigned char>(c),
                                     static_cast<unsigned char>(c), &abc));
        sum += abc.a + static_cast<int>(abc.b) + abc.c;
    }
    EXPECT_EQ(sum, extent.cx);
    DeleteObject(font);
}

TEST(Gdi, GreyGlyphsUseLevelsUpTo64InPaddedRows) {
    HGDIOBJ font = CreateFont(-32, 700, 0, "Arial", 0, 0);
    ASSERT_NE(font, nullptr);
    MemoryDc m(8, 8);
    SelectObject(m.dc, font);
    GLYPHMETRICS gm;
    uint32_t size = GetGlyphOutline(m.dc, U'W', GGO_GRAY8_BITMAP, gm, 0, nullptr);
    ASSERT_NE(size, GDI_ERROR);
    uint32_t pitch = (gm.blackBoxX + 3) & ~3u;
    EXPECT_EQ(size, pitch * gm.blackBoxY);
    std::vector<uint8_t> buffer(size);
    EXPECT_EQ(GetGlyphOutline(m.dc, U'W', GGO_GRAY8_BITMAP, gm, size - 1, buffer.data()),
              GDI_ERROR);
    ASSERT_EQ(GetGlyphOutline(m.dc, U'W', GGO_GRAY8_BITMAP, gm, size, buffer.data()), size);
    uint8_t high = 0;
    for (uint8_t v : buffer) {
        EXPECT_LE(v, 64);
        high = std::max(high, v);
    }
    EXPECT_EQ(high, 64);  // a bold W has fully covered pixels
    EXPECT_GT(gm.cellIncX, 0);
    DeleteObject(font);
}

TEST(Gdi, DrawingStaysInsideTheBitmapAndTheViewportMovesIt) {
    MemoryDc m(40, 20);
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    FillRect(m.dc, {-100, -100, 100, 100}, white);
    for (uint32_t p : m.Pixels().pixels) ASSERT_EQ(p, 0xFFFFFFFFu);
    HGDIOBJ red = CreateSolidBrush(RGB(255, 0, 0));
    SetViewportOrgEx(m.dc, 10, 5, nullptr);
    FillRect(m.dc, {0, 0, 2, 2}, red);
    EXPECT_EQ(m.Pixels().Row(5)[10], 0xFFFF0000u);
    EXPECT_EQ(m.Pixels().Row(4)[10], 0xFFFFFFFFu);
    DeleteObject(red);
    RECT clip;
    EXPECT_EQ(GetClipBox(m.dc, clip), 2);
    EXPECT_EQ(clip.left, -10);
    EXPECT_TRUE(PtVisible(m.dc, 29, 14));
    EXPECT_FALSE(PtVisible(m.dc, 30, 14));
}

TEST(Gdi, TextChangesPixelsOnlyWhereItIsDrawn) {
    MemoryDc m(120, 40);
    FillRect(m.dc, {0, 0, 120, 40}, GetStockObject(WHITE_BRUSH));
    SetBkMode(m.dc, TRANSPARENT);
    SetTextColor(m.dc, RGB(0, 0, 0));
    ASSERT_TRUE(TextOut(m.dc, 4, 4, "Hi"));
    int dark = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            bool inked = m.Pixels().Row(y)[x] != 0xFFFFFFFFu;
            dark += inked;
            if (inked) {
                EXPECT_TRUE(x >= 4 && x < 40 && y >= 4 && y < 30) << x << "," << y;
            }
        }
    EXPECT_GT(dark, 10);
}

TEST(Gdi, ClippedTextStaysInItsRectangle) {
    MemoryDc m(120, 40);
    FillRect(m.dc, {0, 0, 120, 40}, GetStockObject(WHITE_BRUSH));
    SetBkMode(m.dc, TRANSPARENT);
    RECT r{0, 0, 12, 40};
    ASSERT_TRUE(ExtTextOut(m.dc, 4, 4, ETO_CLIPPED, &r, "WWWW"));
    int inked = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            if (m.Pixels().Row(y)[x] != 0xFFFFFFFFu) {
                ++inked;
                EXPECT_LT(x, 12);
            }
    EXPECT_GT(inked, 0);
}

TEST(Gdi, SavedStatesComeBack) {
    MemoryDc m(4, 4);
    SetTextColor(m.dc, RGB(1, 2, 3));
    int saved = SaveDC(m.dc);
    SetTextColor(m.dc, RGB(9, 9, 9));
    SetViewportOrgEx(m.dc, 3, 3, nullptr);
    EXPECT_TRUE(RestoreDC(m.dc, saved));
    EXPECT_EQ(SetTextColor(m.dc, 0), RGB(1, 2, 3));
    POINT old;
    SetViewportOrgEx(m.dc, 0, 0, &old);
    EXPECT_EQ(old.x, 0);
    EXPECT_FALSE(RestoreDC(m.dc, saved));  // used up
    EXPECT_EQ(SetMapMode(m.dc, 8), 0);     // only the text mode exists
}

}  // namespace
