#include "image/image_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Point = mtxImagePath::Point;
const double kPi = std::acos(-1.0);

// A transparent image, so that the alpha a fill leaves is its coverage.
struct Transparent : mtxImage {
    Transparent(int w, int h) { Create(w, h, 0); }
};

double AlphaArea(const mtxImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) sum += mtxAlpha(image.At(x, y)) / 255.0;
    return sum;
}

void AddCircle(mtxImagePath& path, float cx, float cy, float r) {
    // Four quarter arcs; the control distance 0.5523 r keeps within 0.03% of
    // the circle's area.
    const float k = 0.55228475f * r;
    path.MoveTo(cx + r, cy);
    path.BezierTo(cx + r, cy + k, cx + k, cy + r, cx, cy + r);
    path.BezierTo(cx - k, cy + r, cx - r, cy + k, cx - r, cy);
    path.BezierTo(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
    path.BezierTo(cx + k, cy - r, cx + r, cy - k, cx + r, cy);
}

}  // namespace

TEST(ImagePath, FilledAreasOfPolygonsAndCurvesAreExact) {
    {
        Transparent image(64, 64);
        mtxImagePath path;
        path.brush.SetColor(0xFFFFFFFF);
        Point tri[] = {{3.3f, 4.1f}, {60.2f, 17.7f}, {21.9f, 58.4f}};
        path.AddPolygon(tri, 3);
        ASSERT_EQ(path.Fill(image), 1);
        double area = std::fabs((60.2 - 3.3) * (58.4 - 4.1) - (21.9 - 3.3) * (17.7 - 4.1)) / 2;
        EXPECT_NEAR(AlphaArea(image), area, area * 0.005);
        // Straight alpha: a covered pixel keeps the brush colour however thin.
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                if (mtxAlpha(image.At(x, y))) {
                    ASSERT_EQ(image.At(x, y) & 0xFFFFFF, 0xFFFFFFu);
                }
    }
    for (uint32_t rule : {0u, 1u}) {
        Transparent image(64, 64);
        mtxImagePath path;
        path.brush.SetColor(0xFF2080C0);
        path.brush.SetFillRule(rule);
        std::vector<Point> star;
        for (int i = 0; i < 5; ++i) {
            double a = -kPi / 2 + i * 4 * kPi / 5;
            star.push_back({float(32 + 28 * std::cos(a)), float(32 + 28 * std::sin(a))});
        }
        path.AddPolygon(star.data(), 5);
        ASSERT_EQ(path.Fill(image), 1);
        double inner = 28 * std::cos(2 * kPi / 5) / std::cos(kPi / 5);
        double pentagon = 2.5 * inner * inner * std::sin(2 * kPi / 5);
        double outline = 5 * 28 * inner * std::sin(kPi / 5);
        double expected = rule ? outline - pentagon : outline;
        EXPECT_NEAR(AlphaArea(image), expected, expected * 0.005) << "rule " << rule;
        EXPECT_EQ(mtxAlpha(image.At(32, 32)), rule ? 0u : 255u);
    }
    {
        Transparent image(80, 80);
        mtxImagePath path;
        AddCircle(path, 40.3f, 39.6f, 30.0f);
        ASSERT_EQ(path.Fill(image), 1);
        double area = kPi * 30 * 30;
        EXPECT_NEAR(AlphaArea(image), area, area * 0.005);
    }
}

