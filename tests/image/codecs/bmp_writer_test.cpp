#include "image/codecs/bmp_writer.h"

#include <gtest/gtest.h>

#include "image/file_memory.h"
#include "image/io/image_save.h"
#include "platform/picture_loader.h"

namespace {

std::string Write(mtxImage& image, int* result = nullptr) {
    mtxFileMemory file;
    int r = mtxImageWriteBmp(image, file);
    if (result) *result = r;
    return std::string(reinterpret_cast<const char*>(file.Data()), size_t(file.GetLength()));
}

uint32_t U32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 |
           uint32_t(uint8_t(s[at + 2])) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}

}  // namespace

TEST(BmpWriter, ThreeByTwoIs78BytesWithTheLastRowFirst) {
    mtxImage image(3, 2);
    const uint32_t pixels[6] = {0x01020304, 0x05060708, 0x090A0B0C,
                                0x80112233, 0x00445566, 0xFF778899};
    for (int i = 0; i < 6; ++i) image.At(i % 3, i / 3) = pixels[i];
    int result = 0;
    std::string bytes = Write(image, &result);
    EXPECT_EQ(result, 1);
    std::string expected(
        "BM\x4E\0\0\0\0\0\0\0\x36\0\0\0"                     // file header
        "\x28\0\0\0\x03\0\0\0\x02\0\0\0\x01\0\x20\0"         // size, width, height, planes, bits
        "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"   // compression .. important colours
        "\x33\x22\x11\x80\x66\x55\x44\x00\x99\x88\x77\xFF"   // row 1
        "\x04\x03\x02\x01\x08\x07\x06\x05\x0C\x0B\x0A\x09",  // row 0
        78);
    EXPECT_EQ(bytes, expected);
}

TEST(BmpWriter, WidthZeroGivesTheHeadersAlone) {
    mtxImage image(0, 4);
    std::string bytes = Write(image);
    ASSERT_EQ(bytes.size(), 54u);
    EXPECT_EQ(U32(bytes, 2), 54u);
    EXPECT_EQ(U32(bytes, 18), 0u);
    EXPECT_EQ(U32(bytes, 22), 4u);
}

TEST(BmpWriter, WritesFromTheStartOfTheFile) {
    mtxImage image(2, 2);
    mtxFileMemory file;
    file.Write("junk that is longer than nothing", 32);
    EXPECT_EQ(mtxImageWriteBmp(image, file), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.Data()), 2), "BM");
}

TEST(BmpWriter, RoundTripsThroughThePictureLoader) {
    mtxImage image(37, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x)
            image.At(x, y) = uint32_t(x * 0x010203 + y * 0x300000) | uint32_t(x) << 24;
    std::string bytes = Write(image);
    mtxPicture picture;
    std::string error;
    ASSERT_TRUE(mtxDecodePicture(bytes.data(), bytes.size(), picture, &error)) << error;
    ASSERT_EQ(picture.width, 37);
    ASSERT_EQ(picture.height, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(picture.pixels[size_t(y) * 37 + size_t(x)], image.At(x, y) | 0xFF000000u);
}

TEST(BmpWriter, ReportsAFailedWrite) {
    mtxImage image(16, 16);
    std::vector<uint8_t> room(100);
    mtxFileMemory file(0);
    file.Attach(room.data(), uint32_t(room.size()), 0);
    EXPECT_EQ(mtxImageWriteBmp(image, file), 0);
}

// Rows given a band at a time, bands of 1 to n rows, each put at its place
// from the end of the file: the file the whole image gives, byte for byte.
TEST(BmpWriter, RowsGivenInBandsWriteTheSameFile) {
    mtxImage image(23, 31);
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 23; ++x)
            image.At(x, y) = uint32_t(x) * 0x01030507u + uint32_t(y) * 0x0B0D1113u;
    const std::string whole = Write(image);
    for (int most : {1, 4, 31}) {
        mtxFileMemory file;
        mtxBmpRowWriter writer(file);
        ASSERT_EQ(writer.Begin(23, 31), 1);
        for (int top = 0, band = 0; top < 31; ++band) {
            mtxImage rows(23, std::min(1 + band % most, 31 - top));
            rows.Blit(image, mtxRect{0, top, 23, top + rows.height}, 0, 0);
            ASSERT_EQ(writer.AddRows(rows), 1);
            top += rows.height;
        }
        ASSERT_EQ(writer.Finish(), 1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.Data()), size_t(file.GetLength())),
                  whole)
            << "bands up to " << most;
    }
}

TEST(BmpWriter, RowsThatDoNotMakeThePictureAreRefused) {
    mtxImage rows(8, 5), narrow(7, 5);
    auto attempt = [&](int width, int height, std::vector<mtxImage*> bands) {
        mtxFileMemory file;
        mtxBmpRowWriter writer(file);
        int ok = writer.Begin(width, height);
        for (mtxImage* band : bands) ok = ok && writer.AddRows(*band);
        return ok && writer.Finish();
    };
    EXPECT_TRUE(attempt(8, 10, {&rows, &rows}));
    EXPECT_FALSE(attempt(8, 10, {&rows}));
    EXPECT_FALSE(attempt(8, 8, {&rows, &rows}));
    EXPECT_FALSE(attempt(8, 10, {&rows, &narrow}));
    // Beyond the format's 32-bit file size: refused before a byte is written.
    mtxFileMemory file;
    mtxBmpRowWriter writer(file);
    EXPECT_EQ(writer.Begin(40000, 30000), 0);
    EXPECT_EQ(file.GetLength(), 0);
}
