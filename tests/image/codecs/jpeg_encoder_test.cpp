#include "image/codecs/jpeg_encoder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "image/file_memory.h"
#include "image/file_stream.h"
#include "image/io/image_save.h"
#include "tests/oracles/jpeg.h"
#include "tests/oracles/png.h"
#include "tests/support/image_pixels.h"
#include "tests/support/test_support.h"

namespace {

using oracle::Pixels;

std::unique_ptr<mtxImage> ImageOf(const Pixels& p) {
    auto image = std::make_unique<mtxImage>();
    testing_support::PutPixels(*image, p.width, p.height, p.data);
    return image;
}

Pixels PixelsOf(int width, int height, uint32_t (*colour)(int x, int y)) {
    Pixels p;
    p.width = width, p.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.data.push_back(colour(x, y));
    return p;
}

struct Encoded {
    int status = -1;
    std::string bytes;
};

Encoded Encode(mtxImage& image, float quality = 100) {
    mtxFileMemory file(1 << 16);
    mtxImageEncoderJpeg encoder(&file, &image, 1);
    encoder.quality = quality;
    Encoded e;
    e.status = encoder.Encode();
    e.bytes.assign(reinterpret_cast<const char*>(file.Data()), size_t(file.GetLength()));
    return e;
}

// The layout of a file as a reader sees it: marker segments in order up to
// SOS, then the entropy-coded data split at its restart markers.
struct Layout {
    std::vector<std::pair<uint8_t, std::string>> segments;  // marker, body without length
    std::vector<uint8_t> restarts;                          // RSTn codes in order
    bool stuffingOk = true;  // every 0xFF in the data is followed by 0x00 or RSTn
    bool endsWithEoi = false;
    const std::string* Find(uint8_t marker) const {
        for (auto& s : segments)
            if (s.first == marker) return &s.second;
        return nullptr;
    }
    int Count(uint8_t marker) const {
        int n = 0;
        for (auto& s : segments) n += s.first == marker;
        return n;
    }
};

Layout Parse(const std::string& b) {
    Layout layout;
    auto byte = [&](size_t i) { return static_cast<uint8_t>(b[i]); };
    EXPECT_GE(b.size(), 4u);
    EXPECT_EQ(byte(0), 0xFF);
    EXPECT_EQ(byte(1), 0xD8);
    size_t i = 2;
    while (i + 4 <= b.size()) {
        EXPECT_EQ(byte(i), 0xFF) << "at " << i;
        uint8_t marker = byte(i + 1);
        size_t length = size_t(byte(i + 2)) << 8 | byte(i + 3);
        layout.segments.emplace_back(marker, b.substr(i + 4, length - 2));
        i += 2 + length;
        if (marker == 0xDA) break;
    }
    for (; i + 1 < b.size(); ++i) {
        if (byte(i) != 0xFF) continue;
        uint8_t next = byte(i + 1);
        if (next == 0x00) {
            ++i;
        } else if (next >= 0xD0 && next <= 0xD7) {
            layout.restarts.push_back(next);
            ++i;
        } else if (next == 0xD9 && i + 2 == b.size()) {
            layout.endsWithEoi = true;
            break;
        } else {
            layout.stuffingOk = false;
        }
    }
    return layout;
}

uint32_t Noise(int x, int y) {
    uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return 0xFF000000u | (h & 0xFFFFFF);
}

// Moderate colours that change every pixel, none near 0 or 255, so that a
// decoder's clamping keeps the means of its colours.
uint32_t MidNoise(int x, int y) {
    uint32_t n = Noise(x, y);
    uint32_t r = 60 + (n >> 16 & 255) / 2, g = 60 + (n >> 8 & 255) / 2, b = 60 + (n & 255) / 2;
    return 0xFF000000u | r << 16 | g << 8 | b;
}

// Gradients and waves, like the slow changes of a photo.
uint32_t Smooth(int x, int y) {
    auto channel = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0)); };
    uint32_t r = channel(128 + 100 * std::sin(x * 0.3)), g = channel(128 + 90 * std::cos(y * 0.2));
    uint32_t b = channel(40 + 4 * (x + y));
    return 0xFF000000u | r << 16 | g << 8 | b;
}

