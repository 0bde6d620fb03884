#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "image/image.h"

namespace {

mtxColor ConvertOne(mtxColor c) {
    mtxImage image(1, 1);
    image.At(0, 0) = c;
    image.ToYCbCr();
    return image.At(0, 0);
}

}  // namespace

TEST(ImageColor, YCbCrOfPrimariesRoundsTiesToEvenAndClamps) {
    EXPECT_EQ(ConvertOne(0xFFFFFFFFu), 0xFFFF8080u);
    EXPECT_EQ(ConvertOne(0x80000000u), 0x80008080u);
    // Red: Y = 76.245; Cb = 128 - rnd(43.0185); Cr = 128 + rnd(127.5) = 256, clamped.
    EXPECT_EQ(ConvertOne(0xFFFF0000u), mtxArgb(255, 76, 85, 255));
    // Blue: Cb = 128 - rnd(-127.5) = 256, clamped; Cr = 128 + rnd(-20.7315).
    EXPECT_EQ(ConvertOne(0x100000FFu), mtxArgb(16, 29, 255, 107));
}

TEST(ImageColor, ToYCbCrSetsFlagAndLeavesEmptyImageAlone) {
    mtxImage image(2, 2);
    image.ToYCbCr();
    EXPECT_EQ(image.isYCbCr, 1);
    EXPECT_EQ(image.At(1, 1), 0xFF008080u);
    mtxImage empty;
    empty.ToYCbCr();
    EXPECT_EQ(empty.isYCbCr, 0);
}

TEST(ImageColor, TintWithOwnChromaRoundTripsWithinOne) {
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        mtxColor c = random();
        mtxColor ycc = ConvertOne(c);
        mtxImage image(1, 1);
        image.At(0, 0) = c;
        image.Tint(uint8_t(ycc >> 8), uint8_t(ycc));
        mtxColor back = image.At(0, 0);
        EXPECT_EQ(mtxAlpha(back), mtxAlpha(c));
        ASSERT_LE(std::abs(int(mtxRed(back)) - int(mtxRed(c))), 1) << std::hex << c;
        ASSERT_LE(std::abs(int(mtxGreen(back)) - int(mtxGreen(c))), 1) << std::hex << c;
        ASSERT_LE(std::abs(int(mtxBlue(back)) - int(mtxBlue(c))), 1) << std::hex << c;
    }
}

TEST(ImageColor, TintOfGreyGivesTheChromaOffsets) {
    mtxImage image(3, 1);
    image.At(0, 0) = 0x7F808080u;
    image.At(1, 0) = 0xFF000000u;
    image.At(2, 0) = 0xFFFFFFFFu;
    image.Tint(200, 60);  // dcb = 72, dcr = -68
    // R = Y + rnd(-95.336), G = Y - rnd(24.778 - 48.562), B = Y + rnd(127.584)
    EXPECT_EQ(image.At(0, 0), mtxArgb(0x7F, 128 - 95, 128 + 24, 255));
    EXPECT_EQ(image.At(1, 0), mtxArgb(0xFF, 0, 24, 128));
    EXPECT_EQ(image.At(2, 0), mtxArgb(0xFF, 160, 255, 255));
    EXPECT_EQ(image.isYCbCr, 0);
}

TEST(ImageColor, TintOfYCbCrImageReplacesChromaOnly) {
    mtxImage image(2, 1);
    image.At(0, 0) = 0x11223344u;
    image.At(1, 0) = 0x55667788u;
    image.isYCbCr = 1;
    image.Tint(0xAB, 0xCD);
    EXPECT_EQ(image.At(0, 0), 0x1122ABCDu);
    EXPECT_EQ(image.At(1, 0), 0x5566ABCDu);
    EXPECT_EQ(image.isYCbCr, 1);
}

TEST(ImageColor, ChannelToGrayCopiesTheChosenByte) {
    mtxImage image(1, 1);
    const mtxColor c = 0x11223344u;
    const mtxColor expected[4] = {0x11111111u, 0x11222222u, 0x11333333u, 0x11444444u};
    for (int channel = 0; channel < 4; ++channel) {
        image.At(0, 0) = c;
        image.ChannelToGray(channel);
        EXPECT_EQ(image.At(0, 0), expected[channel]);
    }
    image.At(0, 0) = c;
    image.ChannelToGray(4);
    EXPECT_EQ(image.At(0, 0), c);
}

TEST(ImageColor, ToGrayUsesLuma) {
    mtxImage image(1, 1);
    image.At(0, 0) = 0xFFFF0000u;
    image.ToGray();
    EXPECT_EQ(image.At(0, 0), 0xFF4C4C4Cu);  // Y = 76
    image.At(0, 0) = 0xFF102030u;            // already YCbCr: Y is taken as it is
    image.ToGray();
    EXPECT_EQ(image.At(0, 0), 0xFF101010u);
}

TEST(ImageColor, HistogramCountsVisiblePixelsOnly) {
    mtxImage image;
    mtxColorHistogram h;
    image.Create(3, 2, 0x00FFFFFFu);
    h.counts[1][5] = 99;
    EXPECT_EQ(image.Histogram(h), 1);
    for (int block = 0; block < 4; ++block)
        for (int v = 0; v < 256; ++v) ASSERT_EQ(h.counts[block][v], 0u);
    EXPECT_EQ(h.totals[0], 0.0f);
    image.At(0, 0) = 0x01102030u;
    image.At(1, 0) = 0xFF102099u;
    image.At(2, 1) = 0x80FFFFFFu;
    image.Histogram(h);
    EXPECT_EQ(h.counts[1][0x10], 2u);
    EXPECT_EQ(h.counts[2][0x20], 2u);
    EXPECT_EQ(h.counts[3][0x30], 1u);
    EXPECT_EQ(h.counts[3][0x99], 1u);
    EXPECT_EQ(h.counts[1][0xFF], 1u);
    EXPECT_EQ(h.counts[0][0xFF], 0u);
    EXPECT_EQ(h.totals[0], 3.0f);
    EXPECT_EQ(h.totals[2], 3.0f);
}
