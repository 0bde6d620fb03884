// Flattening a stack for saving.
#include "render/layers/flatten_stack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "image/resample.h"
#include "render/layers/layer_transform.h"
#include "tests/render/layers/view_test_support.h"
#include "tests/render/render_test_support.h"

namespace {

using namespace view_test;

TEST(FlattenStack, OneOpaqueIdentityLayerIsThePicture) {
    std::vector<uint32_t> pixels = render_test::RandomPixels(70 * 40, 1);
    for (uint32_t& p : pixels) p |= 0xFF000000u;
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(70, 40, pixels));
    mtxImage out;
    ASSERT_EQ(FlattenStack(stack, out), 1);
    ASSERT_EQ(out.width, 70);
    ASSERT_EQ(out.height, 40);
    EXPECT_TRUE(PixelsOf(out) == pixels);
}

// Over the transparent fill of a new stack, a layer keeps its colours and its
// alpha: a picture with transparency is saved as it is.
TEST(FlattenStack, ALayerOverTheTransparentFillKeepsItsPixels) {
    std::vector<uint32_t> pixels = render_test::RandomPixels(50 * 30, 2);
    mtxImageStack stack;
    EXPECT_EQ(stack.fillColor, 0x00000000u);
    stack.AddLayer(0, MakeImage(50, 30, pixels));
    mtxImage out;
    ASSERT_EQ(FlattenStack(stack, out), 1);
    std::vector<uint32_t> got = PixelsOf(out);
    for (size_t i = 0; i < got.size(); ++i) {
        if ((pixels[i] >> 24) == 0) {
            EXPECT_EQ(got[i], 0u);
            continue;
        }
        for (int c = 0; c < 4; ++c)
            ASSERT_NEAR(int((got[i] >> (8 * c)) & 0xFF), int((pixels[i] >> (8 * c)) & 0xFF), 1)
                << "pixel " << i << " channel " << c;
    }
}

TEST(FlattenStack, OpacityZeroLeavesTheFill) {
    mtxImageStack stack;
    stack.fillColor = 0xFF204060u;
    stack.AddLayer(0, MakeImage(20, 20, render_test::RandomPixels(400, 3)));
    stack.GetLayer(0)->SetOpacity(0);
    mtxImage out(20, 20);  // same size: old pixels must not survive
    ASSERT_EQ(FlattenStack(stack, out), 1);
    std::vector<uint32_t> got = PixelsOf(out);
    EXPECT_EQ(std::count(got.begin(), got.end(), 0xFF204060u), 400);
}

// Over an opaque destination the operator is the plain alpha blend.
TEST(FlattenStack, OverAnOpaqueLayerAgreesWithBlendOver) {
    std::vector<uint32_t> bottom = render_test::RandomPixels(40 * 40, 4);
    for (uint32_t& p : bottom) p |= 0xFF000000u;
    std::vector<uint32_t> top = render_test::RandomPixels(40 * 40, 5);
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(40, 40, bottom));
    stack.AddLayer(1, MakeImage(40, 40, top));
    stack.GetLayer(1)->SetOpacity(150);
    mtxImage out;
    ASSERT_EQ(FlattenStack(stack, out), 1);
    mtxImage want(bottom.data(), 40, 40, 160);
    mtxImage over(top.data(), 40, 40, 160);
    want.BlendOver(over, 150, mtxRect{}, 0, 0);
    std::vector<uint32_t> got = PixelsOf(out), expected = PixelsOf(want);
    for (size_t i = 0; i < got.size(); ++i)
        for (int c = 0; c < 4; ++c)
            ASSERT_NEAR(int((got[i] >> (8 * c)) & 0xFF), int((expected[i] >> (8 * c)) & 0xFF), 1)
                << "pixel " << i << " channel " << c;
}

TEST(FlattenStack, EmptyStackGivesAnEmptyPicture) {
    mtxImageStack stack;
    mtxImage out(5, 5);
    EXPECT_EQ(FlattenStack(stack, out), 1);
    EXPECT_EQ(out.width, 0);
}

