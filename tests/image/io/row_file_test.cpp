#include "image/io/row_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image/file_memory.h"
#include "image/image.h"
#include "image/io/image_save.h"
#include "tests/support/test_support.h"

namespace {

void Paint(mtxImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.At(x, y) = 0xFF000000u | uint32_t(x * 5) << 16 | uint32_t(y * 7) << 8 |
                             uint32_t((x * y) & 0xFF);
}

std::string WrittenWhole(mtxImage& image, mtxRowFormat format) {
    mtxFileMemory file;
    int ok = format == mtxRowFormat::kPng    ? mtxImageWritePng(image, file)
             : format == mtxRowFormat::kJpeg ? mtxImageWriteJpeg(image, file, 80)
                                             : mtxImageWriteBmp(image, file);
    EXPECT_EQ(ok, 1);
    return std::string(reinterpret_cast<const char*>(file.Data()), size_t(file.GetLength()));
}

}  // namespace

// Bands of 11 rows in each format: the file the whole picture gives, in
// place of the old file only once finished; rows missing: the old file kept
// and nothing else left beside it.
TEST(RowFile, WritesEachFormatInBandsAndReplacesOnlyWhenComplete) {
    testing_support::TempDir dir;
    mtxImage image(45, 37);
    Paint(image);
    for (mtxRowFormat format : {mtxRowFormat::kPng, mtxRowFormat::kJpeg, mtxRowFormat::kBmp}) {
        SCOPED_TRACE(int(format));
        const std::string path = dir.File("out");
        for (bool complete : {false, true}) {
            testing_support::WriteFile(path, "old");
            mtxRowFile file;
            std::string error;
            ASSERT_EQ(file.Begin(path, format, image.width, image.height, 80, error), 1) << error;
            for (int top = 0; top + (complete ? 0 : 11) < image.height; top += 11) {
                mtxImage band(image.width, std::min(11, image.height - top));
                band.Blit(image, mtxRect{0, top, image.width, top + band.height}, 0, 0);
                ASSERT_EQ(file.AddRows(band, error), 1) << error;
            }
            EXPECT_EQ(testing_support::ReadFile(path), "old");
            EXPECT_EQ(file.Finish(error), complete ? 1 : 0);
        }
        EXPECT_EQ(testing_support::ReadFile(path), WrittenWhole(image, format));
        std::filesystem::directory_iterator files(dir.Path()), end;
        EXPECT_EQ(std::distance(files, end), 1) << "no part file left";
    }
}
