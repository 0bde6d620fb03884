// The platform's BMP reader against bitmaps of every kind, written here by a
// small writer of the test's own, and against the PNG suite's bitmaps read
// beside libpng.
#include <gtest/gtest.h>

#include <random>

#include "platform/picture_loader.h"
#include "tests/oracles/png.h"

namespace {

void Put16(std::string& s, size_t at, uint32_t v) {
    s[at] = char(v & 255);
    s[at + 1] = char((v >> 8) & 255);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}

// A bitmap file of any header kind. `values` holds per pixel a palette index
// or the raw pixel value, rows top to bottom; `rle` replaces the packed rows.
struct Bmp {
    uint32_t headerSize = 40;
    int width = 0, height = 0;  // height < 0: rows stored top-down
    int bits = 24;
    uint32_t compression = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint32_t> masks;    // written after a 40-byte header, or inside a longer one
    std::vector<uint32_t> values;
    std::string rle;

    std::string Pixels() const {
        if (!rle.empty() || compression == 1 || compression == 2 || values.empty()) return rle;
        int rows = std::abs(height);
        size_t stride = (size_t(width) * size_t(bits) + 31) / 32 * 4;
        std::string out(stride * size_t(rows), '\0');
        for (int r = 0; r < rows; ++r) {
            int y = height > 0 ? rows - 1 - r : r;  // source row stored as row r
            std::string row(stride, '\0');
            for (int x = 0; x < width; ++x) {
                uint32_t v = values[size_t(y) * size_t(width) + size_t(x)];
                if (bits < 8) {
                    int perByte = 8 / bits;
                    int shift = 8 - bits * (x % perByte + 1);
                    row[size_t(x / perByte)] = char(uint8_t(row[size_t(x / perByte)]) | v << shift);
                } else {
                    for (int b = 0; b < bits / 8; ++b)
                        row[size_t(x) * size_t(bits / 8) + size_t(b)] = char((v >> (8 * b)) & 255);
                }
            }
            out.replace(size_t(r) * stride, stride, row);
        }
        return out;
    }

    std::string File() const {
        bool core = headerSize == 12;
        std::string info(headerSize, '\0');
        Put32(info, 0, headerSize);
        if (core) {
            Put16(info, 4, uint32_t(width));
            Put16(info, 6, uint32_t(height));
            Put16(info, 8, 1);
            Put16(info, 10, uint32_t(bits));
        } else {
            Put32(info, 4, uint32_t(width));
            Put32(info, 8, uint32_t(height));
            Put16(info, 12, 1);
            Put16(info, 14, uint32_t(bits));
            if (headerSize >= 20) Put32(info, 16, compression);
            if (headerSize >= 36) Put32(info, 32, uint32_t(palette.size()));
            if (headerSize >= 52)
                for (size_t i = 0; i < masks.size() && 40 + 4 * i + 4 <= headerSize; ++i)
                    Put32(info, 40 + 4 * i, masks[i]);
        }
        std::string extra;
        if (headerSize < 52)
            for (uint32_t m : masks) extra.append(4, '\0'), Put32(extra, extra.size() - 4, m);
        std::string table;
        for (uint32_t c : palette) {
            table.push_back(char(c & 255));
            table.push_back(char((c >> 8) & 255));
            table.push_back(char((c >> 16) & 255));
            if (!core) table.push_back(0);
        }
        std::string pixels = Pixels();
        std::string head(14, '\0');
        head[0] = 'B', head[1] = 'M';
        uint32_t offset = uint32_t(14 + info.size() + extra.size() + table.size());
        Put32(head, 2, offset + uint32_t(pixels.size()));
        Put32(head, 10, offset);
        return head + info + extra + table + pixels;
    }
};

mtxPicture Decode(const std::string& bytes, std::string* error = nullptr) {
    mtxPicture picture;
    std::string ignored;
    if (!mtxDecodePicture(bytes.data(), bytes.size(), picture, error ? error : &ignored))
        picture.width = picture.height = -1;
    return picture;
}

std::vector<uint32_t> Palette(int entries) {
    std::vector<uint32_t> p;
    for (int i = 0; i < entries; ++i)
        p.push_back(uint32_t(i * 37 % 256) << 16 | uint32_t(i * 91 % 256) << 8 | uint32_t(255 - i));
    return p;
}

std::vector<uint32_t> Pattern(int width, int height, uint32_t modulo) {
    std::vector<uint32_t> v;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) v.push_back(uint32_t(x * 7 + y * 13 + x * y) % modulo);
    return v;
}