TEST(ImagePath, EdgesBlendSymmetricallyOverTheBackground) {
    mtxImage image(40, 10);  // opaque black
    mtxImagePath path;
    path.brush.SetColor(0xFFFFFFFF);
    Point box[] = {{10.25f, 2}, {29.75f, 2}, {29.75f, 8}, {10.25f, 8}};
    path.AddPolygon(box, 4);
    ASSERT_EQ(path.Fill(image), 1);
    // Three quarters covered on both sides: 0.75 x 255 = 191.25.
    EXPECT_EQ(image.At(10, 5), 0xFFBFBFBFu);
    EXPECT_EQ(image.At(29, 5), 0xFFBFBFBFu);
    EXPECT_EQ(image.At(20, 5), 0xFFFFFFFFu);
    EXPECT_EQ(image.At(20, 1), 0xFF000000u);
    // Half-transparent colour over a half-transparent pixel: straight alpha.
    mtxImage glass;
    glass.Create(4, 4, 0x80FF0000);
    mtxImagePath cover;
    cover.brush.SetColor(0x800000FF);
    Point all[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    cover.AddPolygon(all, 4);
    cover.Fill(glass);
    mtxColor c = glass.At(1, 1);
    EXPECT_NEAR(int(mtxAlpha(c)), 192, 1);
    EXPECT_NEAR(int(mtxRed(c)), 85, 1);
    EXPECT_NEAR(int(mtxBlue(c)), 170, 1);
}

TEST(ImagePath, GradientBrushPaintsTheGradientAndTransformMovesThePath) {
    Transparent image(50, 50);
    mtxImagePath path;
    path.brush.gradient.AddStop(0, 0xFFFF0000);
    path.brush.gradient.AddStop(1, 0xFF0000FF);
    path.brush.gradient.SetLinear(0, 0, 50, 0);
    path.brush.UseGradient();
    Point square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    path.AddPolygon(square, 4);
    const float scale[3][3] = {{4, 0, 0}, {0, 4, 0}, {5, 5, 1}};  // 40 x 40 at (5, 5)
    path.SetTransform(scale);
    ASSERT_EQ(path.Fill(image), 1);
    EXPECT_NEAR(AlphaArea(image), 1600, 1e-3);
    for (int x = 5; x < 45; ++x)
        ASSERT_EQ(image.At(x, 20), path.brush.gradient.ColorAt(x + 0.5f, 20.5f)) << x;
    EXPECT_EQ(image.At(4, 20), 0u);
    EXPECT_NE(image.At(5, 20), image.At(44, 20));
}

TEST(ImagePath, PointsFollowTheirRules) {
    mtxImagePath path;
    path.MoveTo(1, 1);
    path.MoveTo(2, 2);  // replaces
    ASSERT_EQ(path.Points().size(), 1u);
    EXPECT_EQ(path.Points()[0].x, 2.0f);
    path.BezierTo(2, 2, 2, 2, 2, 2);  // nothing
    EXPECT_EQ(path.Points().size(), 1u);
    path.BezierTo(3, 2, 4, 3, 5, 5);
    path.LineTo(0, 5);
    path.MoveTo(9, 9);
    ASSERT_EQ(path.Points().size(), 6u);
    EXPECT_EQ(path.Points()[1].kind, uint32_t(mtxImagePath::kBezierControl));
    EXPECT_EQ(path.Points()[3].kind, uint32_t(mtxImagePath::kBezierEnd));
    std::vector<mtxImagePath::Outline> outlines;
    ASSERT_EQ(path.BuildOutlines(outlines), 1);
    ASSERT_EQ(outlines.size(), 1u);
    const auto& o = outlines[0];
    ASSERT_EQ(o.contourEnds.size(), 2u);
    EXPECT_EQ(o.contourEnds[0], 4);
    EXPECT_EQ(o.xs[1], 3 * 64);
    EXPECT_EQ(o.tags[1], mtxImagePath::kTagCubic);
    EXPECT_EQ(o.tags[2], mtxImagePath::kTagCubic);
    EXPECT_EQ(o.tags[3], mtxImagePath::kTagOn);
    path.ResetPath();
    EXPECT_EQ(path.Points().back().x, 0.0f);
}

TEST(ImagePath, HugeAndBrokenPathsAreRefusedOrClipped) {
    Transparent image(32, 32);
    mtxImagePath path;
    Point broken[] = {{1, 1}, {NAN, 20}, {20, 20}};
    path.AddPolygon(broken, 3);
    EXPECT_EQ(path.Fill(image), 0);
    Point beyond[] = {{1, 1}, {3e7f, 20}, {20, 20}};
    path.Clear();
    path.AddPolygon(beyond, 3);
    EXPECT_EQ(path.Fill(image), 0);
    EXPECT_EQ(AlphaArea(image), 0.0);
    // Large but representable: clipped to the image, which it covers.
    Point large[] = {{-4e6f, -4e6f}, {4e6f, -4e6f}, {0, 4e6f}};
    path.Clear();
    path.AddPolygon(large, 3);
    ASSERT_EQ(path.Fill(image), 1);
    EXPECT_EQ(AlphaArea(image), 32.0 * 32.0);
    // A zero tolerance and a wild curve end in bounded time.
    Transparent other(32, 32);
    path.Clear();
    path.tolerance = 0.0f;
    path.MoveTo(0, 0);
    path.BezierTo(1e6f, -1e6f, -1e6f, 1e6f, 30, 30);
    EXPECT_EQ(path.Fill(other), 1);
}

TEST(ImagePath, PathsBeyondSixteenBitIndicesAreSplitExactly) {
    Transparent image(100, 100);
    mtxImagePath path;
    std::vector<Point> ring(150000);
    for (size_t i = 0; i < ring.size(); ++i) {
        double a = 2 * kPi * double(i) / double(ring.size());
        ring[i] = {float(50 + 40 * std::cos(a)), float(50 + 40 * std::sin(a))};
    }
    path.AddPolygon(ring.data(), int(ring.size()));
    std::vector<mtxImagePath::Outline> outlines;
    ASSERT_EQ(path.BuildOutlines(outlines), 1);
    ASSERT_EQ(outlines.size(), 3u);
    for (const auto& o : outlines) EXPECT_LE(o.xs.size(), mtxImagePath::kMaxOutlinePoints);
    ASSERT_EQ(path.Fill(image), 1);
    double area = kPi * 40 * 40;
    EXPECT_NEAR(AlphaArea(image), area, area * 0.005);
    EXPECT_EQ(mtxAlpha(image.At(50, 50)), 255u);
}

TEST(ImagePath, StrokesDrawLineToSegmentsWithThePen) {
    Transparent image(64, 32);
    mtxImagePath path;
    path.MoveTo(10, 16);
    path.LineTo(50, 16);
    EXPECT_EQ(path.Stroke(image, 255), 1);
    EXPECT_EQ(AlphaArea(image), 0.0);  // the pen is off
    path.pen.enabled = 1;
    path.pen.width = 4;
    path.pen.brush.SetColor(0xFFFFFFFF);
    ASSERT_EQ(path.Stroke(image, 255), 1);
    EXPECT_NEAR(AlphaArea(image), 40 * 4, 0.5);

    Transparent round(64, 32);
    path.pen.style = mtxImagePen::kStyleRound;
    path.LineTo(50, 4);  // a corner: its join is counted once
    ASSERT_EQ(path.Stroke(round, 255), 1);
    // Two segments less their overlap, two half-disc caps (2 pi each), the
    // quarter disc the join adds outside the corner (pi).
    double expected = 40 * 4 + 12 * 4 - 4 + 5 * kPi;
    EXPECT_NEAR(AlphaArea(round), expected, expected * 0.01);

    Transparent faint(64, 32);
    path.pen.style = mtxImagePen::kStyleButt;
    ASSERT_EQ(path.Stroke(faint, 128), 1);
    EXPECT_EQ(mtxAlpha(faint.At(30, 16)), 128u);

    // Unusable widths draw hairlines or are clipped, never fault.
    for (float width : {NAN, INFINITY, -5.0f, 1e30f}) {
        mtxImage odd(64, 32);
        path.pen.width = width;
        path.pen.style = mtxImagePen::kStyleRound;
        EXPECT_EQ(path.Stroke(odd, 255), 1) << width;
    }

    // Bezier points are skipped; the current point stays.
    Transparent curve(64, 32);
    mtxImagePath bent;
    bent.pen.enabled = 1;
    bent.pen.width = 2;
    bent.MoveTo(2, 2);
    bent.BezierTo(60, 2, 60, 30, 2, 30);
    ASSERT_EQ(bent.Stroke(curve, 255), 1);
    EXPECT_EQ(AlphaArea(curve), 0.0);
}