// A moved layer lands where its transform puts it.
TEST(FlattenStack, TheLayerTransformMovesTheLayer) {
    std::vector<uint32_t> bottom(30 * 30, 0xFF000000u);
    std::vector<uint32_t> small(10 * 10, 0xFFFF0000u);
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(30, 30, bottom));
    stack.AddLayer(1, MakeImage(10, 10, small));
    float* m = stack.GetLayer(1)->transform;
    m[2] = 5.0f;  // x' = x + 5
    m[5] = 7.0f;  // y' = y + 7
    mtxImage out;
    ASSERT_EQ(FlattenStack(stack, out), 1);
    ASSERT_EQ(out.width, 30);
    EXPECT_EQ(out.At(5, 7), 0xFFFF0000u);
    EXPECT_EQ(out.At(14, 16), 0xFFFF0000u);
    EXPECT_EQ(out.At(4, 7), 0xFF000000u);
    EXPECT_EQ(out.At(15, 16), 0xFF000000u);
}

}  // namespace

namespace {

// A layer moved by a fraction of a pixel and turned goes through the
// resampler: over the transparent fill the result is its output.
TEST(FlattenStack, ATurnedLayerIsResampled) {
    std::vector<uint32_t> pixels =
        view_test::PixelsOf(*view_test::MakeImage(40, 40, render_test::RandomPixels(1600, 9)));
    mtxImageStack stack;
    stack.AddLayer(0, view_test::MakeImage(40, 40, pixels));
    const float turn[9] = {0.96f, -0.28f, 6.5f, 0.28f, 0.96f, -3.25f, 0, 0, 1};
    std::copy(turn, turn + 9, stack.GetLayer(0)->transform);
    mtxImage out;
    ASSERT_EQ(FlattenStack(stack, out), 1);
    mtxImage source(pixels.data(), 40, 40, 160), want(40, 40);
    TransformImage(source, want, turn, mtxRect{}, kSampleBilinear);
    std::vector<uint32_t> got = view_test::PixelsOf(out), expected = view_test::PixelsOf(want);
    for (size_t i = 0; i < got.size(); ++i) {
        if ((expected[i] >> 24) == 0) {
            EXPECT_EQ(got[i], 0u);
            continue;
        }
        for (int c = 0; c < 4; ++c)
            ASSERT_NEAR(int((got[i] >> (8 * c)) & 0xFF), int((expected[i] >> (8 * c)) & 0xFF), 1)
                << "pixel " << i << " channel " << c;
    }
}

}  // namespace

// A transform for a picture drawn larger maps each scaled point where the
// original maps the point, scaled: turns, moves and a little perspective.
TEST(LayerTransform, ScaledMapsScaledPointsToScaledPoints) {
    const float transforms[][9] = {{0.978f, -0.208f, 9.5f, 0.208f, 0.978f, -11.25f, 0, 0, 1},
                                   {1, 0, -3, 0, 1, 40, 0, 0, 1},
                                   {0.9f, 0.1f, 5, -0.2f, 1.1f, 2, 0.0004f, -0.0002f, 1}};
    const double scales[][2] = {{2, 2}, {0.5, 0.5}, {3.1, 2.9}, {1, 1}};
    for (const auto& m : transforms)
        for (const auto& s : scales) {
            float scaled[9];
            mtxLayerTransform::Scaled(m, s[0], s[1], scaled);
            for (float x : {0.0f, 13.5f, 120.0f})
                for (float y : {0.0f, 7.25f, 90.0f}) {
                    float ox = 0, oy = 0, sx = 0, sy = 0;
                    mtxLayerTransform::Map(m, x, y, &ox, &oy);
                    mtxLayerTransform::Map(scaled, float(x * s[0]), float(y * s[1]), &sx, &sy);
                    EXPECT_NEAR(sx, ox * s[0], 1e-3 * (1 + std::fabs(ox * s[0])));
                    EXPECT_NEAR(sy, oy * s[1], 1e-3 * (1 + std::fabs(oy * s[1])));
                }
        }
}
