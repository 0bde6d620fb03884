#include "image/codecs/png_encoder.h"

#include <gtest/gtest.h>

#include <random>

#include "image/codecs/png_decoder.h"
#include "image/codecs/png_rows.h"
#include "image/file_stream.h"
#include "png_oracle.h"
#include "tests/support/test_support.h"

namespace {

using png_oracle::Fill;

void ExpectLibpngReads(mtxImage& image, const std::string& bytes) {
    png_oracle::Picture ref;
    ASSERT_TRUE(png_oracle::Decode(bytes, ref));
    ASSERT_EQ(ref.width, uint32_t(image.width));
    ASSERT_EQ(ref.height, uint32_t(image.height));
    EXPECT_EQ(ref.colorType, 6);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = &ref.rgba[(size_t(y) * ref.width + x) * 4];
            ASSERT_EQ(mtxArgb(p[3], p[0], p[1], p[2]), image.At(x, y)) << x << "," << y;
        }
    }
}

TEST(PngEncoder, LibpngReadsOurFilesExactly) {
    const int sizes[][2] = {{1, 1}, {1, 7}, {9, 1}, {3, 5}, {33, 17}, {257, 13}, {640, 200}};
    for (const auto& s : sizes) {
        for (int smooth : {0, 1}) {
            SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]));
            mtxImage image(s[0], s[1]);
            Fill(image, static_cast<uint32_t>(s[0] * 31 + s[1]), smooth);
            std::string bytes = png_oracle::OurEncode(image);
            ASSERT_FALSE(bytes.empty());
            ExpectLibpngReads(image, bytes);
            mtxImage back;
            ASSERT_EQ(png_oracle::OurDecode(bytes, back), 1);
            ASSERT_EQ(back.width, image.width);
            for (int y = 0; y < image.height; ++y)
                ASSERT_EQ(std::memcmp(back.Row(y), image.Row(y), size_t(image.width) * 4), 0);
        }
    }
}

TEST(PngEncoder, ManyIdatChunksAcrossStagingUnits) {
    // A tall picture spreads its deflate stream over several IDAT chunks.
    mtxImage image(300, 400);
    Fill(image, 5, 1);
    std::string bytes = png_oracle::OurEncode(image);
    size_t idats = 0;
    for (size_t at = bytes.find("IDAT"); at != std::string::npos; at = bytes.find("IDAT", at + 4))
        ++idats;
    EXPECT_GE(idats, 7u);
    ExpectLibpngReads(image, bytes);
}

TEST(PngEncoder, WritesThroughAFileStream) {
    testing_support::TempDir dir;
    mtxImage image(120, 80);
    Fill(image, 3, 1);
    {
        mtxFileStream<65536> file;
        ASSERT_EQ(file.Open(dir.File("out.png"), mtxFile::kWrite | mtxFile::kCreate), 1);
        mtxImageEncoderPng encoder(&file, &image);
        EXPECT_EQ(encoder.Encode(), 0u);
    }
    ExpectLibpngReads(image, testing_support::ReadFile(dir.File("out.png")));
}

TEST(PngEncoder, ReportsAFullFile) {
    mtxImage image(64, 64);
    Fill(image, 2, 0);
    uint8_t small[500];
    mtxFileMemory file;
    file.Attach(small, sizeof small, 0);
    file.SetLength(0);
    mtxImageEncoderPng encoder(&file, &image);
    EXPECT_EQ(encoder.Encode(), mtxImageCodecXng::kFailed);
}

TEST(PngEncoder, RefusesAnEmptyImage) {
    mtxImage image;
    mtxFileMemory file;
    mtxImageEncoderPng encoder(&file, &image);
    EXPECT_EQ(encoder.Encode(), mtxImageCodecXng::kFailed);
}

TEST(PngEncoder, WidthOneRowsAreUnfiltered) {
    // Rows of 4 bytes score 0 under every filter, so None is kept.
    mtxImage image(1, 6);
    Fill(image, 8, 0);
    std::string bytes = png_oracle::OurEncode(image);
    mtxFileMemory in, out;
    size_t at = bytes.find("IDAT");
    uint32_t len = uint32_t(uint8_t(bytes[at - 4])) << 24 | uint32_t(uint8_t(bytes[at - 3])) << 16 |
                   uint32_t(uint8_t(bytes[at - 2])) << 8 | uint8_t(bytes[at - 1]);
    in.Write(bytes.data() + at + 4, len);
    in.Seek(0, 0);
    mtxCompressorZLIB<15, 3> z;
    z.SetInput(&in);
    z.SetOutput(&out);
    z.Decompress();
    ASSERT_EQ(out.GetLength(), 30);
    for (int y = 0; y < 6; ++y) EXPECT_EQ(out.Data()[y * 5], 0) << y;
}

TEST(PngRows, FiltersRoundTripAtEveryByteDistance) {
    std::mt19937 rng(4);
    for (uint32_t bpp : {1u, 2u, 3u, 4u, 6u, 8u}) {
        for (uint8_t f = 0; f <= 4; ++f) {
            std::vector<uint8_t> raw(97), prev(97), filtered(97);
            for (auto& v : raw) v = static_cast<uint8_t>(rng());
            for (auto& v : prev) v = static_cast<uint8_t>(rng());
            mtxPngRows::ApplyFilter(f, raw.data(), prev.data(), filtered.data(), 97, bpp);
            mtxPngRows::Unfilter(f, filtered.data(), prev.data(), 97, bpp);
            EXPECT_EQ(filtered, raw) << "bpp " << bpp << " filter " << int(f);
        }
    }
}

TEST(PngRows, ScoreCountsRunsOfFive) {
    const uint8_t row[] = {7, 7, 7, 7, 7, 7, 1, 7, 7, 7, 7};
    EXPECT_EQ(mtxPngRows::Score(row, sizeof row), 2u);
}

}  // namespace
