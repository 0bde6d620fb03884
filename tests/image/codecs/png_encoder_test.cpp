#include "image/codecs/png_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "image/codecs/png_decoder.h"
#include "image/codecs/png_rows.h"
#include "image/file_stream.h"
#include "image/replacing_file.h"
#include "image/resample.h"
#include "png_oracle.h"
#include "tests/support/test_support.h"

namespace {

using png_oracle::Fill;

void ExpectLibpngReads(mtxImage& image, const std::string& bytes) {
    oracle::PngPicture ref;
    ASSERT_TRUE(oracle::DecodePng(bytes, ref));
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

// The rows of a picture too large to hold, given band by band into a file
// that replaces the output once complete: the file Encode writes, byte for
// byte, read back by libpng at the right size.
TEST(PngEncoder, RowsGivenInBandsWriteTheSameFile) {
    testing_support::TempDir dir;
    const std::string path = dir.File("out.png");
    testing_support::WriteFile(path, "old");
    mtxImage image(300, 211);
    Fill(image, 9, 1);
    {
        mtxReplacingFile file;
        ASSERT_EQ(file.Begin(path), 1);
        mtxImageEncoderPng encoder(&file, nullptr);
        ASSERT_EQ(encoder.Begin(300, 211), 0u);
        for (int top = 0, rows = 1; top < image.height; top += rows, rows = rows * 3 + 1) {
            mtxImage band(300, std::min(rows, image.height - top));
            band.Blit(image, mtxRect{0, top, 300, top + band.height}, 0, 0);
            ASSERT_EQ(encoder.AddRows(band), 0u);
        }
        ASSERT_EQ(encoder.Finish(), 0u);
        EXPECT_EQ(testing_support::ReadFile(path), "old") << "replaced only once committed";
        ASSERT_EQ(file.Commit(), 1);
    }
    const std::string bytes = testing_support::ReadFile(path);
    EXPECT_EQ(bytes, png_oracle::OurEncode(image));
    ExpectLibpngReads(image, bytes);
}

TEST(PngEncoder, RowsThatDoNotMakeThePictureAreRefused) {
    testing_support::TempDir dir;
    const std::string path = dir.File("out.png");
    testing_support::WriteFile(path, "old");
    mtxImage rows(40, 10), narrow(39, 10);
    Fill(rows, 1, 0);
    {
        mtxReplacingFile file;
        ASSERT_EQ(file.Begin(path), 1);
        mtxImageEncoderPng encoder(&file, nullptr);
        ASSERT_EQ(encoder.Begin(40, 15), 0u);
        EXPECT_EQ(encoder.AddRows(narrow), mtxImageCodecXng::kFailed);
        ASSERT_EQ(encoder.AddRows(rows), 0u);
        EXPECT_EQ(encoder.Finish(), mtxImageCodecXng::kFailed) << "five rows missing";
        EXPECT_EQ(encoder.AddRows(rows), mtxImageCodecXng::kFailed) << "five rows too many";
        // Given up without Commit: the old file stays, nothing beside it.
    }
    EXPECT_EQ(testing_support::ReadFile(path), "old");
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++entries, (void)entry;
    EXPECT_EQ(entries, 1u);
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

// Thumbnails.

std::string EncodeWithThumbnail(mtxImage& image, uint8_t pixelType) {
    mtxFileMemory file;
    mtxImageEncoderPng encoder(&file, &image);
    encoder.thumbNail.writeEnabled = 1;
    encoder.thumbNail.pixelType = pixelType;
    if (encoder.Encode() != 0) return {};
    return std::string(reinterpret_cast<const char*>(file.Data()), file.GetLength());
}

int DecodeWithThumbnail(const std::string& bytes, mtxImage& image, mtxImage* target) {
    mtxFileMemory file;
    file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    file.Seek(0, 0);
    mtxImageDecoderPng decoder(&file, &image);
    decoder.thumbNail.target = target;
    return decoder.Decode(0);
}

void ExpectSamePixels(mtxImage& a, mtxImage& b) {
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) ASSERT_EQ(a.At(x, y), b.At(x, y)) << x << "," << y;
}

// The signature and IHDR take 33 bytes; a chunk put there comes before IDAT.
std::string WithChunkAfterHeader(const std::string& bytes, const std::string& chunk) {
    return bytes.substr(0, 33) + chunk + bytes.substr(33);
}

TEST(PngThumbnail, SitsBeforeTheDataAndOtherReadersIgnoreIt) {
    mtxImage image(150, 90);
    Fill(image, 11, 1);
    for (uint8_t type : {0, 2}) {
        std::string bytes = EncodeWithThumbnail(image, type);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(bytes.compare(37, 4, "amTn"), 0);
        const size_t size = 4 + 64 * 64 * (type == 0 ? 4 : 1);
        EXPECT_EQ(bytes.substr(33, 4), std::string({0, 0, char(size >> 8), char(size)}));
        EXPECT_EQ(bytes.compare(33 + 12 + size + 4, 4, "IDAT"), 0);
        ExpectLibpngReads(image, bytes);
        mtxImage back;
        ASSERT_EQ(DecodeWithThumbnail(bytes, back, nullptr), 1);
        ExpectSamePixels(back, image);
    }
}

TEST(PngThumbnail, ReadsBackThePictureScaledTo64) {
    mtxImage image(150, 90);
    Fill(image, 12, 0);
    mtxImage scaled(64, 64);
    ResizeImage(image, scaled, 0);

    // Type 0 keeps the scaled pixels exactly; an empty target takes their size.
    mtxImage back, thumb;
    ASSERT_EQ(DecodeWithThumbnail(EncodeWithThumbnail(image, 0), back, &thumb), 1);
    ExpectSamePixels(thumb, scaled);
    ExpectSamePixels(back, image);

    // A target with a size receives the thumbnail scaled to it.
    mtxImage small(16, 8), expected(16, 8);
    ResizeImage(scaled, expected, 0);
    ASSERT_EQ(DecodeWithThumbnail(EncodeWithThumbnail(image, 0), back, &small), 1);
    ExpectSamePixels(small, expected);

    // Grey is truncated from the formula and reads back opaque.
    mtxImage grey;
    ASSERT_EQ(DecodeWithThumbnail(EncodeWithThumbnail(image, 2), back, &grey), 1);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            mtxColor c = scaled.At(x, y);
            double g = 0.299 * mtxRed(c) + 0.587 * mtxGreen(c) + 0.114 * mtxBlue(c);
            uint32_t v = uint32_t(std::clamp(int(g), 0, 255));
            ASSERT_EQ(grey.At(x, y), mtxArgb(255, v, v, v)) << x << "," << y;
        }
    }
}