int PngSize(mtxImage& image) {
    mtxFileMemory file(1 << 20);
    EXPECT_EQ(mtxImageWritePng(image, file), 1);
    return int(file.GetLength());
}

}  // namespace

TEST(JpegEncoder, PhotosDecodeWithLibjpegAbove45dB) {
    for (const char* name : {"jpeg/chelsea.png", "photos/coffee.png"}) {
        Pixels source = oracle::ReadPng(std::string(DAUBRY_TEST_DATA) + "/" + name);
        ASSERT_GT(source.width, 0) << name;
        auto image = ImageOf(source);
        Encoded e = Encode(*image);
        ASSERT_EQ(e.status, 0);
        Pixels decoded;
        ASSERT_TRUE(oracle::DecodeJpeg(e.bytes, decoded)) << name;
        ASSERT_EQ(decoded.width, source.width);
        ASSERT_EQ(decoded.height, source.height);
        EXPECT_GE(oracle::Psnr(source, decoded), 45.0) << name;
    }
}

TEST(JpegEncoder, WritesTheMarkersAndTablesInOrder) {
    Pixels p = PixelsOf(40, 35, Noise);  // 5 x 5 MCUs
    auto image = ImageOf(p);
    Encoded e = Encode(*image);
    ASSERT_EQ(e.status, 0);
    Layout layout = Parse(e.bytes);

    std::vector<uint8_t> order;
    for (auto& s : layout.segments) order.push_back(s.first);
    EXPECT_EQ(order, (std::vector<uint8_t>{0xE0, 0xDB, 0xDD, 0xC0, 0xC4, 0xDA}));

    const std::string& app0 = *layout.Find(0xE0);
    EXPECT_EQ(app0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));

    // Three tables, numbered 0, 1, 2; at quality 100 every entry is 1, or 2
    // where the base table holds 96 or more.
    const std::string& dqt = *layout.Find(0xDB);
    ASSERT_EQ(dqt.size(), 195u);
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(dqt[size_t(t) * 65], t);
        const uint8_t* base = t == 0 ? mtxJpeg::kLuminanceTable : mtxJpeg::kChrominanceTable;
        for (int k = 0; k < 64; ++k) {
            int expected = base[mtxJpeg::kZigZag[k]] >= 96 ? 2 : 1;
            EXPECT_EQ(uint8_t(dqt[size_t(t) * 65 + 1 + size_t(k)]), expected) << t << " " << k;
        }
    }
    EXPECT_EQ(dqt.substr(66, 64), dqt.substr(131, 64));

    EXPECT_EQ(*layout.Find(0xDD), std::string("\0\x0A", 2));  // two rows of 5 MCUs
    EXPECT_EQ(*layout.Find(0xC0),
              std::string("\x08\0\x23\0\x28\x03\x01\x11\x00\x02\x11\x01\x03\x11\x02", 15));

    // One DHT segment: DC 0, AC 0, DC 1, AC 1.
    const std::string& dht = *layout.Find(0xC4);
    std::vector<uint8_t> classes;
    for (size_t at = 0; at < dht.size();) {
        classes.push_back(uint8_t(dht[at]));
        int count = 0;
        for (int i = 1; i <= 16; ++i) count += uint8_t(dht[at + size_t(i)]);
        at += 17 + size_t(count);
        ASSERT_LE(at, dht.size());
    }
    EXPECT_EQ(classes, (std::vector<uint8_t>{0x00, 0x10, 0x01, 0x11}));

    EXPECT_EQ(*layout.Find(0xDA), std::string("\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 10));

    // 25 MCUs, a restart every 10: RST0 and RST1.
    EXPECT_EQ(layout.restarts, (std::vector<uint8_t>{0xD0, 0xD1}));
    EXPECT_TRUE(layout.stuffingOk);
    EXPECT_TRUE(layout.endsWithEoi);
}

TEST(JpegEncoder, RestartMarkersCountCyclically) {
    Pixels p = PixelsOf(16, 8 * 40, Noise);  // 2 across, 40 down: a restart every 4 MCUs
    auto image = ImageOf(p);
    Encoded e = Encode(*image);
    Layout layout = Parse(e.bytes);
    ASSERT_EQ(layout.restarts.size(), 19u);
    for (size_t i = 0; i < layout.restarts.size(); ++i) EXPECT_EQ(layout.restarts[i], 0xD0 + i % 8);
    Pixels decoded;
    ASSERT_TRUE(oracle::DecodeJpeg(e.bytes, decoded));
    EXPECT_LE(oracle::MaxDifference(p, decoded), 8);
    EXPECT_GE(oracle::Psnr(p, decoded), 40.0);
}

TEST(JpegEncoder, OnePixelIsOneMcuWithoutRestarts) {
    Pixels p = PixelsOf(1, 1, [](int, int) { return 0xFF3070D0u; });
    auto image = ImageOf(p);
    Encoded e = Encode(*image);
    ASSERT_EQ(e.status, 0);
    Layout layout = Parse(e.bytes);
    EXPECT_EQ(*layout.Find(0xDD), std::string("\0\x02", 2));
    EXPECT_TRUE(layout.restarts.empty());
    Pixels decoded;
    ASSERT_TRUE(oracle::DecodeJpeg(e.bytes, decoded));
    EXPECT_LE(oracle::MaxDifference(p, decoded), 2);
}

TEST(JpegEncoder, EdgeBlocksRepeatTheLastColumnAndRow) {
    // A 17 x 9 image and its extension by repetition to whole MCUs (24 x 16
    // at 4:4:4, 32 x 16 at 4:2:0) hold the same blocks, so their files may
    // differ only in the frame size.
    Pixels small = PixelsOf(17, 9, Noise);
    struct Case {
        float quality;
        int width, height;
        const char* interval;  // two MCU rows
    };
    for (Case c : {Case{100, 24, 16, "\0\x06"}, Case{92, 32, 16, "\0\x04"}}) {
        Pixels large;
        large.width = c.width, large.height = c.height;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                large.data.push_back(small.At(std::min(x, 16), std::min(y, 8)));
        auto a = ImageOf(small), b = ImageOf(large);
        Encoded ea = Encode(*a, c.quality), eb = Encode(*b, c.quality);
        Layout la = Parse(ea.bytes);
        EXPECT_EQ(*la.Find(0xDD), std::string(c.interval, 2));
        ASSERT_EQ(ea.bytes.size(), eb.bytes.size()) << c.quality;
        size_t sof = ea.bytes.find("\xFF\xC0");
        std::string patched = ea.bytes;
        patched.replace(sof + 5, 4, std::string{0, char(c.height), 0, char(c.width)});
        EXPECT_EQ(patched, eb.bytes) << c.quality;

        Pixels decoded;
        ASSERT_TRUE(oracle::DecodeJpeg(ea.bytes, decoded));
        EXPECT_EQ(decoded.width, 17);
        EXPECT_EQ(decoded.height, 9);
        if (c.quality == 100) {
            EXPECT_LE(oracle::MaxDifference(small, decoded), 4);
        }
    }
}

TEST(JpegEncoder, UniformImagesCodeOnlyEndOfBlock) {
    for (uint32_t colour : {0xFFFFFFFFu, 0xFF808080u, 0xFF2060A0u}) {
        mtxImage image(8 * 6, 8 * 5);
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) image.At(x, y) = colour;
        mtxFileMemory file;
        mtxImageEncoderJpeg encoder(&file, &image, 1);
        ASSERT_EQ(encoder.Encode(), 0);
        const auto& scan = encoder.scans.front();
        for (int t = 0; t < 2; ++t) {
            EXPECT_EQ(scan.ac[t].count, 1u);
            EXPECT_EQ(scan.ac[t].huffval[0], 0x00);  // end of block
        }
        std::string bytes(reinterpret_cast<const char*>(file.Data()), size_t(file.GetLength()));
        Pixels decoded;
        ASSERT_TRUE(oracle::DecodeJpeg(bytes, decoded));
        for (uint32_t c : decoded.data) EXPECT_LE(std::abs(int(c & 255) - int(colour & 255)), 1);
    }
}

