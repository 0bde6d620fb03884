#include "image/gradient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Stop = mtxImageGradient::Stop;

Stop MakeStop(int position, mtxColor color, uint32_t mode = 0, float midpoint = 0.5f) {
    Stop s;
    s.position = position;
    s.color = color;
    s.mode = mode;
    s.midpoint = midpoint;
    return s;
}

// The ramp written out from its definition, in doubles, with the blend
// rounded by a plain division.
double Shaped(double t, double m, uint32_t mode) {
    const double pi = std::acos(-1.0);
    double f0 = t <= m ? 0.5 * t / m : 0.5 + 0.5 * (t - m) / (1 - m);
    switch (mode) {
        case 0:
            return f0;
        case 1:
            return std::pow(t, std::log(0.5) / std::log(m));
        case 2:
            return (std::sin(f0 * pi - pi / 2) + 1) / 2;
        case 3:
            return std::sqrt(1 - (f0 - 1) * (f0 - 1));
        case 4:
            return 1 - std::sqrt(1 - f0 * f0);
    }
    return 0;
}

mtxColor Blend(mtxColor a, mtxColor b, int w) {
    mtxColor out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        long v = long((a >> shift) & 0xFF) * (255 - w) + long((b >> shift) & 0xFF) * w;
        out |= mtxColor(std::lround(double(v) / 255.0)) << shift;
    }
    return out;
}

std::vector<mtxColor> Expected(const std::vector<Stop>& stops, int n) {
    std::vector<mtxColor> table(static_cast<size_t>(n));
    size_t j = 0;
    for (int i = 0; i < n; ++i) {
        if (i <= stops.front().position) {
            table[size_t(i)] = stops.front().color;
            continue;
        }
        while (j + 1 < stops.size() && i > stops[j + 1].position) ++j;
        if (j + 1 >= stops.size()) {
            table[size_t(i)] = stops.back().color;
            continue;
        }
        const Stop& a = stops[j];
        const Stop& b = stops[j + 1];
        double t = (double(i) / n - double(a.position) / (n - 1)) * (n - 1) /
                   double(b.position - a.position);
        int w = int(std::floor(Shaped(t, a.midpoint, a.mode) * 255 + 0.5));
        table[size_t(i)] = Blend(a.color, b.color, w);
    }
    return table;
}

}  // namespace

TEST(Gradient, TablesOfEveryModeMatchTheirFormulas) {
    const int n = 120;
    for (uint32_t mode = 0; mode <= 4; ++mode)
        for (float midpoint : {0.5f, 0.3f, 0.8f}) {
            std::vector<Stop> stops = {MakeStop(10, 0xFF102030, mode, midpoint),
                                       MakeStop(70, 0x80F0E0D0, mode, midpoint),
                                       MakeStop(100, 0x00FF0000, mode, midpoint)};
            std::vector<mtxColor> table(size_t(n), 0xDEADBEEF);
            mtxImageGradient::BuildTable(stops.data(), 3, table.data(), n);
            std::vector<mtxColor> expected = Expected(stops, n);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(table[size_t(i)], expected[size_t(i)])
                    << "mode " << mode << " midpoint " << midpoint << " entry " << i;
        }
}

TEST(Gradient, HalfwayLinearIsStraightAndSineEasesAtTheEnds) {
    const int n = 256;
    std::vector<mtxColor> linear(n), sine(n);
    Stop straight[] = {MakeStop(0, 0xFF000000), MakeStop(n - 1, 0xFFFFFFFF)};
    mtxImageGradient::BuildTable(straight, 2, linear.data(), n);
    straight[0].mode = mtxImageGradient::kInterpolationSine;
    mtxImageGradient::BuildTable(straight, 2, sine.data(), n);
    for (int i = 1; i < n; ++i) {
        EXPECT_NEAR(int(mtxBlue(linear[size_t(i)])), i * 255.0 / 256.0, 1.0) << i;
        EXPECT_GE(mtxBlue(linear[size_t(i)]), mtxBlue(linear[size_t(i - 1)]));
    }
    // Slower than the straight ramp near both ends, faster in the middle.
    EXPECT_LT(mtxBlue(sine[20]), mtxBlue(linear[20]));
    EXPECT_GT(mtxBlue(sine[235]), mtxBlue(linear[235]));
    EXPECT_NEAR(int(mtxBlue(sine[128])), int(mtxBlue(linear[128])), 2);
}

