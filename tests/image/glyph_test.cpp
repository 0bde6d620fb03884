#include "image/glyph.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// The font tests draw with; skipped where the system has no scalable font.
struct Font {
    Font() : handle(mtxOs::CreateFont(-64, 400, 0, "Arial", 0, 17)) {}
    ~Font() { mtxOs::DeleteObject(handle); }
    mtxOs::HGDIOBJ handle;
};

}  // namespace

TEST(Glyph, FullCoverageIs251AndLevelsFollowTheScale) {
    Font font;
    if (!font.handle) GTEST_SKIP() << "no font";
    mtxImage image(96, 96);
    ASSERT_EQ(DrawGlyph(image, U'I', 10, 5, font.handle), 1);
    std::set<uint32_t> allowed;
    for (uint32_t level = 0; level <= 64; ++level) allowed.insert(level * 255 / 65);
    uint32_t highest = 0;
    int inked = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            mtxColor c = image.At(x, y);
            if (c == 0xFF000000) continue;  // untouched background
            ASSERT_EQ(c & 0xFFFFFF, 0xFFFFFFu);
            ASSERT_TRUE(allowed.count(mtxAlpha(c))) << mtxAlpha(c);
            highest = std::max(highest, mtxAlpha(c));
            inked += mtxAlpha(c) > 0;
        }
    EXPECT_EQ(highest, 251u);
    EXPECT_GT(inked, 100);
    EXPECT_NE(image.auxiliary, nullptr);
}

TEST(Glyph, ClipsToTheImageAndDrawsWithTheDefaultFont) {
    Font font;
    if (!font.handle) GTEST_SKIP() << "no font";
    // Glyph boxes hanging over every side of a small image.
    mtxImage image(20, 20);
    for (int x : {-40, -15, 10, 18, 40})
        for (int y : {-60, -30, 5, 18, 40}) EXPECT_EQ(DrawGlyph(image, U'W', x, y, font.handle), 1);
    mtxImage empty;
    EXPECT_EQ(DrawGlyph(empty, U'W', 0, 0, font.handle), 1);
    mtxImage small(40, 30);
    ASSERT_EQ(DrawGlyph(small, U'H', 2, 2), 1);
    int inked = 0;
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x) inked += small.At(x, y) != 0xFF000000;
    EXPECT_GT(inked, 20);
    // A space has no ink: nothing drawn, and that is success.
    mtxImage blank(20, 20);
    EXPECT_EQ(DrawGlyph(blank, U' ', 2, 2, font.handle), 1);
}

TEST(Glyph, SitsOnTheBaselineAscentBelowTheGivenTop) {
    Font font;
    if (!font.handle) GTEST_SKIP() << "no font";
    mtxOs::HDC dc = mtxOs::CreateCompatibleDC(nullptr);
    mtxOs::SelectObject(dc, font.handle);
    mtxOs::TEXTMETRIC tm;
    ASSERT_TRUE(mtxOs::GetTextMetrics(dc, tm));
    mtxOs::DeleteDC(dc);
    mtxImage image(120, 120);
    ASSERT_EQ(DrawGlyph(image, U'H', 30, 7, font.handle), 1);
    int top = -1, bottom = -1, left = -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (mtxAlpha(image.At(x, y)) > 128 && image.At(x, y) != 0xFF000000) {
                if (top < 0) top = y;
                bottom = y;
                if (left < 0 || x < left) left = x;
            }
    // A capital stands on the baseline and starts just right of the pen.
    EXPECT_NEAR(bottom + 1, 7 + tm.ascent, 1);
    EXPECT_GT(bottom - top, 30);
    EXPECT_NEAR(left, 30, 8);
}
