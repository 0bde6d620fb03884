#include "image/distance_transform.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "image/simd.h"
#include "tests/oracles/chamfer.h"

namespace {

constexpr double kUnit = 1.0 / 262144.0;

// The transform written out plainly, with the transform's own weights.
std::vector<int32_t> ReferenceTransform(const mtxDistanceTransform& dt, std::vector<int32_t> d,
                                        int W, int H) {
    int32_t f[3];
    dt.FixedWeights(f);
    return oracle::Chamfer(std::move(d), W, H, f, int(dt.maskSize));
}

class DistancePaths : public ::testing::TestWithParam<mtxSimd::Level> {
  protected:
    void SetUp() override { mtxSimd::Force(GetParam()); }
    void TearDown() override { mtxSimd::Reset(); }
};

}  // namespace

TEST(DistanceTransform, WeightSetsByType) {
    mtxDistanceTransform dt;
    EXPECT_EQ(dt.type, 1u);
    EXPECT_EQ(dt.maskSize, 5u);
    int32_t f[3];
    dt.FixedWeights(f);
    EXPECT_EQ(f[0], 262144);
    EXPECT_EQ(f[1], 367002);  // 1.4 x 2^18 = 367001.6
    EXPECT_EQ(f[2], 575904);  // 2.1969 x 2^18 = 575904.15
    dt.maskSize = 3;
    dt.SetType(mtxDistanceTransform::kChamfer);
    dt.FixedWeights(f);
    EXPECT_EQ(f[0], 250348);
    EXPECT_EQ(f[1], 358954);
    EXPECT_EQ(f[2], 0);
    dt.maskSize = 5;
    dt.SetType(mtxDistanceTransform::kCityBlock);
    EXPECT_EQ(dt.maskSize, 3u);
    EXPECT_EQ(dt.weights[1], 2.0f);
    dt.maskSize = 5;
    dt.SetType(mtxDistanceTransform::kChessboard);
    EXPECT_EQ(dt.maskSize, 3u);
    EXPECT_EQ(dt.weights[1], 1.0f);
    dt.maskSize = 7;
    dt.SetType(mtxDistanceTransform::kChamfer);
    for (float w : dt.weights) EXPECT_EQ(w, 0.0f);
    EXPECT_EQ(dt.SetType(9), 0);
    EXPECT_EQ(dt.type, 1u);
}

TEST_P(DistancePaths, SingleSourceGivesTheMaskWeights) {
    mtxImage image;
    image.Create(15, 15, 0xFFFFFFFFu);
    image.At(7, 7) = 0x00FFFFFFu;
    mtxDistanceTransform dt;
    mtxFloatField field;
    ASSERT_EQ(dt.FromAlpha(image, field), 1);
    ASSERT_EQ(field.width, 15);
    EXPECT_EQ(field.At(7, 7), 0.0f);
    EXPECT_NEAR(field.At(8, 7), 1.0, 1e-5);
    EXPECT_NEAR(field.At(7, 6), 1.0, 1e-5);
    EXPECT_NEAR(field.At(6, 6), 1.4, 1e-5);
    EXPECT_NEAR(field.At(8, 8), 1.4, 1e-5);
    EXPECT_NEAR(field.At(9, 8), 2.1969, 1e-5);
    EXPECT_NEAR(field.At(6, 5), 2.1969, 1e-5);
    EXPECT_NEAR(field.At(9, 7), 2.0, 1e-5);
    EXPECT_NEAR(field.At(7, 5), 2.0, 1e-5);
}

