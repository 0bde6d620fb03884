// The drawing primitives by their pixels, drawn inside a frame of the editor.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "tests/ui/ui_test_support.h"
#include "ui/primitives.h"
#include "ui/texture_picture.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

// Draws whatever the test gives it, once per frame.
class Painter : public mtxIECtrl {
  public:
    Painter(mtxIECtrl* parent, std::function<void(IDirect3DDevice9*)> fn)
        : mtxIECtrl(parent), draw(std::move(fn)) {
        SetRect({0, 0, 200, 120});
        Show(1);
    }
    void Draw(int, int, const RECT&) override {
        result = 1;
        draw(editor->GetDevice());
    }
    std::function<void(IDirect3DDevice9*)> draw;
    int result = 0;
};

Pixels PaintWith(Editor& editor, std::function<void(IDirect3DDevice9*)> fn) {
    auto* p = new Painter(editor.canvas.get(), std::move(fn));
    editor.AddDirty({0, 0, 200, 120});
    editor.Paint();
    Pixels out = ReadBack(editor);
    editor.canvas->RemoveChild(p);
    return out;
}

// Pixels of the colour inside the window (0, 0)-(200, 120).
std::vector<POINT> Covered(const Pixels& p, uint32_t color) {
    std::vector<POINT> out;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            if (p.At(x, y) == color) out.push_back({x, y});
    return out;
}

TEST(Primitives, FillRectCoversExactlyItsPixels) {
    Editor editor;
    Pixels p = PaintWith(editor, [](IDirect3DDevice9* d) {
        EXPECT_EQ(mtxIEPrimitives::FillRect(d, {10, 20, 13, 24}, kBlack), 1);
    });
    auto pts = Covered(p, kBlack);
    ASSERT_EQ(pts.size(), 12u);
    for (POINT q : pts) EXPECT_TRUE(q.x >= 10 && q.x < 13 && q.y >= 20 && q.y < 24);
}

// Every texel lands on its own pixel: a picture of distinct texels, odd and
// even sized, drawn at two places (TexturedRect through the picture's texture),
// reads back exactly, with nothing around it.
TEST(Primitives, TexturedRectDrawsTexelForTexel) {
    Editor editor;
    for (auto [w, h] : {std::pair{5, 7}, std::pair{8, 4}}) {
        std::vector<uint32_t> texels(size_t(w) * size_t(h));
        for (size_t i = 0; i < texels.size(); ++i)
            texels[i] = 0xFF000000u | uint32_t(i * 0x0A1F37u);
        mtxIETexturePicture picture;
        ASSERT_EQ(picture.Set(texels.data(), w, h, 64), 1);
        for (POINT at : {POINT{10, 20}, POINT{37, 51}}) {
            Pixels p = PaintWith(editor, [&](IDirect3DDevice9* d) {
                mtxIEPrimitives::FillRect(d, {0, 0, 200, 120}, kWhite);
                EXPECT_EQ(picture.Draw(d, at.x, at.y), 1);
            });
            for (int y = -1; y <= h; ++y)
                for (int x = -1; x <= w; ++x) {
                    bool inside = x >= 0 && y >= 0 && x < w && y < h;
                    uint32_t want = inside ? texels[size_t(y) * size_t(w) + size_t(x)] : kWhite;
                    ASSERT_EQ(p.At(at.x + x, at.y + y), want)
                        << w << " x " << h << " at " << at.x << ", " << at.y << ": texel " << x
                        << ", " << y;
                }
        }
    }
}

TEST(Primitives, FrameRectIsTheRingJustInsideTheRectangle) {
    Editor editor;
    Pixels p = PaintWith(editor, [](IDirect3DDevice9* d) {
        EXPECT_EQ(mtxIEPrimitives::FrameRect(d, {10, 10, 20, 16}, kBlack), 1);
    });
    int wrong = 0;
    for (int y = 5; y < 25; ++y)
        for (int x = 5; x < 25; ++x) {
            bool inRect = x >= 10 && x < 20 && y >= 10 && y < 16;
            bool border = inRect && (x == 10 || x == 19 || y == 10 || y == 15);
            wrong += (p.At(x, y) == kBlack) != border;
        }
    EXPECT_EQ(wrong, 0);
}

// Even-odd test of the pixel centre against the polygon: the oracle.
bool Inside(const std::vector<POINT>& poly, double x, double y) {
    bool in = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        double xi = poly[i].x - 0.5, yi = poly[i].y - 0.5, xj = poly[j].x - 0.5,
               yj = poly[j].y - 0.5;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
}

