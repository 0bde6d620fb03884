#include "image/image_stack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

std::unique_ptr<mtxImage> Sized(int w, int h) {
    return std::make_unique<mtxImage>(w, h);
}

}  // namespace

TEST(ImageStack, FirstLayerSetsSizeAndIndicesFollowInsertion) {
    mtxImageStack stack;
    EXPECT_EQ(stack.width, 0);
    EXPECT_EQ(stack.AddLayer(-1, Sized(8, 6)), 0);
    EXPECT_EQ(stack.width, 8);
    EXPECT_EQ(stack.height, 6);
    EXPECT_EQ(stack.AddLayer(-1, Sized(2, 2)), 1);
    EXPECT_EQ(stack.width, 8);
    EXPECT_EQ(stack.AddLayer(0, Sized(3, 3)), 0);   // inserted before the first
    EXPECT_EQ(stack.AddLayer(99, Sized(4, 4)), 3);  // past the end appends
    ASSERT_EQ(stack.LayerCount(), 4);
    EXPECT_EQ(stack.GetLayer(0)->width, 3);
    EXPECT_EQ(stack.GetLayer(1)->width, 8);
    EXPECT_EQ(stack.GetLayer(3)->width, 4);
    EXPECT_EQ(stack.GetLayer(4), nullptr);
    EXPECT_EQ(stack.GetLayer(-1), nullptr);
    EXPECT_EQ(stack.RemoveLayer(0), 1);
    EXPECT_EQ(stack.GetLayer(0)->width, 8);
    EXPECT_EQ(stack.RemoveLayer(7), 0);
    EXPECT_EQ(stack.AddLayer(-1, nullptr), -1);
}

TEST(ImageStack, LayerStartsIdentityOpaqueWithTextureOfSameSize) {
    mtxImageStack stack;
    stack.AddLayer(-1, Sized(5, 7));
    mtxImageStack::Layer* layer = stack.GetLayer(0);
    EXPECT_EQ(layer->stack, &stack);
    EXPECT_EQ(layer->color, 0xFFFFFFFFu);
    EXPECT_EQ(layer->transform[0], 1.0f);
    EXPECT_EQ(layer->transform[4], 1.0f);
    EXPECT_EQ(layer->transform[8], 1.0f);
    EXPECT_EQ(layer->transform[1], 0.0f);
    ASSERT_TRUE(layer->texture);
    EXPECT_EQ(layer->texture->width, 5);
    EXPECT_EQ(layer->texture->height, 7);
    layer->SetOpacity(0x40);
    EXPECT_EQ(layer->color, 0x40FFFFFFu);
    layer->SetImage(Sized(9, 2));
    EXPECT_EQ(layer->width, 9);
    EXPECT_EQ(layer->height, 2);
    EXPECT_EQ(layer->texture->width, 9);
    EXPECT_EQ(layer->source->width, 9);
}

TEST(ImageStack, BusyFlagAdmitsOneUserAtATime) {
    mtxImageStack stack;
    EXPECT_EQ(stack.TryBeginUse(), 1);
    EXPECT_EQ(stack.TryBeginUse(), 0);
    int fromOtherThread = -1;
    std::thread([&] { fromOtherThread = stack.TryBeginUse(); }).join();
    EXPECT_EQ(fromOtherThread, 0);
    stack.EndUse();
    EXPECT_EQ(stack.TryBeginUse(), 1);
}

TEST(ImageStack, CentreUsesIntegerHalves) {
    mtxImageStack stack;
    stack.AddLayer(-1, Sized(101, 51));
    stack.ComputeCentre();
    EXPECT_EQ(stack.centreX, 50.0f);
    EXPECT_EQ(stack.centreY, 25.0f);
    EXPECT_FLOAT_EQ(stack.depth, -0.2f * std::sqrt(101.0f * 51.0f));
}
