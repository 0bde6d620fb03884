// What the finished picture shows: the share of its covered area under large stamps.
#include "fill/visible_sizes.h"

#include <gtest/gtest.h>

#include <vector>

#include "fill/fill_engine.h"
#include "fill/sample_collection.h"
#include "image/image.h"

namespace {

// A stamp of an opaque square sample, axis-aligned, its left top corner at (x, y).
mtxStamp Square(int x, int y, int side) {
    mtxStamp stamp;
    stamp.sample = 0;
    stamp.size = side;
    stamp.SizeTo(8, 8);
    stamp.angle = 0;
    stamp.x = x + side / 2, stamp.y = y + side / 2;
    stamp.Shape(false, false);
    return stamp;
}

TEST(VisibleSizes, OnlyTheStampOnTopCounts) {
    mtxImage photo;
    photo.Create(64, 32, 0);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) photo.At(x, y) = 0xFF808080u;
    SampleCollection samples;
    samples.count = 1;
    samples.samples[0].width = samples.samples[0].height = 8;
    mtxSampleShapes shapes;
    std::vector<uint32_t> opaque(64, 0xFFFFFFFFu);
    shapes.Set(0, nullptr, opaque.data(), 8, 8);
    mtxVisibleSizes sizes(shapes);
    ASSERT_EQ(sizes.Reset(photo, 2, 16), 1);
    EXPECT_EQ(sizes.LargeShare(), 0.0);      // nothing covered yet
    sizes.Note(Square(0, 0, 32), samples);   // the left half, large
    sizes.Note(Square(32, 0, 32), samples);  // the right half, large
    EXPECT_DOUBLE_EQ(sizes.LargeShare(), 1.0);
    // Small stamps over an eighth of the picture hide the large ones under them.
    for (int y = 0; y < 32; y += 8) sizes.Note(Square(32, y, 8), samples);
    EXPECT_NEAR(sizes.LargeShare(), 7.0 / 8.0, 0.02);
}

}  // namespace