TEST(Primitives, AFivePointPolygonCoversWhatThePolygonCovers) {
    Editor editor;
    // Convex pentagon: a strip through these points would cover a different area.
    std::vector<POINT> poly = {{100, 10}, {150, 45}, {130, 100}, {70, 100}, {50, 45}};
    Pixels p = PaintWith(editor, [&](IDirect3DDevice9* d) {
        EXPECT_EQ(mtxIEPrimitives::FillPolygon(d, poly.data(), int(poly.size()), kBlack), 1);
    });
    int wrong = 0, inside = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x) {
            // Pixels whose centre lies within half a pixel of an edge may go either way.
            bool near = false;
            for (double dx : {-0.5, 0.5})
                for (double dy : {-0.5, 0.5})
                    near |= Inside(poly, x + dx, y + dy) != Inside(poly, x, y);
            if (near) continue;
            bool want = Inside(poly, x, y);
            inside += want;
            wrong += (p.At(x, y) == kBlack) != want;
        }
    EXPECT_GT(inside, 3000);
    EXPECT_EQ(wrong, 0);
}

TEST(Primitives, ArrowsAreCentredSymmetricAndPointTheRightWay) {
    Editor editor;
    const RECT box = {20, 20, 41, 41};  // 21 wide: base ((21 - 1) / 2) | 1 = 11
    Pixels up = PaintWith(editor, [&](IDirect3DDevice9* d) {
        EXPECT_EQ(mtxIEPrimitives::ArrowGlyph(d, box, mtxIEPrimitives::kArrowUp, kBlack), 1);
    });
    Pixels down = PaintWith(editor, [&](IDirect3DDevice9* d) {
        EXPECT_EQ(mtxIEPrimitives::ArrowGlyph(d, box, mtxIEPrimitives::kArrowDown, kBlack), 1);
    });
    // Row widths from the top of the glyph: up grows 1, 3, ..., 11; down shrinks.
    auto rowWidths = [](const Pixels& p) {
        std::vector<int> widths;
        for (int y = 20; y < 41; ++y) {
            int n = 0, sum = 0;
            for (int x = 20; x < 41; ++x)
                if (p.At(x, y) == kBlack) ++n, sum += x;
            if (n) {
                widths.push_back(n);
                EXPECT_EQ(sum, n * 30) << "row " << y << " is not centred on column 30";
            }
        }
        return widths;
    };
    EXPECT_EQ(rowWidths(up), (std::vector<int>{1, 3, 5, 7, 9, 11}));
    EXPECT_EQ(rowWidths(down), (std::vector<int>{11, 9, 7, 5, 3, 1}));
    // A small box still gets the smallest base of 7.
    Pixels small = PaintWith(editor, [&](IDirect3DDevice9* d) {
        mtxIEPrimitives::ArrowGlyph(d, {50, 50, 55, 55}, mtxIEPrimitives::kArrowUp, kBlack);
    });
    EXPECT_EQ(Covered(small, kBlack).size(), size_t(1 + 3 + 5 + 7));
}

TEST(Primitives, LinesReachBothEndsAndPolyLinesEveryPoint) {
    Editor editor;
    Pixels p = PaintWith(editor, [](IDirect3DDevice9* d) {
        EXPECT_EQ(mtxIEPrimitives::Line(d, 10, 10, 60, 10, kBlack), 1);
        POINT pts[3] = {{10, 30}, {60, 30}, {60, 80}};
        EXPECT_EQ(mtxIEPrimitives::PolyLine(d, pts, 3, kBlack), 1);
    });
    auto dark = [&](int x, int y) { return (p.At(x, y) & 0xFF) < 0x80; };
    EXPECT_TRUE(dark(10, 10));
    EXPECT_TRUE(dark(35, 10));
    EXPECT_TRUE(dark(59, 10));
    EXPECT_FALSE(dark(35, 20));
    EXPECT_TRUE(dark(35, 30));
    EXPECT_TRUE(dark(60, 55));
    EXPECT_FALSE(dark(40, 55));
}

TEST(Primitives, WithoutADeviceNothingIsDrawn) {
    RECT r = {0, 0, 5, 5};
    POINT pts[3] = {{0, 0}, {5, 0}, {0, 5}};
    EXPECT_EQ(mtxIEPrimitives::FillRect(nullptr, r, kWhite), 0);
    EXPECT_EQ(mtxIEPrimitives::FrameRect(nullptr, r, kWhite), 0);
    EXPECT_EQ(mtxIEPrimitives::Line(nullptr, 0, 0, 1, 1, kWhite), 0);
    EXPECT_EQ(mtxIEPrimitives::FillPolygon(nullptr, pts, 3, kWhite), 0);
    EXPECT_EQ(mtxIEPrimitives::ArrowGlyph(nullptr, r, 1, kWhite), 0);
}

}  // namespace
