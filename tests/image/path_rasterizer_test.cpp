#include "image/path_rasterizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

struct P {
    double x, y;
};

// The exact winding area of a closed polygon over one square: the polygon
// clipped to each side of the square in turn (Sutherland-Hodgman keeps the
// winding integral over a convex window), then its signed shoelace area.
double WindingAreaOver(const std::vector<P>& polygon, double left, double top, double size) {
    std::vector<P> poly = polygon, next;
    auto clip = [&](auto inside, auto cross) {
        next.clear();
        for (size_t i = 0; i < poly.size(); ++i) {
            P a = poly[i], b = poly[(i + 1) % poly.size()];
            bool ia = inside(a), ib = inside(b);
            if (ia) next.push_back(a);
            if (ia != ib) next.push_back(cross(a, b));
        }
        poly.swap(next);
    };
    auto atX = [](double x) {
        return [x](P a, P b) { return P{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)}; };
    };
    auto atY = [](double y) {
        return [y](P a, P b) { return P{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y}; };
    };
    const double right = left + size, bottom = top + size;
    clip([&](P p) { return p.x >= left; }, atX(left));
    clip([&](P p) { return p.x <= right; }, atX(right));
    clip([&](P p) { return p.y >= top; }, atY(top));
    clip([&](P p) { return p.y <= bottom; }, atY(bottom));
    double area = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        P a = poly[i], b = poly[(i + 1) % poly.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return area / 2;
}

void AddPolygon(mtxPathRasterizer& r, const std::vector<P>& poly) {
    for (size_t i = 0; i < poly.size(); ++i) {
        P a = poly[i], b = poly[(i + 1) % poly.size()];
        r.AddLine(float(a.x), float(a.y), float(b.x), float(b.y));
    }
}

// Vertices at multiples of 1/64, as the path's outlines hold them, so the
// float edges are exact.
std::vector<P> RandomPolygon(std::mt19937& random, double lo, double hi) {
    std::uniform_real_distribution<double> coordinate(lo, hi);
    std::uniform_int_distribution<int> count(3, 12);
    std::vector<P> poly(size_t(count(random)));
    for (P& p : poly)
        p = {std::round(coordinate(random) * 64) / 64, std::round(coordinate(random) * 64) / 64};
    return poly;
}

std::vector<float> Coverage(mtxPathRasterizer& r, mtxPathRasterizer::FillRule rule,
                            const mtxRect& clip) {
    int w = clip.right - clip.left;
    std::vector<float> out(size_t(w) * size_t(clip.bottom - clip.top), 0.0f);
    r.Render(rule, [&](int y, int left, int count, const float* c) {
        for (int i = 0; i < count; ++i)
            out[size_t(y - clip.top) * w + (left + i - clip.left)] = c[i];
    });
    return out;
}

std::vector<P> Pentagram(double cx, double cy, double radius) {
    std::vector<P> star;
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 5; ++i) {
        double a = -pi / 2 + i * 4 * pi / 5;
        star.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
    }
    return star;
}

}  // namespace

TEST(PathRasterizer, WindingAreasOfRandomPolygonsMatchExactClipping) {
    std::mt19937 random(7);
    const mtxRect clip{2, 3, 22, 21};
    for (int round = 0; round < 60; ++round) {
        // Some polygons reach past the clip on every side.
        std::vector<P> poly = RandomPolygon(random, -4, 28);
        mtxPathRasterizer r;
        r.Reset(clip);
        AddPolygon(r, poly);
        std::vector<float> areas;
        r.WindingAreas(areas);
        int w = clip.right - clip.left;
        for (int y = clip.top; y < clip.bottom; ++y)
            for (int x = clip.left; x < clip.right; ++x)
                ASSERT_NEAR(areas[size_t(y - clip.top) * w + (x - clip.left)],
                            WindingAreaOver(poly, x, y, 1), 2e-4)
                    << "round " << round << " pixel " << x << "," << y;
    }
}

TEST(PathRasterizer, CoverageFollowsTheRuleAndSumsToTheArea) {
    // A pentagram: its centre pentagon winds twice, so non-zero covers it and
    // even-odd leaves it out.
    std::vector<P> star = Pentagram(20, 20, 16);
    const double pi = std::acos(-1.0);
    const double inner = 16 * std::cos(2 * pi / 5) / std::cos(pi / 5);
    const double pentagon = 2.5 * inner * inner * std::sin(2 * pi / 5);
    double outline = 0;  // the star's outline as a simple ten-sided polygon
    for (int i = 0; i < 10; ++i) {
        double r0 = i % 2 ? inner : 16, r1 = i % 2 ? 16 : inner;
        double a0 = -pi / 2 + i * pi / 5, a1 = a0 + pi / 5;
        outline += 0.5 * r0 * r1 * std::sin(a1 - a0);
    }
    const mtxRect clip{0, 0, 40, 40};
    mtxPathRasterizer r;
    r.Reset(clip);
    AddPolygon(r, star);
    double nonZero = 0, evenOdd = 0;
    for (float c : Coverage(r, mtxPathRasterizer::kNonZero, clip)) nonZero += c;
    for (float c : Coverage(r, mtxPathRasterizer::kEvenOdd, clip)) evenOdd += c;
    EXPECT_NEAR(nonZero, outline, outline * 0.005);
    EXPECT_NEAR(evenOdd, outline - pentagon, outline * 0.005);
    // The centre pixel lies deep in the pentagon.
    auto centre = Coverage(r, mtxPathRasterizer::kEvenOdd, clip)[20 * 40 + 20];
    EXPECT_EQ(centre, 0.0f);
    EXPECT_EQ(Coverage(r, mtxPathRasterizer::kNonZero, clip)[20 * 40 + 20], 1.0f);
}

