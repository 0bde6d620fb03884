#include "image/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace {

void FillRandom(mtxImage& image, uint32_t seed) {
    std::mt19937 random(seed);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.At(x, y) = random();
}

int ChannelDistance(mtxColor p, mtxColor q) {
    int worst = 0;
    for (int s = 0; s < 32; s += 8)
        worst = std::max(worst, std::abs(int((p >> s) & 0xFF) - int((q >> s) & 0xFF)));
    return worst;
}

// Catmull-Rom in double precision straight from its definition.
double CatmullRom(double p0, double p1, double p2, double p3, double t) {
    return 0.5 * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t +
                  (3 * p1 - p0 - 3 * p2 + p3) * t * t * t);
}

mtxColor ReferenceBicubic(const mtxImage& src, double x, double y) {
    double px = x - 0.5, py = y - 0.5;
    int x1 = int(std::floor(px)), y1 = int(std::floor(py));
    double tx = px - x1, ty = py - y1;
    mtxColor out = 0;
    for (int s = 0; s < 32; s += 8) {
        double col[4];
        for (int r = 0; r < 4; ++r) {
            double p[4];
            for (int k = 0; k < 4; ++k) {
                int xi = std::clamp(x1 - 1 + k, 0, src.width - 1),
                    yi = std::clamp(y1 - 1 + r, 0, src.height - 1);
                p[k] = ((src.At(xi, yi) >> s) & 0xFF) / 255.0;
            }
            col[r] = CatmullRom(p[0], p[1], p[2], p[3], tx);
        }
        double v = std::clamp(CatmullRom(col[0], col[1], col[2], col[3], ty), 0.0, 1.0);
        out |= mtxColor(std::lrint(v * 255)) << s;
    }
    return out;
}

}  // namespace

TEST(Resample, ScaleFourByFourToTwoByTwoAveragesBlocks) {
    mtxImage src(4, 4), dst(2, 2);
    // Block sums chosen to hit an exact half (ties go to even) and quarters.
    const uint8_t values[4][4] = {
        {1, 2, 10, 10}, {1, 2, 10, 11}, {0, 0, 200, 255}, {1, 0, 255, 255}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            src.At(x, y) = mtxArgb(255, values[y][x], 3 * values[y][x] / 4, 7);
    ASSERT_EQ(ScaleImage(src, dst), 1);
    auto red = [&](int x, int y) { return mtxRed(dst.At(x, y)); };
    EXPECT_EQ(red(0, 0), 2u);               // 1.5 -> 2
    EXPECT_EQ(red(1, 0), 10u);              // 10.25
    EXPECT_EQ(red(0, 1), 0u);               // 0.25
    EXPECT_EQ(red(1, 1), 241u);             // 241.25
    EXPECT_EQ(mtxGreen(dst.At(0, 0)), 0u);  // 0, 1, 0, 1 -> 0.5 -> 0
    EXPECT_EQ(mtxBlue(dst.At(1, 1)), 7u);
    EXPECT_EQ(mtxAlpha(dst.At(1, 1)), 255u);
}

TEST(Resample, ScaleOntoTheSameSizeCopies) {
    mtxImage src(13, 7), dst(13, 7);
    FillRandom(src, 1);
    ScaleImage(src, dst);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) ASSERT_EQ(dst.At(x, y), src.At(x, y));
}

TEST(Resample, EnlargingFollowsCatmullRom) {
    mtxImage src(6, 5), dst(15, 11);
    FillRandom(src, 2);
    ScaleImage(src, dst);
    const double sx = 15.0 / 6, sy = 11.0 / 5;
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 15; ++x)
            ASSERT_LE(ChannelDistance(dst.At(x, y),
                                      ReferenceBicubic(src, (x + 0.5) / sx, (y + 0.5) / sy)),
                      1)
                << x << "," << y;
    mtxImage flat, big(9, 9);
    flat.Create(3, 3, 0xFFFFFFFFu);
    ScaleImage(flat, big);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(big.At(x, y), 0xFFFFFFFFu);
}

