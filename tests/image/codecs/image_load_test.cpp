// Load and the writers on mtxImage: the PNG decoder first, then the picture
// loader, chosen by the bytes and never by the file name.
#include <gtest/gtest.h>

#include <cerrno>

#include "image/file_stream.h"
#include "image/image.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::TempDir;

void FillPattern(mtxImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.At(x, y) = uint32_t(x * 40 % 256) << 16 | uint32_t(y * 30 % 256) << 8 |
                             uint32_t((x ^ y) * 9 % 256) | uint32_t(x * 60 % 256) << 24;
}

int Save(mtxImage& image, const std::string& path, int (mtxImage::*writer)(mtxFile&)) {
    mtxFileStream<65536> file;
    if (!file.Open(path, mtxFile::kWrite | mtxFile::kCreate)) return 0;
    return (image.*writer)(file);
}

bool AllOpaque(const mtxImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.At(x, y) >> 24 != 255) return false;
    return true;
}

// An image kind that is not a plain memory image, as device images are.
class OtherImage : public mtxImage {};

}  // namespace

TEST(ImageLoad, JpegLoadsOpaqueWhateverItsName) {
    TempDir dir;
    mtxImage source(29, 17);
    FillPattern(source);
    for (const char* name : {"photo.jpg", "photo.png", "photo"}) {
        ASSERT_EQ(Save(source, dir.File(name), &mtxImage::WriteJpeg), 1);
        mtxImage image;
        image.isYCbCr = 1;
        EXPECT_EQ(image.Load(dir.File(name), 0), 1) << name;
        EXPECT_EQ(image.width, 29);
        EXPECT_EQ(image.height, 17);
        EXPECT_EQ(image.pitch, 29 * 4);
        EXPECT_EQ(image.isYCbCr, 0);
        EXPECT_TRUE(AllOpaque(image)) << name;
    }
}

TEST(ImageLoad, PngLoadsExactlyWhateverItsName) {
    TempDir dir;
    mtxImage source(23, 9);
    FillPattern(source);
    for (const char* name : {"picture.png", "picture.jpg", "picture.bmp"}) {
        ASSERT_EQ(Save(source, dir.File(name), &mtxImage::WritePng), 1);
        mtxImage image(dir.File(name));
        ASSERT_EQ(image.width, 23) << name;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 23; ++x) ASSERT_EQ(image.At(x, y), source.At(x, y)) << name;
    }
}

TEST(ImageLoad, BitmapRoundTripsWithAlphaMadeOpaque) {
    TempDir dir;
    mtxImage source(31, 6);
    FillPattern(source);
    ASSERT_EQ(Save(source, dir.File("b.bmp"), &mtxImage::WriteBmp), 1);
    mtxImage image;
    ASSERT_EQ(image.Load(dir.File("b.bmp"), 0), 1);
    ASSERT_EQ(image.width, 31);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 31; ++x) ASSERT_EQ(image.At(x, y), source.At(x, y) | 0xFF000000u);
}

TEST(ImageLoad, OtherImageKindsAreCreatedAndFilled) {
    TempDir dir;
    mtxImage source(5, 4);
    FillPattern(source);
    ASSERT_EQ(Save(source, dir.File("b.bmp"), &mtxImage::WriteBmp), 1);
    ASSERT_EQ(Save(source, dir.File("p.png"), &mtxImage::WritePng), 1);
    OtherImage bmp, png;
    ASSERT_EQ(bmp.Load(dir.File("b.bmp"), 0), 1);
    ASSERT_EQ(png.Load(dir.File("p.png"), 0), 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bmp.At(x, y), source.At(x, y) | 0xFF000000u);
            EXPECT_EQ(png.At(x, y), source.At(x, y));
        }
}

TEST(ImageLoad, ProbeLeavesTheImageAlone) {
    TempDir dir;
    mtxImage source(8, 8);
    FillPattern(source);
    ASSERT_EQ(Save(source, dir.File("p.png"), &mtxImage::WritePng), 1);
    ASSERT_EQ(Save(source, dir.File("j.jpg"), &mtxImage::WriteJpeg), 1);
    for (const char* name : {"p.png", "j.jpg"}) {
        mtxImage image;
        EXPECT_EQ(image.Load(dir.File(name), 1), 1) << name;
        EXPECT_EQ(image.data, nullptr);
        EXPECT_EQ(image.width, 0);
    }
}

TEST(ImageLoad, FailuresLeaveTheImageAsItWas) {
    TempDir dir;
    testing_support::WriteFile(dir.File("text.jpg"), "this is not a picture at all");
    std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "cut short";
    testing_support::WriteFile(dir.File("broken.png"), png);
    for (const char* name : {"missing.jpg", "text.jpg", "broken.png"}) {
        mtxImage image(3, 2);
        image.At(1, 1) = 0x12345678;
        errno = 0;
        EXPECT_EQ(image.Load(dir.File(name), 0), 0) << name;
        EXPECT_EQ(errno, 2) << name;
        EXPECT_EQ(image.width, 3);
        EXPECT_EQ(image.At(1, 1), 0x12345678u);
    }
}

TEST(ImageLoad, MissingResourceFailsWithFileNotFound) {
    mtxImage image;
    errno = 0;
    EXPECT_EQ(image.Load(uint32_t(0xFFF0), 0), 0);
    EXPECT_EQ(errno, 2);
    EXPECT_EQ(image.LoadPicture(uint32_t(0xFFF0), 1), 0);
}

TEST(ImageLoad, PngWriterRefusesAnEmptyImage) {
    TempDir dir;
    mtxImage empty;
    EXPECT_EQ(Save(empty, dir.File("e.png"), &mtxImage::WritePng), 0);
    EXPECT_EQ(Save(empty, dir.File("e.jpg"), &mtxImage::WriteJpeg), 0);
}