TEST(JpegEncoder, IgnoresAlpha) {
    Pixels p = PixelsOf(20, 12, Noise);
    auto opaque = ImageOf(p), clear = ImageOf(p);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) clear->At(x, y) &= 0x00FFFFFF | uint32_t(x * 12) << 24;
    EXPECT_EQ(Encode(*opaque).bytes, Encode(*clear).bytes);
}

TEST(JpegEncoder, LeavesTheSourceUnchanged) {
    Pixels p = PixelsOf(9, 9, Noise);
    auto image = ImageOf(p);
    Encode(*image);
    EXPECT_EQ(image->isYCbCr, 0);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) EXPECT_EQ(image->At(x, y), p.At(x, y));
}

TEST(JpegEncoder, EmptyImageWritesNothingAndFails) {
    for (auto size : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
        mtxImage image(size.first, size.second);
        Encoded e = Encode(image);
        EXPECT_EQ(e.status, mtxImageCodecJpeg::kFailure);
        EXPECT_TRUE(e.bytes.empty());
    }
}

TEST(JpegEncoder, ReportsAFailedWrite) {
    Pixels p = PixelsOf(64, 64, Noise);
    auto image = ImageOf(p);
    std::vector<uint8_t> room(300);
    mtxFileMemory file(0);
    file.Attach(room.data(), uint32_t(room.size()), 0);
    mtxImageEncoderJpeg encoder(&file, image.get(), 1);
    EXPECT_EQ(encoder.Encode(), mtxImageCodecJpeg::kFailure);
}