TEST(Gradient, DegenerateTablesAndStopsStayInsideTheTable) {
    // Guards on both sides of every table catch writes past it.
    auto build = [](std::vector<Stop> stops, int n) {
        std::vector<mtxColor> buffer(size_t(n) + 2, 0x12345678);
        mtxImageGradient::BuildTable(stops.data(), int(stops.size()), buffer.data() + 1, n);
        EXPECT_EQ(buffer.front(), 0x12345678u);
        EXPECT_EQ(buffer.back(), 0x12345678u);
        return std::vector<mtxColor>(buffer.begin() + 1, buffer.end() - 1);
    };
    const mtxColor a = 0xFF000000, b = 0xFFFFFFFF;
    build({MakeStop(0, a), MakeStop(5, b)}, 0);
    EXPECT_EQ(build({MakeStop(3, a), MakeStop(5, b)}, 1)[0], a);
    // Two stops at one position: a hard step, no division by zero.
    auto step = build({MakeStop(0, a), MakeStop(10, a), MakeStop(10, b), MakeStop(20, b)}, 21);
    EXPECT_EQ(step[10], a);
    EXPECT_EQ(step[11], b);
    // A midpoint of 1 (and of 0) in power mode: finite, between the colours.
    for (float m : {1.0f, 0.0f, NAN}) {
        auto power = build({MakeStop(0, a, 1, m), MakeStop(50, b)}, 60);
        for (size_t i = 1; i < power.size(); ++i)
            EXPECT_GE(mtxBlue(power[i]), mtxBlue(power[i - 1])) << m << " " << i;
        EXPECT_EQ(power.back(), b);
    }
    // Stops past either end of the table.
    auto beyond = build({MakeStop(-40, a), MakeStop(400, b)}, 30);
    for (size_t i = 1; i < beyond.size(); ++i)
        EXPECT_GE(mtxBlue(beyond[i]), mtxBlue(beyond[i - 1]));
    EXPECT_EQ(build({MakeStop(90, a), MakeStop(95, b)}, 30)[29], a);
    EXPECT_EQ(build({MakeStop(-9, a), MakeStop(-5, b)}, 30)[0], b);
    // No stops do nothing.
    std::vector<mtxColor> untouched(4, 7);
    mtxImageGradient::BuildTable(nullptr, 0, untouched.data(), 4);
    EXPECT_EQ(untouched[3], 7u);
}

TEST(Gradient, KindsMapPositionsBetweenTheirPoints) {
    mtxImageGradient g;
    g.AddStop(0.0f, 0xFF000000);
    g.AddStop(1.0f, 0xFFFFFFFF);
    g.SetLinear(10, 5, 110, 5);
    ASSERT_EQ(g.TableLength(), 100);
    EXPECT_EQ(g.IndexAt(10, 40), 0);
    EXPECT_EQ(g.IndexAt(-50, 0), 0);
    EXPECT_EQ(g.IndexAt(110, 0), 99);
    EXPECT_EQ(g.IndexAt(500, 0), 99);
    EXPECT_EQ(g.IndexAt(60, 77), 50);
    EXPECT_EQ(g.Table()[0], 0xFF000000u);
    // Entry i of n sits at i / n of the ramp, so the last entry falls just
    // short of the end colour.
    EXPECT_GE(mtxBlue(g.Table()[99]), 252u);
    EXPECT_EQ(g.changed, 1u);

    g.SetRadial(50, 50, 50, 80.5f);  // radius 30.5: 31 entries
    ASSERT_EQ(g.TableLength(), 31);
    EXPECT_EQ(g.IndexAt(50, 50), 0);
    EXPECT_EQ(g.IndexAt(50 + 30.5f, 50), 30);
    EXPECT_EQ(g.IndexAt(50, 50 - 15.25f), 15);

    g.SetAngle(0, 0, 10, 0);
    ASSERT_EQ(g.TableLength(), 300);
    EXPECT_EQ(g.IndexAt(5, 0), 0);
    EXPECT_EQ(g.IndexAt(-5, 0), 150);  // half a turn
    EXPECT_EQ(g.IndexAt(0, 5), 75);    // a quarter turn, clockwise on screen

    g.SetReflected(100, 0, 200, 0);
    EXPECT_EQ(g.IndexAt(150, 3), g.IndexAt(50, 9));
    EXPECT_EQ(g.IndexAt(150, 3), 150);

    g.SetDiamond(0, 0, 100, 0);
    EXPECT_EQ(g.IndexAt(50, 0), g.IndexAt(0, 50));
    EXPECT_EQ(g.IndexAt(25, 25), g.IndexAt(50, 0));
    EXPECT_EQ(g.IndexAt(-50, 0), 150);

    // Coincident or unusable points give the first entry, never a fault.
    g.SetLinear(3, 3, 3, 3);
    EXPECT_EQ(g.TableLength(), 1);
    EXPECT_EQ(g.IndexAt(9, 9), 0);
    g.SetRadial(NAN, 0, 1, 1);
    EXPECT_EQ(g.TableLength(), 300);
    EXPECT_EQ(g.IndexAt(9, 9), 0);
}

TEST(Gradient, GivenTableIsTakenAndFillImagePaintsPixelCentres) {
    std::vector<mtxColor> table(300);
    for (size_t i = 0; i < table.size(); ++i) table[i] = mtxArgb(255, uint32_t(i % 256), 0, 0);
    mtxImageGradient g;
    g.SetDiamond(8, 8, 8, 20, table.data());
    EXPECT_EQ(g.Table()[299], table[299]);
    mtxImage image(16, 16);
    g.FillImage(image);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(image.At(x, y), g.ColorAt(x + 0.5f, y + 0.5f)) << x << "," << y;
    EXPECT_EQ(image.At(7, 8), image.At(8, 7));
}
