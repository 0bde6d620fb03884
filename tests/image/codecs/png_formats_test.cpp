// The encoder's other colour types and depths, against libpng and against the
// conversion rules worked out here bit by bit.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/codecs/png_encoder.h"
#include "image/file_memory.h"
#include "png_oracle.h"

namespace {

struct Format {
    int type, depth;
};
const Format kWritable[] = {{0, 1},  {0, 2}, {0, 4},  {0, 8}, {0, 16}, {2, 8},
                            {2, 16}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

uint32_t Grey(mtxColor c) {
    double g = 0.299 * mtxRed(c) + 0.587 * mtxGreen(c) + 0.114 * mtxBlue(c);
    return uint32_t(std::clamp(std::lround(g), 0L, 255L));
}

// A pixel as a decoder expanding to 8-bit RGBA sees it after writing.
mtxColor ReadBack(mtxColor c, Format f) {
    uint32_t g = Grey(c);
    if (f.depth < 8) g = (g >> (8 - f.depth)) * 255 / ((1u << f.depth) - 1);
    switch (f.type) {
        case 0:
            return mtxArgb(255, g, g, g);
        case 2:
            return c | 0xFF000000u;
        case 4:
            return mtxArgb(mtxAlpha(c), g, g, g);
        default:
            return c;
    }
}

// One raw row, written a bit at a time.
std::string RawRow(const mtxImage& image, int y, Format f) {
    std::string row;
    uint32_t bit = 0;
    auto bits = [&](uint32_t value, int count) {
        for (int b = count - 1; b >= 0; --b, ++bit) {
            if (bit % 8 == 0) row += '\0';
            if (value >> b & 1) row.back() = char(row.back() | 0x80 >> bit % 8);
        }
    };
    auto sample = [&](uint32_t v) {
        if (f.depth < 8)
            bits(v >> (8 - f.depth), f.depth);
        else
            bits(f.depth == 16 ? v << 8 : v, f.depth);
    };
    for (int x = 0; x < image.width; ++x) {
        mtxColor c = image.At(x, y);
        if (f.type == 0 || f.type == 4) sample(Grey(c));
        if (f.type == 2 || f.type == 6) sample(mtxRed(c)), sample(mtxGreen(c)), sample(mtxBlue(c));
        if (f.type == 4 || f.type == 6) sample(mtxAlpha(c));
    }
    return row;
}

std::string EncodeAs(mtxImage& image, Format f, int adaptive = 1) {
    mtxFileMemory file;
    mtxImageEncoderPng encoder(&file, &image);
    encoder.outputColorType = uint32_t(f.type);
    encoder.outputBitDepth = uint32_t(f.depth);
    encoder.adaptiveFilter = adaptive;
    if (encoder.Encode() != 0) return {};
    return std::string(reinterpret_cast<const char*>(file.Data()), file.GetLength());
}

TEST(PngFormats, EveryWritableFormatReadsBackInLibpngAndOurDecoder) {
    for (Format f : kWritable) {
        for (int width : {1, 7, 9, 33}) {
            for (int smooth : {0, 1}) {
                SCOPED_TRACE(testing::Message() << "type " << f.type << " depth " << f.depth
                                                << " width " << width << " smooth " << smooth);
                mtxImage image(width, 6);
                png_oracle::Fill(image, uint32_t(width * 7 + f.depth), smooth);
                std::string bytes = EncodeAs(image, f);
                oracle::PngPicture ref;
                ASSERT_TRUE(oracle::DecodePng(bytes, ref));
                EXPECT_EQ(ref.colorType, f.type);
                mtxImage ours;
                ASSERT_EQ(png_oracle::OurDecode(bytes, ours), 1);
                for (int y = 0; y < image.height; ++y) {
                    for (int x = 0; x < width; ++x) {
                        const uint8_t* p = &ref.rgba[(size_t(y) * ref.width + x) * 4];
                        mtxColor expected = ReadBack(image.At(x, y), f);
                        ASSERT_EQ(mtxArgb(p[3], p[0], p[1], p[2]), expected) << x << "," << y;
                        ASSERT_EQ(ours.At(x, y), expected) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(PngFormats, RowsHoldExactlyThePackedSamples) {
    // Unfiltered rows show the raw bytes: sample order, zero low bytes of
    // 16-bit samples and zero padding bits.
    for (Format f : kWritable) {
        for (int width : {1, 7, 9, 33}) {
            SCOPED_TRACE(testing::Message()
                         << "type " << f.type << " depth " << f.depth << " width " << width);
            mtxImage image(width, 3);
            png_oracle::Fill(image, uint32_t(width + f.type), 0);
            std::string zlib = png_oracle::IdatStream(EncodeAs(image, f, 0));
            std::string expected;
            for (int y = 0; y < image.height; ++y) expected += '\0' + RawRow(image, y, f);
            std::string raw(expected.size() + 16, '\0');
            uLongf n = uLongf(raw.size());
            ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &n,
                                 reinterpret_cast<const Bytef*>(zlib.data()), uLong(zlib.size())),
                      Z_OK);
            raw.resize(n);
            EXPECT_EQ(raw, expected);
        }
    }
}

TEST(PngFormats, RefusesPaletteAndInvalidDepthsBeforeWriting) {
    mtxImage image(4, 4);
    for (Format f : {Format{3, 8}, Format{2, 4}, Format{0, 3}, Format{6, 1}, Format{5, 8}}) {
        mtxFileMemory file;
        mtxImageEncoderPng encoder(&file, &image);
        encoder.outputColorType = uint32_t(f.type);
        encoder.outputBitDepth = uint32_t(f.depth);
        EXPECT_EQ(encoder.Encode(), mtxImageCodecXng::kFailed) << f.type << "/" << f.depth;
        EXPECT_EQ(file.GetLength(), 0);
    }
}

}  // namespace