void ExpectPalettePixels(const Bmp& bmp) {
    SCOPED_TRACE("header " + std::to_string(bmp.headerSize) + ", " + std::to_string(bmp.bits) +
                 " bits, height " + std::to_string(bmp.height));
    mtxPicture picture = Decode(bmp.File());
    ASSERT_EQ(picture.width, bmp.width);
    ASSERT_EQ(picture.height, std::abs(bmp.height));
    for (size_t i = 0; i < bmp.values.size(); ++i)
        ASSERT_EQ(picture.pixels[i], 0xFF000000u | bmp.palette[bmp.values[i]]) << i;
}

}  // namespace

TEST(BmpReader, ReadsPaletteBitmapsOfEveryHeaderAndDepth) {
    for (uint32_t header : {12u, 40u, 64u, 108u, 124u}) {
        for (int bits : {1, 2, 4, 8}) {
            if (header == 12 && bits == 2) continue;
            for (int height : {9, -9}) {
                if (header == 12 && height < 0) continue;
                Bmp bmp;
                bmp.headerSize = header;
                bmp.width = 13, bmp.height = height, bmp.bits = bits;
                bmp.palette = Palette(1 << bits);
                bmp.values = Pattern(13, 9, 1u << bits);
                ExpectPalettePixels(bmp);
            }
        }
    }
}

TEST(BmpReader, ShortPaletteReadsMissingEntriesAsBlack) {
    Bmp bmp;
    bmp.width = 4, bmp.height = 1, bmp.bits = 8;
    bmp.palette = {0x112233, 0x445566};
    bmp.values = {0, 1, 2, 255};
    mtxPicture picture = Decode(bmp.File());
    ASSERT_EQ(picture.width, 4);
    EXPECT_EQ(picture.pixels[0], 0xFF112233u);
    EXPECT_EQ(picture.pixels[1], 0xFF445566u);
    EXPECT_EQ(picture.pixels[2], 0xFF000000u);
    EXPECT_EQ(picture.pixels[3], 0xFF000000u);
}

TEST(BmpReader, ReadsTrueColourBothWaysUp) {
    for (uint32_t header : {12u, 40u, 124u}) {
        for (int bits : {24, 32}) {
            for (int height : {5, -5}) {
                if (header == 12 && (height < 0 || bits == 32)) continue;
                Bmp bmp;
                bmp.headerSize = header;
                bmp.width = 7, bmp.height = height, bmp.bits = bits;
                for (uint32_t i = 0; i < 35; ++i)
                    bmp.values.push_back((i * 0x9E3779B9u) & (bits == 24 ? 0xFFFFFF : 0xFFFFFFFF));
                mtxPicture picture = Decode(bmp.File());
                ASSERT_EQ(picture.width, 7) << header << " " << bits;
                for (size_t i = 0; i < 35; ++i)
                    ASSERT_EQ(picture.pixels[i], 0xFF000000u | (bmp.values[i] & 0xFFFFFF));
            }
        }
    }
}

TEST(BmpReader, ReadsSixteenBitsAsFiveFiveFive) {
    Bmp bmp;
    bmp.width = 32, bmp.height = 3, bmp.bits = 16;
    for (uint32_t i = 0; i < 96; ++i)
        bmp.values.push_back(i % 32 << 10 | (31 - i % 32) << 5 | i / 32 * 15);
    mtxPicture picture = Decode(bmp.File());
    ASSERT_EQ(picture.width, 32);
    for (size_t i = 0; i < 96; ++i) {
        uint32_t v = bmp.values[i], p = picture.pixels[i];
        auto replicate = [](uint32_t five) { return five << 3 | five >> 2; };
        EXPECT_NEAR(double((p >> 16) & 255), double(replicate(v >> 10 & 31)), 1.0);
        EXPECT_NEAR(double((p >> 8) & 255), double(replicate(v >> 5 & 31)), 1.0);
        EXPECT_NEAR(double(p & 255), double(replicate(v & 31)), 1.0);
        EXPECT_EQ(p >> 24, 255u);
    }
}

