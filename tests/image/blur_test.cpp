#include "image/blur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "image/image.h"
#include "image/simd.h"

namespace {

// The blur written out plainly: clamped indices, a float buffer, the weights
// applied in the documented order, round to nearest even, limit to 0..255.
void ReferenceBlur(mtxImage& image, float sigma) {
    float w[mtxBlur::kMaxTaps];
    int n = mtxBlur::Weights(sigma, w);
    int W = image.width, H = image.height;
    std::vector<float> buffer(size_t(W) * H * 4);
    auto channel = [](mtxColor c, int k) { return float((c >> (8 * k)) & 0xFF); };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int k = 0; k < 4; ++k) {
                float acc = w[0] * channel(image.At(x, y), k);
                for (int i = 1; i < n; ++i) {
                    int l = std::max(x - i, 0), r = std::min(x + i, W - 1);
                    acc += w[i] * (channel(image.At(l, y), k) + channel(image.At(r, y), k));
                }
                buffer[(size_t(y) * W + x) * 4 + k] = acc;
            }
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            mtxColor out = 0;
            for (int k = 0; k < 4; ++k) {
                auto at = [&](int row) { return buffer[(size_t(row) * W + x) * 4 + k]; };
                float acc = w[0] * at(y);
                for (int i = 1; i < n; ++i)
                    acc += w[i] * (at(std::max(y - i, 0)) + at(std::min(y + i, H - 1)));
                long v = std::lrintf(acc);
                out |= mtxColor(std::clamp(v, 0L, 255L)) << (8 * k);
            }
            image.At(x, y) = out;
        }
}

class BlurPaths : public ::testing::TestWithParam<mtxSimd::Level> {
  protected:
    void SetUp() override { mtxSimd::Force(GetParam()); }
    void TearDown() override { mtxSimd::Reset(); }
};

}  // namespace

TEST(Blur, WeightsAtPointEightAreFiveSummingAboveOne) {
    float w[mtxBlur::kMaxTaps];
    ASSERT_EQ(mtxBlur::Weights(0.8f, w), 5);
    float sum = w[0];
    for (int i = 1; i < 5; ++i) sum += 2 * w[i];
    EXPECT_NEAR(sum, 1.0000065f, 2e-7f);
    EXPECT_NEAR(w[0], 1 / (std::sqrt(2 * M_PI) * 0.8), 1e-6);
    EXPECT_NEAR(w[2], std::exp(-0.5 * 6.25) / (std::sqrt(2 * M_PI) * 0.8), 1e-7);
}

TEST(Blur, TapCountFollowsSigmaAndStopsAtTheTable) {
    float w[mtxBlur::kMaxTaps];
    EXPECT_EQ(mtxBlur::Weights(0.0f, w), 2);  // sigma raised to 0.01
    EXPECT_EQ(mtxBlur::Weights(NAN, w), 2);
    EXPECT_EQ(mtxBlur::Weights(1.0f, w), 5);
    EXPECT_EQ(mtxBlur::Weights(15.75f, w), 64);
    EXPECT_EQ(mtxBlur::Weights(40.0f, w), 64);
}

TEST_P(BlurPaths, UniformImageStaysUnchanged) {
    for (mtxColor c : {0xFFFFFFFFu, 0x80402010u, 0u}) {
        mtxImage image;
        image.Create(37, 23, c);
        image.Blur(0.8f);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) ASSERT_EQ(image.At(x, y), c);
    }
}

TEST_P(BlurPaths, MatchesThePlainBlurOnRandomImages) {
    std::mt19937 random(1234);
    const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 3}, {17, 13}, {64, 5}, {33, 40}, {130, 7}};
    const float sigmas[] = {0.3f, 0.5f, 0.8f, 1.0f, 2.0f, 2.6f, 15.75f};
    for (auto& size : sizes)
        for (float sigma : sigmas) {
            mtxImage image(size[0], size[1]), expected;
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x) image.At(x, y) = random();
            expected.Assign(image);
            ReferenceBlur(expected, sigma);
            image.Blur(sigma);
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x)
                    ASSERT_EQ(image.At(x, y), expected.At(x, y))
                        << size[0] << "x" << size[1] << " sigma " << sigma << " at " << x << ","
                        << y;
        }
}

// Bands of rows blurred from a source, in any order, give the whole blur;
// rows outside the band stay as they were.
TEST_P(BlurPaths, RowsOfASourceMatchTheWholeBlur) {
    std::mt19937 random(77);
    for (float sigma : {0.8f, 2.6f}) {
        mtxImage source(23, 31), expected, out(23, 31);
        for (int y = 0; y < source.height; ++y)
            for (int x = 0; x < source.width; ++x) source.At(x, y) = random();
        expected.Assign(source);
        ReferenceBlur(expected, sigma);
        const int cuts[] = {0, 1, 2, 9, 20, 30, 31};
        for (int i = 6; i-- > 0;) {
            for (int y = 0; y < out.height; ++y)
                for (int x = 0; x < out.width; ++x) out.At(x, y) = 0x12345678u;
            ASSERT_EQ(out.BlurRowsOf(source, sigma, cuts[i], cuts[i + 1]), 1);
            for (int y = 0; y < out.height; ++y)
                for (int x = 0; x < out.width; ++x) {
                    bool inside = y >= cuts[i] && y < cuts[i + 1];
                    ASSERT_EQ(out.At(x, y), inside ? expected.At(x, y) : 0x12345678u)
                        << "sigma " << sigma << " rows " << cuts[i] << ".." << cuts[i + 1] << " at "
                        << x << "," << y;
                }
        }
    }
    mtxImage other(22, 31), source(23, 31);
    EXPECT_EQ(other.BlurRowsOf(source, 0.8f, 0, 5), 0);  // sizes differ
}

TEST_P(BlurPaths, HonoursThePitch) {
    std::vector<mtxColor> pixels(10 * 6, 0xDEADBEEFu);
    std::mt19937 random(3);
    mtxImage image(pixels.data(), 7, 6, 40), expected(7, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) expected.At(x, y) = image.At(x, y) = random();
    image.Blur(1.2f);
    ReferenceBlur(expected, 1.2f);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 7; ++x) ASSERT_EQ(image.At(x, y), expected.At(x, y));
        for (int x = 7; x < 10; ++x) ASSERT_EQ(pixels[y * 10 + x], 0xDEADBEEFu);
    }
}

TEST(Blur, EmptyImageIsLeftAlone) {
    mtxImage image;
    image.Blur(0.8f);
    image.Create(0, 5, 0);
    image.Blur(0.8f);
    EXPECT_EQ(image.data, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Simd, BlurPaths,
                         ::testing::Values(mtxSimd::Level::kPortable, mtxSimd::Level::kAvx2));
