// Load and the writers on mtxImage: the PNG decoder first, then the picture
// loader, chosen by the bytes and never by the file name.
#include <gtest/gtest.h>

#include <cerrno>

#include "image/file_stream.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "image/io/image_save.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::TempDir;

void FillPattern(mtxImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.At(x, y) = uint32_t(x * 40 % 256) << 16 | uint32_t(y * 30 % 256) << 8 |
                             uint32_t((x ^ y) * 9 % 256) | uint32_t(x * 60 % 256) << 24;
}

int Save(mtxImage& image, const std::string& path, int (*writer)(mtxImage&, mtxFile&)) {
    mtxFileStream<65536> file;
    if (!file.Open(path, mtxFile::kWrite | mtxFile::kCreate)) return 0;
    return writer(image, file);
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
        ASSERT_EQ(Save(source, dir.File(name), &mtxImageWriteJpeg), 1);
        mtxImage image;
        image.isYCbCr = 1;
        EXPECT_EQ(mtxImageLoad(image, dir.File(name), 0), 1) << name;
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
        ASSERT_EQ(Save(source, dir.File(name), &mtxImageWritePng), 1);
        mtxImage image;
        ASSERT_EQ(mtxImageLoad(image, dir.File(name), 0), 1) << name;
        ASSERT_EQ(image.width, 23) << name;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 23; ++x) ASSERT_EQ(image.At(x, y), source.At(x, y)) << name;
    }
}

TEST(ImageLoad, BitmapRoundTripsWithAlphaMadeOpaque) {
    TempDir dir;
    mtxImage source(31, 6);
    FillPattern(source);
    ASSERT_EQ(Save(source, dir.File("b.bmp"), &mtxImageWriteBmp), 1);
    mtxImage image;
    ASSERT_EQ(mtxImageLoad(image, dir.File("b.bmp"), 0), 1);
    ASSERT_EQ(image.width, 31);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 31; ++x) ASSERT_EQ(image.At(x, y), source.At(x, y) | 0xFF000000u);
}

TEST(ImageLoad, OtherImageKindsAreCreatedAndFilled) {
    TempDir dir;
    mtxImage source(5, 4);
    FillPattern(source);
    ASSERT_EQ(Save(source, dir.File("b.bmp"), &mtxImageWriteBmp), 1);
    ASSERT_EQ(Save(source, dir.File("p.png"), &mtxImageWritePng), 1);
    OtherImage bmp, png;
    ASSERT_EQ(mtxImageLoad(bmp, dir.File("b.bmp"), 0), 1);
    ASSERT_EQ(mtxImageLoad(png, dir.File("p.png"), 0), 1);
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
    ASSERT_EQ(Save(source, dir.File("p.png"), &mtxImageWritePng), 1);
    ASSERT_EQ(Save(source, dir.File("j.jpg"), &mtxImageWriteJpeg), 1);
    for (const char* name : {"p.png", "j.jpg"}) {
        mtxImage image;
        EXPECT_EQ(mtxImageLoad(image, dir.File(name), 1), 1) << name;
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
        EXPECT_EQ(mtxImageLoad(image, dir.File(name), 0), 0) << name;
        EXPECT_EQ(errno, 2) << name;
        EXPECT_EQ(image.width, 3);
        EXPECT_EQ(image.At(1, 1), 0x12345678u);
    }
}

TEST(ImageLoad, AFailedLoadSaysWhy) {
    TempDir dir;
    mtxImage source(4, 4);
    FillPattern(source);
    ASSERT_EQ(Save(source, dir.File("good.png"), &mtxImageWritePng), 1);
    ASSERT_EQ(Save(source, dir.File("good.jpg"), &mtxImageWriteJpeg), 1);
    std::string png = testing_support::ReadFile(dir.File("good.png"));
    png[png.find("IDAT") + 6] ^= 1;
    testing_support::WriteFile(dir.File("crc.png"), png);
    // The JPEG frame header's width set to 0 (marker, length, precision,
    // height, then width).
    std::string jpeg = testing_support::ReadFile(dir.File("good.jpg"));
    size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 7] = jpeg[sof + 8] = 0;
    testing_support::WriteFile(dir.File("narrow.jpg"), jpeg);
    // A real bitmap whose header then claims 100000 x 100000 pixels.
    std::string bmp =
        testing_support::ReadFile(std::string(DAUBRY_TEST_DATA) + "/bmp/basn2c08.bmp");
    for (size_t at : {18, 22}) {
        bmp[at] = char(0xA0), bmp[at + 1] = char(0x86), bmp[at + 2] = 1, bmp[at + 3] = 0;
    }
    testing_support::WriteFile(dir.File("huge.bmp"), bmp);
    testing_support::WriteFile(dir.File("text.png"), "this is not a picture at all");
    testing_support::WriteFile(dir.File("empty.png"), "");
    struct Case {
        const char* name;
        std::string reason;
    } cases[] = {
        {"crc.png", "PNG: CRC mismatch in IDAT"},
        {"narrow.jpg", "JPEG: image is 0 pixels wide"},
        {"huge.bmp", "BMP: header claims 100000 x 100000 pixels, more than allowed"},
        {"text.png", "not a picture Daubry can read (PNG, BMP, JPEG or GIF)"},
        {"empty.png", "not a picture Daubry can read (PNG, BMP, JPEG or GIF)"},
        {"missing.png", "No such file or directory: " + dir.File("missing.png")},
    };
    for (const Case& c : cases) {
        mtxImage image;
        std::string reason = "stale";
        EXPECT_EQ(mtxImageLoad(image, dir.File(c.name), 0, &reason), 0) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
        // A probe says the same for a source no decoder knows.
        if (c.reason.compare(0, 3, "not") == 0) {
            EXPECT_EQ(mtxImageLoad(image, dir.File(c.name), 1, &reason), 0);
            EXPECT_EQ(reason, c.reason) << c.name;
        }
    }
    // The good files load, and a null reason is allowed.
    mtxImage image;
    EXPECT_EQ(mtxImageLoad(image, dir.File("good.png"), 0, nullptr), 1);
    EXPECT_EQ(mtxImageLoad(image, dir.File("good.jpg"), 0, nullptr), 1);
}

TEST(ImageLoad, MissingResourceFailsWithFileNotFound) {
    mtxImage image;
    errno = 0;
    EXPECT_EQ(mtxImageLoad(image, uint32_t(0xFFF0), 0), 0);
    EXPECT_EQ(errno, 2);
    EXPECT_EQ(mtxImageLoadPicture(image, uint32_t(0xFFF0), 1), 0);
}

TEST(ImageLoad, PngWriterRefusesAnEmptyImage) {
    TempDir dir;
    mtxImage empty;
    EXPECT_EQ(Save(empty, dir.File("e.png"), &mtxImageWritePng), 0);
    EXPECT_EQ(Save(empty, dir.File("e.jpg"), &mtxImageWriteJpeg), 0);
}