TEST(Resample, ShrinkingOneAxisWhileTheOtherGrows) {
    mtxImage src(4, 4);
    FillRandom(src, 3);
    // x shrinks 4 -> 2 (pairs averaged), y grows 4 -> 8 (row floor(j / 2)).
    mtxImage tall(2, 8);
    ScaleImage(src, tall);
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 2; ++i)
            for (int s = 0; s < 32; s += 8) {
                double mean = (((src.At(2 * i, j / 2) >> s) & 0xFF) +
                               ((src.At(2 * i + 1, j / 2) >> s) & 0xFF)) /
                              2.0;
                ASSERT_EQ((tall.At(i, j) >> s) & 0xFF, uint32_t(std::nearbyint(mean)));
            }
    // x grows 4 -> 8 (between columns i / 2 and i / 2 + 1), y shrinks 4 -> 2.
    mtxImage wide(8, 2);
    ScaleImage(src, wide);
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 8; ++i)
            for (int s = 0; s < 32; s += 8) {
                int x0 = i / 2, x1 = std::min(x0 + 1, 3);
                double t = (i % 2) * 0.5, sum = 0;
                for (int y = 2 * j; y < 2 * j + 2; ++y) {
                    double p = (src.At(x0, y) >> s) & 0xFF, q = (src.At(x1, y) >> s) & 0xFF;
                    sum += p + (q - p) * t;
                }
                ASSERT_LE(std::abs(int((wide.At(i, j) >> s) & 0xFF) - int(std::lrint(sum / 2))), 1);
            }
}

TEST(Resample, ShrinkingKeepsAFlatImageFlat) {
    mtxImage src, dst(7, 3);
    src.Create(100, 31, 0x80336699u);
    ScaleImage(src, dst);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(dst.At(x, y), 0x80336699u);
    // Area sampling of the affine path too, away from the edges.
    mtxImage small(10, 4);
    const float m[9] = {0.1f, 0, 0, 0, 0.13f, 0, 0, 0, 1};
    TransformImage(src, small, m, {}, kSampleBicubic);
    for (int y = 1; y < 3; ++y)
        for (int x = 1; x < 9; ++x) ASSERT_LE(ChannelDistance(small.At(x, y), 0x80336699u), 1);
}

TEST(Resample, UnknownModeWritesTransparentBlackInTheClip) {
    mtxImage src(4, 4), dst(6, 6);
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    TransformImage(src, dst, identity, {1, 2, 4, 5}, 5);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            bool inside = x >= 1 && x < 4 && y >= 2 && y < 5;
            ASSERT_EQ(dst.At(x, y), inside ? 0u : 0xFF000000u);
        }
}

TEST(Resample, QuarterTurnIsAnExactCopy) {
    mtxImage src(5, 3), dst(3, 5);
    FillRandom(src, 4);
    // (x, y) -> (2 - y + 1, x): turns by 90 degrees into a 3 x 5 image.
    const float m[9] = {0, -1, 3, 1, 0, 0, 0, 0, 1};
    TransformImage(src, dst, m, {}, kSampleBicubic);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) ASSERT_EQ(dst.At(x, y), src.At(y, 2 - x));
}

TEST(Resample, BilinearFadesAtTheEdge) {
    mtxImage src, dst(5, 1);
    src.Create(2, 1, 0xFFC86432u);
    // x' = 1.5 x + 0.5: destination centres 0.5, 1.5, .. map to source 0, 0.67, 1.33, 2, 2.67.
    const float m[9] = {1.5f, 0, 0.5f, 0, 1, 0, 0, 0, 1};
    TransformImage(src, dst, m, {}, kSampleBilinear);
    EXPECT_EQ(dst.At(1, 0), 0xFFC86432u);
    EXPECT_EQ(dst.At(2, 0), 0xFFC86432u);
    // Half a pixel beyond the last centre: alpha fades, the colour stays.
    for (int x : {0, 3}) {
        EXPECT_EQ(dst.At(x, 0) & 0xFFFFFF, 0xC86432u);
        EXPECT_EQ(mtxAlpha(dst.At(x, 0)), 128u) << x;  // 0.5 x 255 = 127.5 -> 128
    }
    EXPECT_EQ(dst.At(4, 0), 0u);  // wholly outside
}

TEST(Resample, TileRepeatsTheSource) {
    mtxImage src(3, 2), dst(7, 5);
    FillRandom(src, 5);
    ASSERT_EQ(TileImage(src, dst), 1);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(dst.At(x, y), src.At(x % 3, y % 2));
    EXPECT_EQ(dst.At(6, 4), src.At(0, 0));
}