TEST(JpegEncoder, WriterOnTheImageRoundTripsThroughAFile) {
    testing_support::TempDir dir;
    Pixels p = PixelsOf(33, 21, Smooth);
    auto image = ImageOf(p);
    {
        mtxFileStream<65536> file;
        ASSERT_TRUE(file.Open(dir.File("out.jpg"), mtxFile::kWrite | mtxFile::kCreate));
        EXPECT_EQ(mtxImageWriteJpeg(*image, file), 1);
    }
    std::string bytes = testing_support::ReadFile(dir.File("out.jpg"));
    EXPECT_EQ(bytes, Encode(*image, mtxJpegDefaultQuality).bytes);
    Pixels decoded;
    ASSERT_TRUE(oracle::DecodeJpeg(bytes, decoded));
    EXPECT_EQ(decoded.width, 33);
    EXPECT_GE(oracle::Psnr(p, decoded), 37.0);

    // Qualities beyond 1 to 100 are taken as the nearest end.
    for (auto [asked, taken] : {std::pair{0, 1}, std::pair{1000, 100}}) {
        mtxFileMemory file(1 << 16);
        EXPECT_EQ(mtxImageWriteJpeg(*image, file, asked), 1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.Data()), size_t(file.GetLength())),
                  Encode(*image, float(taken)).bytes);
    }
}

TEST(JpegEncoder, HalvesTheChromaBelowQuality95) {
    // libjpeg reads the sampling back, decodes every size, odd ones padded by
    // repetition, and the picture stays close to the source.
    for (auto [width, height] : {std::pair{1, 1}, std::pair{17, 9}, std::pair{33, 31}}) {
        Pixels p = PixelsOf(width, height, Smooth);
        auto image = ImageOf(p);
        for (float quality : {92.0f, 95.0f}) {
            Encoded e = Encode(*image, quality);
            ASSERT_EQ(e.status, 0);
            EXPECT_EQ(oracle::JpegSamplingFactors(e.bytes),
                      quality < 95 ? "2x2,1x1,1x1" : "1x1,1x1,1x1");
            Pixels decoded;
            ASSERT_TRUE(oracle::DecodeJpeg(e.bytes, decoded)) << width << " x " << height;
            ASSERT_EQ(decoded.width, width);
            ASSERT_EQ(decoded.height, height);
            EXPECT_GE(oracle::Psnr(p, decoded), 37.0) << width << " x " << height << " " << quality;
        }
    }
    for (const char* name : {"jpeg/chelsea.png", "photos/coffee.png"}) {
        Pixels source = oracle::ReadPng(std::string(DAUBRY_TEST_DATA) + "/" + name);
        auto image = ImageOf(source);
        Pixels decoded;
        ASSERT_TRUE(oracle::DecodeJpeg(Encode(*image, 92).bytes, decoded)) << name;
        EXPECT_GE(oracle::Psnr(source, decoded), 38.0) << name;
    }
}

