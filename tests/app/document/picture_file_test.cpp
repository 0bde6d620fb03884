// The saved picture's name and its atomic writing.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cctype>
#include <csignal>
#include <filesystem>

#include "app/document/picture_file.h"
#include "image/image.h"
#include "tests/oracles/jpeg.h"
#include "tests/oracles/png.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

constexpr uint32_t kBmp = 1, kPng = 2, kJpeg = 3;

TEST(SaveName, ATypedPictureExtensionDecidesOtherwiseTheFiltersIsAdded) {
    EXPECT_EQ(mtxSettledSaveName("/p/photo", kPng), "/p/photo.png");
    EXPECT_EQ(mtxSettledSaveName("/p/photo.PNG", kPng), "/p/photo.PNG");
    EXPECT_EQ(mtxSettledSaveName("/p/photo.png", kBmp), "/p/photo.png");
    EXPECT_EQ(mtxSettledSaveName("/p/photo.bmp", kJpeg), "/p/photo.bmp");
    EXPECT_EQ(mtxSettledSaveName("/p/photo.Jpg", kJpeg), "/p/photo.Jpg");
    EXPECT_EQ(mtxSettledSaveName("/p/photo.jpeg", kBmp), "/p/photo.jpeg");
    EXPECT_EQ(mtxSettledSaveName("/p/photo.gif", kPng), "/p/photo.gif.png");  // not written
    EXPECT_EQ(mtxSettledSaveName("/p/photo.v2", 7), "/p/photo.v2.jpg");  // any other filter: JPEG
    // An extension of a folder is not the file's.
    EXPECT_EQ(mtxSettledSaveName("/p/x.png/photo", kPng), "/p/x.png/photo.png");
    EXPECT_EQ(mtxSettledSaveName("/p/.png", kPng), "/p/.png.png");  // a hidden name, no extension
    // Settling twice changes nothing (the dialog and the writer both do it),
    // and the settled name's format is the one written.
    for (uint32_t filter : {kBmp, kPng, kJpeg})
        for (const char* name :
             {"/a/b", "/a/b.png", "/a/b.bmp", "/a/b.JPG", "/a/b.jpe", "/a/b.x"}) {
            std::string once = mtxSettledSaveName(name, filter);
            EXPECT_EQ(mtxSettledSaveName(once, filter), once);
            mtxPictureFormat format = mtxPictureFormatOfName(once, filter);
            EXPECT_EQ(mtxPictureFormatOfName(once, mtxPictureFilterOf(format)), format);
            std::string extension = once.substr(once.find_last_of('.') + 1);
            for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
            if (extension == "jpe" || extension == "jpeg") extension = "jpg";
            EXPECT_EQ(extension, mtxPictureExtension(format)) << once;
        }
    EXPECT_EQ(mtxPictureFormatOfName("/p/x.png", kBmp), mtxPictureFormat::kPng);
    EXPECT_EQ(mtxPictureFormatOfName("/p/x", kBmp), mtxPictureFormat::kBmp);
    EXPECT_EQ(mtxPictureFormatOfName("/p/x.JPEG", kPng), mtxPictureFormat::kJpeg);
}

void Gradient(mtxImage& image, int width, int height) {
    image.Create(width, height, 0);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.Row(y));
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | uint32_t(x * 7 % 256) << 16 | uint32_t(y * 5 % 256) << 8 |
                     uint32_t((x + y) % 256);
    }
}

TEST(PictureFile, EachFormatIsWhatAReferenceDecoderReads) {
    TempDir dir;
    mtxImage image;
    Gradient(image, 37, 23);
    ASSERT_EQ(mtxWritePictureFile(image, dir.File("p.png"), mtxPictureFormat::kPng), 1);
    oracle::Pixels png = oracle::ReadPng(dir.File("p.png"));
    ASSERT_EQ(png.width, 37);
    ASSERT_EQ(png.height, 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(png.At(x, y), reinterpret_cast<uint32_t*>(image.Row(y))[x]);
    ASSERT_EQ(mtxWritePictureFile(image, dir.File("p.jpg"), mtxPictureFormat::kJpeg), 1);
    oracle::Pixels jpeg;
    ASSERT_TRUE(oracle::DecodeJpeg(ReadFile(dir.File("p.jpg")), jpeg));
    EXPECT_EQ(jpeg.width, 37);
    EXPECT_EQ(jpeg.height, 23);
    ASSERT_EQ(mtxWritePictureFile(image, dir.File("p.bmp"), mtxPictureFormat::kBmp), 1);
    EXPECT_EQ(ReadFile(dir.File("p.bmp")).substr(0, 2), "BM");
}

// A write that runs out of room half-way (the file-size limit stands in for
// a full disk) leaves the old file as it was and no stray file beside it.
TEST(PictureFile, AFailedWriteLeavesTheOldFileByteIdentical) {
    TempDir dir;
    std::string target = dir.File("old.bmp");
    std::string old(5000, 'o');
    WriteFile(target, old);
    mtxImage image;
    Gradient(image, 300, 300);  // 360 kB as a bitmap
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100000;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string reason;
    int written = mtxWritePictureFile(image, target, mtxPictureFormat::kBmp, &reason);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(written, 0);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(ReadFile(target), old);
    int entries = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.Path())) (void)entry, ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(PictureFile, AFolderOrAnEmptyPictureIsRefusedWithAReason) {
    TempDir dir;
    mtxImage image;
    Gradient(image, 4, 4);
    std::string reason;
    EXPECT_EQ(mtxWritePictureFile(image, dir.Path(), mtxPictureFormat::kPng, &reason), 0);
    EXPECT_NE(reason.find("folder"), std::string::npos) << reason;
    mtxImage empty;
    EXPECT_EQ(mtxWritePictureFile(empty, dir.File("e.png"), mtxPictureFormat::kPng, &reason), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("e.png")));
    EXPECT_EQ(
        mtxWritePictureFile(image, dir.File("no/such/folder.png"), mtxPictureFormat::kPng, &reason),
        0);
}

}  // namespace