TEST(Resample, ResizeModes) {
    mtxImage src(4, 2);
    FillRandom(src, 6);
    mtxImage byHeight(10, 3);
    ResizeImage(src, byHeight, 4);  // height min(3, 2) = 2, width 4: the source tiled
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(byHeight.At(x, y), src.At(x % 4, y % 2));
    mtxImage byWidth(3, 9), expected(3, 2);
    ResizeImage(src, byWidth, 8);  // width 3, height rnd(1.5) = 2
    ScaleImage(src, expected);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 3; ++x) ASSERT_EQ(byWidth.At(x, y), expected.At(x, y % 2));
    mtxImage tiled(5, 5);
    ResizeImage(src, tiled, 12);
    EXPECT_EQ(tiled.At(4, 4), src.At(0, 0));
    mtxImage stretched(8, 4), scaled(8, 4);
    ResizeImage(src, stretched, 0);
    ScaleImage(src, scaled);
    EXPECT_EQ(stretched.At(5, 3), scaled.At(5, 3));
}

TEST(Resample, EmptyAndAliasedImagesAreSafe) {
    mtxImage empty, dst(3, 3);
    EXPECT_EQ(ScaleImage(empty, dst), 1);
    EXPECT_EQ(TileImage(empty, dst), 1);
    EXPECT_EQ(ResizeImage(empty, dst, 4), 1);
    EXPECT_EQ(dst.At(2, 2), 0xFF000000u);
    mtxImage image(6, 6);
    FillRandom(image, 7);
    mtxImage copy;
    copy.Assign(image);
    const float shift[9] = {1, 0, 1, 0, 1, 0, 0, 0, 1};
    TransformImage(image, image, shift, {}, kSampleNearest);
    EXPECT_EQ(image.At(1, 0), copy.At(0, 0));
    EXPECT_EQ(image.At(5, 5), copy.At(4, 5));
    const float singular[9] = {1, 2, 0, 2, 4, 0, 0, 0, 1};
    TransformImage(copy, dst, singular, {}, kSampleBicubic);
    EXPECT_EQ(dst.At(1, 1), 0u);
}

TEST(Resample, HalvingByAreaIsTheBoxMean) {
    mtxImage src(8, 6), byArea(4, 3), byBox(4, 3);
    FillRandom(src, 8);
    // Each destination pixel's preimage is a 2 x 2 block: one split, four leaves
    // sampled exactly at the block's pixel centres.
    const float m[9] = {0.5f, 0, 0, 0, 0.5f, 0, 0, 0, 1};
    TransformImage(src, byArea, m, {}, kSampleBicubic);
    ScaleImage(src, byBox);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_LE(ChannelDistance(byArea.At(x, y), byBox.At(x, y)), 1);
}

// Pieces of a scaled picture, for pictures too large to hold: each is the same
// bytes as those pixels of the picture scaled whole, whichever way each axis goes.
TEST(Resample, PiecesAreThePixelsOfTheWholeScaling) {
    mtxImage src(37, 23);
    FillRandom(src, 11);
    const int sizes[][2] = {{97, 71}, {20, 11}, {80, 15}, {30, 70}};
    for (const auto& size : sizes) {
        const int width = size[0], height = size[1];
        mtxImage whole(width, height);
        ASSERT_EQ(ScaleImage(src, whole), 1);
        for (int top = 0; top < height; top += 6)
            for (int left = 0; left < width; left += 7) {
                mtxImage piece(std::min(7, width - left), std::min(6, height - top));
                ASSERT_EQ(ScaleImagePart(src, piece, width, height, left, top), 1);
                for (int y = 0; y < piece.height; ++y)
                    ASSERT_EQ(std::memcmp(piece.Row(y), whole.Row(top + y) + left,
                                          size_t(piece.width) * 4),
                              0)
                        << width << " x " << height << ", at " << left << ", " << top + y;
            }
    }
    mtxImage past(7, 6);
    EXPECT_EQ(ScaleImagePart(src, past, 97, 71, 0, 66), 0) << "rows below the picture";
    EXPECT_EQ(ScaleImagePart(src, past, 97, 71, 91, 0), 0) << "columns right of the picture";
}