TEST(BmpReader, ReadsBitFieldsWhereverTheMasksAre) {
    struct Case {
        uint32_t header, compression;
        int bits;
        std::vector<uint32_t> masks;
    };
    const Case cases[] = {
        {40, 3, 16, {0xF800, 0x07E0, 0x001F}},                          // 5-6-5 after the header
        {40, 6, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}},                  // 4-4-4-4 with alpha
        {40, 3, 32, {0x000003FF, 0x000FFC00, 0x3FF00000}},              // 10 bits, blue on top
        {56, 3, 32, {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF}},  // in the header
        {108, 3, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}},
        {124, 3, 32, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.header) + " " + std::to_string(c.bits));
        Bmp bmp;
        bmp.headerSize = c.header, bmp.compression = c.compression, bmp.bits = c.bits;
        bmp.masks = c.masks;
        bmp.width = 11, bmp.height = -4;
        std::mt19937 random(c.header + uint32_t(c.bits));
        for (int i = 0; i < 44; ++i)
            bmp.values.push_back(uint32_t(random()) & (c.bits == 16 ? 0xFFFF : 0xFFFFFFFF));
        mtxPicture picture = Decode(bmp.File());
        ASSERT_EQ(picture.width, 11);
        for (size_t i = 0; i < 44; ++i) {
            uint32_t p = picture.pixels[i];
            EXPECT_EQ(p >> 24, 255u);
            for (int ch = 0; ch < 3; ++ch) {
                uint32_t mask = c.masks[size_t(ch)];
                int shift = __builtin_ctz(mask), width = __builtin_popcount(mask);
                double value =
                    double((bmp.values[i] & mask) >> shift) * 255.0 / ((1u << width) - 1);
                EXPECT_NEAR(double((p >> (16 - 8 * ch)) & 255), value, 0.5) << i << " " << ch;
            }
        }
    }
}

TEST(BmpReader, DecodesRle8WithDeltasAndAbsoluteRuns) {
    Bmp bmp;
    bmp.width = 8, bmp.height = 4, bmp.bits = 8, bmp.compression = 1;
    bmp.palette = Palette(10);
    // Bottom row: a run of 4 and an absolute run of 4; then a delta skips row
    // 1 and two pixels of row 2; a run of 3; the top row's run is clipped.
    bmp.rle = std::string(
        "\x04\x01"
        "\x00\x04\x02\x03\x04\x05"
        "\x00\x00"
        "\x00\x02\x02\x01"
        "\x03\x06"
        "\x00\x00"
        "\x0A\x07"
        "\x00\x01",
        22);
    mtxPicture picture = Decode(bmp.File());
    ASSERT_EQ(picture.width, 8);
    auto at = [&](int x, int bottomRow) {
        return picture.pixels[size_t(3 - bottomRow) * 8 + size_t(x)];
    };
    auto colour = [&](int i) { return 0xFF000000u | bmp.palette[size_t(i)]; };
    const int row0[8] = {1, 1, 1, 1, 2, 3, 4, 5};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(at(x, 0), colour(row0[x])) << x;
    for (int x = 0; x < 8; ++x) EXPECT_EQ(at(x, 1), 0xFF000000u) << x;
    for (int x = 0; x < 8; ++x) EXPECT_EQ(at(x, 2), x >= 2 && x < 5 ? colour(6) : 0xFF000000u);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(at(x, 3), colour(7)) << x;
}

TEST(BmpReader, RefusesRleCutShortBeforeItsLastRow) {
    Bmp bmp;
    bmp.width = 5, bmp.height = 3, bmp.bits = 8, bmp.compression = 1;
    bmp.palette = Palette(4);
    // Rows 0 and 1 and part of the top row, then the file ends without the
    // end-of-bitmap code: the stream reached its last row, so it stands.
    bmp.rle = std::string("\x05\x01\x00\x00\x02\x02\x00\x00\x02\x03", 10);
    std::string error;
    mtxPicture picture = Decode(bmp.File(), &error);
    ASSERT_EQ(picture.width, 5) << error;
    auto colour = [&](int i) { return 0xFF000000u | bmp.palette[size_t(i)]; };
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(picture.pixels[size_t(2) * 5 + size_t(x)], colour(1));
        EXPECT_EQ(picture.pixels[size_t(1) * 5 + size_t(x)], x < 2 ? colour(2) : 0xFF000000u);
        EXPECT_EQ(picture.pixels[size_t(x)], x < 2 ? colour(3) : 0xFF000000u);
    }
    // Cut before the last row, it is refused with the row it reached.
    bmp.rle.resize(6);
    picture = Decode(bmp.File(), &error);
    EXPECT_EQ(picture.width, -1);
    EXPECT_EQ(error, "BMP: RLE data ends at row 1 of 3 without its end-of-bitmap code");
}