TEST(PngThumbnail, HandBuiltChunksReadInTheImagesByteOrder) {
    mtxImage image(5, 4);
    Fill(image, 13, 0);
    const std::string bytes = png_oracle::OurEncode(image);
    mtxImage back, thumb;
    // Two pixels stored blue, green, red, alpha; a longer chunk is fine.
    std::string colour = {0, 0, 2, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_EQ(DecodeWithThumbnail(WithChunkAfterHeader(bytes, png_oracle::Chunk("amTn", colour)),
                                  back, &thumb),
              1);
    ASSERT_EQ(thumb.width, 2);
    EXPECT_EQ(thumb.At(0, 0), 0x04030201u);
    EXPECT_EQ(thumb.At(1, 0), 0x08070605u);
    std::string grey = {2, 0, 3, 1, 0, 17, char(255)};
    thumb.Free();
    ASSERT_EQ(DecodeWithThumbnail(WithChunkAfterHeader(bytes, png_oracle::Chunk("amTn", grey)),
                                  back, &thumb),
              1);
    ASSERT_EQ(thumb.width, 3);
    EXPECT_EQ(thumb.At(0, 0), 0xFF000000u);
    EXPECT_EQ(thumb.At(1, 0), 0xFF111111u);
    EXPECT_EQ(thumb.At(2, 0), 0xFFFFFFFFu);
}

TEST(PngThumbnail, DamagedChunksAreRefusedOnlyWhenAThumbnailIsAsked) {
    mtxImage image(5, 4);
    Fill(image, 14, 0);
    const std::string bytes = png_oracle::OurEncode(image);
    const std::string damaged[] = {
        std::string(2, '\0'),                              // no full header
        std::string({0, 0, 4, 4}) + std::string(63, 'x'),  // one pixel short
        std::string({2, 0, 3, 3}) + std::string(8, 'x'),   // one grey byte short
        std::string({1, 0, 2, 2}) + std::string(16, 'x'),  // unknown pixel type
        std::string({0, 0, 0, 4}) + std::string(16, 'x'),  // no width
        std::string({2, 0, 4, 0}) + std::string(16, 'x'),  // no height
    };
    for (const std::string& data : damaged) {
        SCOPED_TRACE(data.size());
        std::string file = WithChunkAfterHeader(bytes, png_oracle::Chunk("amTn", data));
        mtxImage back, thumb;
        EXPECT_EQ(DecodeWithThumbnail(file, back, &thumb), mtxImageDecoderPng::kStopped);
        EXPECT_EQ(thumb.width, 0);
        ASSERT_EQ(DecodeWithThumbnail(file, back, nullptr), 1);
        ExpectSamePixels(back, image);
    }
}

TEST(PngThumbnail, RefusesToWriteAnUnknownPixelTypeOrNoSize) {
    mtxImage image(8, 8);
    Fill(image, 15, 0);
    for (int bad = 0; bad < 2; ++bad) {
        mtxFileMemory file;
        mtxImageEncoderPng encoder(&file, &image);
        encoder.thumbNail.writeEnabled = 1;
        if (bad == 0)
            encoder.thumbNail.pixelType = 1;
        else
            encoder.thumbNail.thumbHeight = 0;
        EXPECT_EQ(encoder.Encode(), mtxImageCodecXng::kFailed) << bad;
    }
}

// Whole-pixel rows take the vector paths for 3 and 4 bytes per pixel, other
// lengths the portable ones; a few sample values make Paeth's ties common.
TEST(PngRows, FiltersRoundTripAtEveryByteDistance) {
    std::mt19937 rng(4);
    const uint8_t tieValues[] = {0, 1, 2, 127, 128, 254, 255};
    for (uint32_t bpp : {1u, 2u, 3u, 4u, 6u, 8u}) {
        for (uint32_t bytes : {0u, 1u, bpp, 2 * bpp, 97u, 96 * bpp, 241 * bpp}) {
            for (int fewValues = 0; fewValues < 2; ++fewValues) {
                auto sample = [&] {
                    return fewValues ? tieValues[rng() % 7] : static_cast<uint8_t>(rng());
                };
                std::vector<uint8_t> raw(bytes), prev(bytes), filtered(bytes);
                for (auto& v : raw) v = sample();
                for (auto& v : prev) v = sample();
                for (uint8_t f = 0; f <= 5; ++f) {
                    mtxPngRows::ApplyFilter(f, raw.data(), prev.data(), filtered.data(), bytes,
                                            bpp);
                    mtxPngRows::Unfilter(f, filtered.data(), prev.data(), bytes, bpp);
                    EXPECT_EQ(filtered, raw) << "bpp " << bpp << " bytes " << bytes << " filter "
                                             << int(f) << " few values " << fewValues;
                }
            }
        }
    }
}

TEST(PngRows, ScoreCountsRunsOfFive) {
    const uint8_t row[] = {7, 7, 7, 7, 7, 7, 1, 7, 7, 7, 7};
    EXPECT_EQ(mtxPngRows::Score(row, sizeof row), 2u);
}

}  // namespace