TEST(PathRasterizer, WholePixelShiftsShiftTheCoverage) {
    std::mt19937 random(11);
    const mtxRect clip{0, 0, 48, 48};
    for (int round = 0; round < 20; ++round) {
        std::vector<P> poly = RandomPolygon(random, 2, 20);
        std::vector<P> moved = poly;
        for (P& p : moved) p.x += 17, p.y += 9;
        mtxPathRasterizer a, b;
        a.Reset(clip);
        b.Reset(clip);
        AddPolygon(a, poly);
        AddPolygon(b, moved);
        auto ca = Coverage(a, mtxPathRasterizer::kNonZero, clip);
        auto cb = Coverage(b, mtxPathRasterizer::kNonZero, clip);
        for (int y = 0; y + 9 < 48; ++y)
            for (int x = 0; x + 17 < 48; ++x)
                ASSERT_NEAR(ca[size_t(y) * 48 + x], cb[size_t(y + 9) * 48 + x + 17], 1e-5) << round;
    }
}

TEST(PathRasterizer, MirroredShapesGetMirroredEdges) {
    // A disc of many sides centred between pixels, and its mirror image: the
    // antialiased rim must be the same on both sides.
    const double pi = std::acos(-1.0);
    std::vector<P> disc, mirrored;
    for (int i = 0; i < 400; ++i) {
        double a = 2 * pi * i / 400;
        disc.push_back({16 + 9.3 * std::cos(a), 16 + 9.3 * std::sin(a)});
    }
    for (auto it = disc.rbegin(); it != disc.rend(); ++it) mirrored.push_back({32 - it->x, it->y});
    const mtxRect clip{0, 0, 32, 32};
    mtxPathRasterizer a, b;
    a.Reset(clip);
    b.Reset(clip);
    AddPolygon(a, disc);
    AddPolygon(b, mirrored);
    auto ca = Coverage(a, mtxPathRasterizer::kNonZero, clip);
    auto cb = Coverage(b, mtxPathRasterizer::kNonZero, clip);
    int partial = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            ASSERT_NEAR(ca[size_t(y) * 32 + x], cb[size_t(y) * 32 + (31 - x)], 1e-4)
                << x << "," << y;
            ASSERT_NEAR(ca[size_t(y) * 32 + x], ca[size_t(y) * 32 + (31 - x)], 2e-3)
                << x << "," << y;
            if (ca[size_t(y) * 32 + x] > 0.01f && ca[size_t(y) * 32 + x] < 0.99f) ++partial;
        }
    EXPECT_GT(partial, 40);  // the rim is antialiased, not stepped
}

TEST(PathRasterizer, CurvesFlattenWithinToleranceAndHostileInputIsHarmless) {
    const mtxRect clip{0, 0, 64, 64};
    mtxPathRasterizer r;
    r.Reset(clip);
    // A tolerance of 0 is floored: the curve becomes a bounded number of lines.
    r.AddCubic(0, 0, 1e6f, 0, -1e6f, 64, 64, 64, 0.0f);
    EXPECT_LE(r.EdgeCount(), 1024u);
    EXPECT_GE(r.EdgeCount(), 100u);
    r.Reset(clip);
    r.AddLine(NAN, 0, 10, 10);
    r.AddLine(0, INFINITY, 10, 10);
    r.AddCubic(0, 0, NAN, 1, 2, 2, 3, 3, 0.1f);
    EXPECT_EQ(r.EdgeCount(), 0u);
    // Edges far outside the clip on every side still cover what they enclose.
    r.AddLine(-1e7f, -1e7f, 1e7f, -1e7f);
    r.AddLine(1e7f, -1e7f, 1e7f, 1e7f);
    r.AddLine(1e7f, 1e7f, -1e7f, 1e7f);
    r.AddLine(-1e7f, 1e7f, -1e7f, -1e7f);
    for (float c : Coverage(r, mtxPathRasterizer::kNonZero, clip)) ASSERT_EQ(c, 1.0f);
    // Edges wholly beside the clip, however far, cover nothing.
    r.Reset(clip);
    AddPolygon(r, {{-3e38, 0}, {-3e38, 64}, {-2e38, 64}, {-2e38, 0}});
    AddPolygon(r, {{0, -3e38}, {64, -3e38}, {64, -2e38}, {0, -2e38}});
    AddPolygon(r, {{3e38, 0}, {3e38, 64}, {2e38, 80}, {2e38, 0}});
    for (float c : Coverage(r, mtxPathRasterizer::kNonZero, clip)) ASSERT_EQ(c, 0.0f);
    // An empty clip draws nothing.
    r.Reset(mtxRect{5, 5, 5, 9});
    r.AddLine(0, 0, 9, 9);
    int rows = 0;
    r.Render(mtxPathRasterizer::kNonZero, [&](int, int, int, const float*) { ++rows; });
    EXPECT_EQ(rows, 0);
}