TEST(BmpReader, DecodesRle4BothWaysUp) {
    for (int height : {2, -2}) {
        Bmp bmp;
        bmp.width = 6, bmp.height = height, bmp.bits = 4, bmp.compression = 2;
        bmp.palette = Palette(16);
        // First row: a run of five (1 2 1 2 1) and a run of one (3); second
        // row: the absolute run 4 5 6, then the end of the bitmap.
        bmp.rle = std::string(
            "\x05\x12"
            "\x01\x30"
            "\x00\x00"
            "\x00\x03\x45\x60"
            "\x00\x01",
            12);
        mtxPicture picture = Decode(bmp.File());
        ASSERT_EQ(picture.width, 6);
        auto colour = [&](int i) { return 0xFF000000u | bmp.palette[size_t(i)]; };
        const int first[6] = {1, 2, 1, 2, 1, 3}, second[6] = {4, 5, 6, -1, -1, -1};
        int firstRow = height > 0 ? 1 : 0;  // the stream starts at the bottom when bottom-up
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(picture.pixels[size_t(firstRow) * 6 + size_t(x)], colour(first[x]));
            uint32_t expected = second[x] < 0 ? 0xFF000000u : colour(second[x]);
            EXPECT_EQ(picture.pixels[size_t(1 - firstRow) * 6 + size_t(x)], expected);
        }
    }
}

TEST(BmpReader, AgreesWithLibpngOnThePngSuite) {
    for (const char* name :
         {"basn0g08", "basn2c08", "basn3p08", "basn6a08", "basn4a08", "cdsn2c08", "basn3p01"}) {
        std::string base = std::string(DAUBRY_TEST_DATA) + "/bmp/" + name;
        oracle::Pixels png = oracle::ReadPng(base + ".png");
        ASSERT_GT(png.width, 0) << name;
        std::string bytes;
        {
            FILE* f = std::fopen((base + ".bmp").c_str(), "rb");
            ASSERT_TRUE(f);
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
            std::fclose(f);
        }
        mtxPicture picture = Decode(bytes);
        ASSERT_EQ(picture.width, png.width) << name;
        ASSERT_EQ(picture.height, png.height) << name;
        for (size_t i = 0; i < png.data.size(); ++i)
            ASSERT_EQ(picture.pixels[i], 0xFF000000u | (png.data[i] & 0xFFFFFF))
                << name << " " << i;
    }
}

TEST(BmpReader, RefusesHostileHeadersWithAReason) {
    Bmp huge;
    huge.width = 100000, huge.height = 100000, huge.bits = 24;
    std::string file = huge.File().substr(0, 54);  // no pixels follow
    std::string error;
    EXPECT_EQ(Decode(file, &error).width, -1);
    EXPECT_NE(error.find("BMP: header claims 100000 x 100000 pixels"), std::string::npos) << error;

    Bmp small;
    small.width = 20, small.height = 20, small.bits = 24;
    small.values.assign(400, 0x123456);
    std::string whole = small.File();
    EXPECT_EQ(Decode(whole.substr(0, whole.size() - 1), &error).width, -1);
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;

    std::string badHeader = whole;
    Put32(badHeader, 14, 0x7FFFFFFF);
    EXPECT_EQ(Decode(badHeader, &error).width, -1);
    std::string badCompression = whole;
    Put32(badCompression, 30, 9);
    EXPECT_EQ(Decode(badCompression, &error).width, -1);
    EXPECT_NE(error.find("compression"), std::string::npos) << error;
    std::string zeroWidth = whole;
    Put32(zeroWidth, 18, 0);
    EXPECT_EQ(Decode(zeroWidth, &error).width, -1);
    std::string badDepth = whole;
    Put16(badDepth, 28, 7);
    EXPECT_EQ(Decode(badDepth, &error).width, -1);
}

TEST(BmpReader, SurvivesMutatedAndTruncatedFiles) {
    std::vector<std::string> seeds;
    Bmp rle;
    rle.width = 8, rle.height = 4, rle.bits = 8, rle.compression = 1;
    rle.palette = Palette(10);
    rle.rle =
        std::string("\x04\x01\x00\x04\x02\x03\x04\x05\x00\x00\x00\x02\x02\x01\x03\x06\x00\x01", 18);
    seeds.push_back(rle.File());
    Bmp fields;
    fields.headerSize = 40, fields.compression = 3, fields.bits = 16;
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.width = 5, fields.height = 3;
    fields.values.assign(15, 0x1234);
    seeds.push_back(fields.File());
    Bmp palette;
    palette.headerSize = 12, palette.bits = 4, palette.width = 9, palette.height = 3;
    palette.palette = Palette(16);
    palette.values = Pattern(9, 3, 16);
    seeds.push_back(palette.File());

    std::mt19937 random(3);
    for (const std::string& seed : seeds) {
        for (int round = 0; round < 3000; ++round) {
            std::string bytes = seed;
            int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e) bytes[random() % bytes.size()] = char(random());
            if (random() % 4 == 0) bytes.resize(random() % bytes.size());
            mtxPicture picture = Decode(bytes);
            if (picture.width > 0) {
                ASSERT_GT(picture.height, 0);
                for (int i = 0; i < picture.width * picture.height; ++i)
                    ASSERT_EQ(picture.pixels[size_t(i)] >> 24, 255u);
            }
        }
    }
}