TEST_P(DistancePaths, NoSourceLeavesEveryPixelFar) {
    mtxImage image(9, 4);  // opaque: the border is not a source
    mtxDistanceTransform dt;
    mtxFloatField field;
    ASSERT_EQ(dt.FromAlpha(image, field), 1);
    // 1073741823 x 2^-18 lies within half a float step of 4096.
    const float far = float(1073741823 * kUnit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(field.At(x, y), far);
    EXPECT_NEAR(far, 4096.0, 1e-3);
}

TEST_P(DistancePaths, OnePixelWideUsesVerticalNeighbours) {
    mtxImage image;
    image.Create(1, 6, 0xFF000000u);
    image.At(0, 0) = 0xFF0000FFu;
    mtxDistanceTransform dt;
    mtxFloatField field;
    ASSERT_EQ(dt.FromColour(image, 0xFF000000u, field), 1);
    for (int y = 0; y < 6; ++y) EXPECT_NEAR(field.At(0, y), double(y), 1e-5);
}

TEST_P(DistancePaths, MatchesThePlainPassesOnRandomMasks) {
    std::mt19937 random(77);
    const int sizes[][2] = {{1, 1}, {1, 17}, {17, 1}, {2, 2}, {3, 31}, {40, 25}, {97, 64}};
    for (auto& size : sizes)
        for (int config = 0; config < 5; ++config) {
            mtxDistanceTransform dt;
            if (config == 1) dt.maskSize = 3, dt.SetType(mtxDistanceTransform::kChamfer);
            if (config == 2) dt.SetType(mtxDistanceTransform::kCityBlock);
            if (config == 3) dt.SetType(mtxDistanceTransform::kChessboard);
            int W = size[0], H = size[1];
            // Sparse sources make long distances; config 4 has none at all.
            int oneIn = config == 4 ? 0 : 2 + int(random() % 60);
            mtxImage image(W, H);
            std::vector<int32_t> start(size_t(W) * H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    bool source = oneIn && random() % oneIn == 0;
                    uint32_t alpha = source ? random() % 101 : 101 + random() % 155;
                    image.At(x, y) = (alpha << 24) | (random() & 0xFFFFFF);
                    start[size_t(y) * W + x] = source ? 0 : mtxDistanceTransform::kFar;
                }
            std::vector<int32_t> expected = ReferenceTransform(dt, start, W, H);
            // The integer passes on rows with a gap between them.
            const int stride = W + 3;
            std::vector<int32_t> strided(size_t(stride) * H, -7);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    strided[size_t(y) * stride + x] = start[size_t(y) * W + x];
            dt.Transform(strided.data(), W, H, stride);
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x)
                    ASSERT_EQ(strided[size_t(y) * stride + x], expected[size_t(y) * W + x]);
                for (int x = W; x < stride; ++x) ASSERT_EQ(strided[size_t(y) * stride + x], -7);
            }
            mtxFloatField field;
            field.Create(3, 3, 9.0f);
            ASSERT_EQ(dt.FromAlpha(image, field), 1);
            ASSERT_EQ(field.width, W);
            ASSERT_EQ(field.height, H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    ASSERT_EQ(field.At(x, y), float(float(expected[size_t(y) * W + x]) * kUnit))
                        << W << "x" << H << " config " << config << " at " << x << "," << y;
        }
}

TEST(DistanceTransform, RefusesOtherMaskSizes) {
    mtxImage image(4, 4);
    mtxDistanceTransform dt;
    dt.maskSize = 7;
    mtxFloatField field;
    field.Create(2, 2, 5.0f);
    EXPECT_EQ(dt.FromAlpha(image, field), 0);
    EXPECT_EQ(dt.FromColour(image, 0, field), 0);
    EXPECT_EQ(field.width, 2);
    EXPECT_EQ(field.At(1, 1), 5.0f);
}

TEST(DistanceTransform, KeepsAFieldOfTheRightSize) {
    mtxImage image;
    image.Create(3, 2, 0xFF000000u);
    image.At(0, 0) = 0;
    mtxFloatField field;
    field.Create(3, 2, 7.0f);
    float* before = field.data;
    mtxDistanceTransform dt;
    ASSERT_EQ(dt.FromAlpha(image, field), 1);
    EXPECT_EQ(field.data, before);
    EXPECT_NEAR(field.At(2, 1), 2.1969, 1e-5);  // a knight's move
    EXPECT_NEAR(field.At(1, 1), 1.4, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(Simd, DistancePaths,
                         ::testing::Values(mtxSimd::Level::kPortable, mtxSimd::Level::kAvx2));
