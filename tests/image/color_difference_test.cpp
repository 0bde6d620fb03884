#include "image/color_difference.h"

#include <gtest/gtest.h>

#include <cmath>

#include "image/image.h"

namespace {

struct Flat : mtxImage {
    Flat(int w, int h, mtxColor c) { Create(w, h, c); }
};

}  // namespace

// Published CIELAB (D65) values of sRGB colours: red (53.2408, 80.0925, 67.2032),
// mid grey 128 (53.5850, 0, 0), white (100, 0, 0).
TEST(ColorDifference, KnownColoursGiveTheirCie76Distance) {
    Flat white(4, 3, 0xFFFFFFFFu), red(4, 3, 0xFFFF0000u);
    Flat grey(4, 3, 0xFF808080u), black(4, 3, 0xFF000000u);
    double redToWhite = std::sqrt(46.7592 * 46.7592 + 80.0925 * 80.0925 + 67.2032 * 67.2032);
    EXPECT_NEAR(mtxMeanColorDifference(white, red, 0), redToWhite, 0.01);
    EXPECT_NEAR(mtxMeanColorDifference(grey, black, 0), 53.585, 0.01);
    EXPECT_NEAR(mtxMeanColorDifference(grey, black, 8), 53.585, 0.01);  // flat stays flat
    EXPECT_EQ(mtxMeanColorDifference(red, red, 0), 0.0);
    EXPECT_EQ(mtxMeanColorDifference(red, red, 8), 0.0);
}

TEST(ColorDifference, PartlyDifferentPicturesAverageOverAllPixels) {
    Flat a(10, 10, 0xFF808080u), b(10, 10, 0xFF808080u);
    b.At(3, 4) = 0xFF000000u;
    EXPECT_NEAR(mtxMeanColorDifference(a, b, 0), 53.585 / 100, 1e-4);
}

TEST(ColorDifference, TransparencyIsSeenOverWhite) {
    Flat clear(3, 3, 0x00FF0000u), white(3, 3, 0xFFFFFFFFu);
    EXPECT_EQ(mtxMeanColorDifference(clear, white, 0), 0.0);
}

TEST(ColorDifference, BlurHidesFineDetailButNotColour) {
    // A one-pixel checkerboard of black and white looks mid grey from afar.
    Flat checker(64, 64, 0xFF000000u), grey(64, 64, 0xFF000000u);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            if ((x + y) % 2) checker.At(x, y) = 0xFFFFFFFFu;
            grey.At(x, y) = 0xFF808080u;  // 128 is the sRGB mean of 0 and 255, near enough
        }
    EXPECT_GT(mtxMeanColorDifference(checker, grey, 0), 40.0);
    EXPECT_LT(mtxMeanColorDifference(checker, grey, 8), 1.5);
}

TEST(ColorDifference, MismatchedOrEmptyPicturesAreRefused) {
    Flat a(3, 3, 0xFFFFFFFFu), b(3, 4, 0xFFFFFFFFu);
    mtxImage empty;
    EXPECT_EQ(mtxMeanColorDifference(a, b, 0), -1);
    EXPECT_EQ(mtxMeanColorDifference(empty, empty, 0), -1);
}
