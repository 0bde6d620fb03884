#include "image/field.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/image.h"

TEST(Field, FreshImageIsEmptyA8R8G8B8) {
    mtxImage image;
    EXPECT_EQ(image.format, 21u);
    EXPECT_EQ(image.data, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.pitch, 0);
    EXPECT_EQ(image.ownsData, 1);
    EXPECT_EQ(image.isYCbCr, 0);
    EXPECT_TRUE(image.region.bounds.IsEmpty());
    mtxFloatField field;
    EXPECT_EQ(field.format, 0u);
}

TEST(Field, SizedConstructorFillsOpaqueBlack) {
    mtxImage image(3, 2);
    ASSERT_NE(image.data, nullptr);
    EXPECT_EQ(image.pitch, 12);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(image.At(x, y), 0xFF000000u);
}

TEST(Field, CreateWithZeroSideAllocatesNothing) {
    mtxImage image;
    EXPECT_EQ(image.Create(0, 7, 0x12345678u), 1);
    EXPECT_EQ(image.data, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.pitch, 0);
    EXPECT_EQ(image.height, 7);
    EXPECT_EQ(image.Create(4, 0, 0), 1);
    EXPECT_EQ(image.data, nullptr);
}

TEST(Field, CreateOfCurrentSizeKeepsPixels) {
    mtxImage image(2, 2);
    image.At(1, 1) = 0xAABBCCDDu;
    EXPECT_EQ(image.Create(2, 2, 0), 1);
    EXPECT_EQ(image.At(1, 1), 0xAABBCCDDu);
    EXPECT_EQ(image.At(0, 0), 0xFF000000u);
    EXPECT_EQ(image.Create(3, 2, 7), 1);
    EXPECT_EQ(image.At(2, 1), 7u);
}

TEST(Field, CreateRefusesNegativeAndHugeSizes) {
    mtxFloatField field;
    EXPECT_EQ(field.Create(-1, 5, 1.0f), 0);
    EXPECT_TRUE(field.IsEmpty());
    EXPECT_EQ(field.width, 0);
    EXPECT_EQ(field.Create(0x7FFFFFFF, 0x7FFFFFFF, 1.0f), 0);
    EXPECT_EQ(field.data, nullptr);
    EXPECT_EQ(field.width, 0);
}

TEST(Field, FloatFieldCreateFillsValue) {
    mtxFloatField field;
    ASSERT_EQ(field.Create(5, 3, 2.5f), 1);
    EXPECT_EQ(field.pitch, 20);
    EXPECT_FLOAT_EQ(field.At(4, 2), 2.5f);
}

TEST(Field, AttachNeverFreesTheBuffer) {
    std::vector<mtxColor> pixels(4 * 3, 0x01020304u);
    {
        mtxImage image(pixels.data(), 3, 3, 16);  // one spare element per row
        EXPECT_EQ(image.ownsData, 0);
        EXPECT_EQ(image.At(2, 2), 0x01020304u);
        image.At(0, 1) = 5;
        image.Free();
        EXPECT_EQ(image.ownsData, 1);
        EXPECT_EQ(image.data, nullptr);
    }
    EXPECT_EQ(pixels[4], 5u);  // row 1 starts at element 4: the pitch was honoured
}

TEST(Field, FreeClearsImageState) {
    mtxImage image(2, 2);
    image.isYCbCr = 1;
    image.auxiliary = std::malloc(32);
    image.Free();
    EXPECT_EQ(image.auxiliary, nullptr);
    EXPECT_EQ(image.isYCbCr, 0);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
}

TEST(Field, AssignCopiesPixelsIntoATightBuffer) {
    std::vector<mtxColor> pixels(8 * 2);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = mtxColor(i);
    mtxImage source(pixels.data(), 3, 2, 32);
    source.isYCbCr = 1;
    mtxImage copy(9, 9);
    ASSERT_EQ(copy.Assign(source), 1);
    EXPECT_EQ(copy.width, 3);
    EXPECT_EQ(copy.height, 2);
    EXPECT_EQ(copy.pitch, 12);
    EXPECT_EQ(copy.ownsData, 1);
    EXPECT_EQ(copy.isYCbCr, 1);
    EXPECT_EQ(copy.At(2, 0), 2u);
    EXPECT_EQ(copy.At(1, 1), 9u);
    EXPECT_EQ(copy.Assign(copy), 1);
    EXPECT_EQ(copy.At(1, 1), 9u);
    mtxImage empty;
    EXPECT_EQ(copy.Assign(empty), 1);
    EXPECT_TRUE(copy.IsEmpty());
}

TEST(Field, SameKindIsAMemoryImageOfThatSize) {
    mtxImage image(2, 2);
    auto other = image.CreateSameKind(5, 4);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->width, 5);
    EXPECT_EQ(other->height, 4);
    EXPECT_EQ(other->At(4, 3), 0xFF000000u);
}