TEST(JpegEncoder, HalvedChromaIsTheMeanOfEachBox) {
    // Decoded with each chroma sample repeated over its 2 x 2 box, the box's
    // mean colour comes back as it was: luma is kept per pixel and colour
    // conversion is linear. Taking one pixel of the box, or boxes shifted
    // against the luma, would miss by tens of levels.
    Pixels p = PixelsOf(32, 24, MidNoise);
    auto image = ImageOf(p);
    Pixels decoded;
    ASSERT_TRUE(oracle::DecodeJpeg(Encode(*image, 92).bytes, decoded, false));
    double total = 0;
    int boxes = 0;
    for (int y = 0; y < 24; y += 2) {
        for (int x = 0; x < 32; x += 2, ++boxes) {
            for (int shift = 0; shift < 24; shift += 8) {
                int source = 0, back = 0;
                for (int j = 0; j < 2; ++j)
                    for (int i = 0; i < 2; ++i) {
                        source += int(p.At(x + i, y + j) >> shift & 255);
                        back += int(decoded.At(x + i, y + j) >> shift & 255);
                    }
                total += std::abs(source - back) / 4.0;
            }
        }
    }
    EXPECT_LE(total / (3 * boxes), 2.0);
}

TEST(JpegEncoder, AtTheDefaultAPhotoIsSmallerThanAt99AndThanItsPng) {
    Pixels source = oracle::ReadPng(std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png");
    auto image = ImageOf(source);
    size_t byDefault = Encode(*image, mtxJpegDefaultQuality).bytes.size();
    size_t at99 = Encode(*image, 99).bytes.size();
    int png = PngSize(*image);
    EXPECT_LT(byDefault, at99);
    EXPECT_LT(byDefault, size_t(png));
}

// Rows given a band at a time, bands of 1 to n rows that need not meet the
// MCU rows: the file Encode writes, byte for byte, at either sampling.
TEST(JpegEncoder, RowsGivenInBandsWriteTheSameFile) {
    for (float quality : {float(mtxJpegDefaultQuality), 97.0f})
        for (auto [width, height] : {std::pair{37, 45}, std::pair{100, 17}, std::pair{9, 1}})
            for (int most : {1, 5, 16, 40}) {
                SCOPED_TRACE(testing::Message() << quality << " " << width << "x" << height
                                                << " bands up to " << most);
                auto image = ImageOf(PixelsOf(width, height, Noise));
                mtxFileMemory file(1 << 16);
                mtxImageEncoderJpeg encoder(&file, nullptr, 1);
                encoder.quality = quality;
                ASSERT_EQ(encoder.Begin(uint32_t(width), uint32_t(height)), 0);
                for (int top = 0, band = 0; top < height; ++band) {
                    mtxImage rows(width, std::min(1 + band % most, height - top));
                    rows.Blit(*image, mtxRect{0, top, width, top + rows.height}, 0, 0);
                    ASSERT_EQ(encoder.AddRows(rows), 0);
                    top += rows.height;
                }
                ASSERT_EQ(encoder.Finish(), 0);
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.Data()),
                                      size_t(file.GetLength())),
                          Encode(*image, quality).bytes);
            }
}

TEST(JpegEncoder, RowsThatDoNotMakeThePictureAreRefused) {
    mtxImage rows(40, 10), narrow(39, 10);
    auto attempt = [&](uint32_t width, uint32_t height, std::vector<mtxImage*> bands) {
        mtxFileMemory file(1 << 16);
        mtxImageEncoderJpeg encoder(&file, nullptr, 1);
        int status = encoder.Begin(width, height);
        for (mtxImage* band : bands)
            if (status == 0) status = encoder.AddRows(*band);
        return status == 0 ? encoder.Finish() : status;
    };
    EXPECT_EQ(attempt(40, 20, {&rows, &rows}), 0);
    EXPECT_EQ(attempt(40, 20, {&rows}), mtxImageCodecJpeg::kFailure);         // too few
    EXPECT_EQ(attempt(40, 15, {&rows, &rows}), mtxImageCodecJpeg::kFailure);  // too many
    EXPECT_EQ(attempt(40, 20, {&rows, &narrow}), mtxImageCodecJpeg::kFailure);
    EXPECT_EQ(attempt(65536, 1, {}), mtxImageCodecJpeg::kFailure);
    EXPECT_EQ(attempt(40, 0, {}), mtxImageCodecJpeg::kFailure);
}
