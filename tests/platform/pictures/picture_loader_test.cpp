// The platform's picture loader on JPEG and GIF files written by the
// reference libraries: every colour space, progressive files, EXIF
// orientation, transparency, truncation and hostile input.
#include "platform/picture_loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include <gif_lib.h>

#include "tests/oracles/jpeg.h"
#include "tests/oracles/png.h"
#include "tests/support/test_support.h"

namespace {

using oracle::Pixels;

// Four quadrants of solid colour: red, green / blue, white.
const uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

Pixels Quadrants(int width, int height) {
    Pixels p;
    p.width = width, p.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool right = x >= width / 2, bottom = y >= height / 2;
            p.data.push_back(bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed));
        }
    return p;
}

Pixels Gradient(int width, int height) {
    Pixels p;
    p.width = width, p.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.data.push_back(0xFF000000u | uint32_t(x * 255 / (width - 1)) << 16 |
                             uint32_t(y * 255 / (height - 1)) << 8 | uint32_t((x + y) % 256));
    return p;
}

Pixels Decode(const std::string& bytes, std::string* error = nullptr) {
    mtxPicture picture;
    std::string ignored;
    Pixels p;
    if (!mtxDecodePicture(bytes.data(), bytes.size(), picture, error ? error : &ignored)) return p;
    p.width = picture.width, p.height = picture.height;
    p.data.assign(picture.pixels.get(), picture.pixels.get() + size_t(p.width) * size_t(p.height));
    return p;
}

bool Opaque(const Pixels& p) {
    for (uint32_t c : p.data)
        if (c >> 24 != 255) return false;
    return true;
}

// An EXIF block holding only the orientation tag, in either byte order.
std::string Exif(int orientation, bool bigEndian) {
    std::string s("Exif\0\0", 6);
    auto u16 = [&](uint32_t v) {
        if (bigEndian)
            s += char(v >> 8), s += char(v & 255);
        else
            s += char(v & 255), s += char(v >> 8);
    };
    auto u32 = [&](uint32_t v) {
        if (bigEndian)
            u16(v >> 16), u16(v & 0xFFFF);
        else
            u16(v & 0xFFFF), u16(v >> 16);
    };
    s += bigEndian ? "MM" : "II";
    u16(42);
    u32(8);  // IFD0 right after the header
    u16(2);  // two entries: a resolution unit, then the orientation
    u16(0x0128), u16(3), u32(1), u16(2), u16(0);
    u16(0x0112), u16(3), u32(1), u16(uint32_t(orientation)), u16(0);
    u32(0);
    return s;
}

struct GifSink {
    std::string bytes;
    static int Write(GifFileType* gif, const GifByteType* data, int count) {
        static_cast<GifSink*>(gif->UserData)
            ->bytes.append(reinterpret_cast<const char*>(data), size_t(count));
        return count;
    }
};

// A GIF of the given indices (screen and frame size equal unless a frame
// rectangle is given), optionally with a transparent index and interlaced.
std::string MakeGif(int width, int height, const std::vector<uint8_t>& indices,
                    const std::vector<uint32_t>& colours, int transparent, bool interlace,
                    int frameLeft = 0, int frameTop = 0, int frameWidth = 0, int frameHeight = 0) {
    if (!frameWidth) frameWidth = width, frameHeight = height;
    GifSink sink;
    int error = 0;
    GifFileType* gif = EGifOpen(&sink, GifSink::Write, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    for (size_t i = 0; i < colours.size(); ++i) {
        map->Colors[i].Red = GifByteType(colours[i] >> 16);
        map->Colors[i].Green = GifByteType(colours[i] >> 8);
        map->Colors[i].Blue = GifByteType(colours[i]);
    }
    EGifPutScreenDesc(gif, width, height, 8, 0, map);
    if (transparent >= 0) {
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = transparent;
        GifByteType extension[4];
        size_t n = EGifGCBToExtension(&gcb, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), extension);
    }
    EGifPutImageDesc(gif, frameLeft, frameTop, frameWidth, frameHeight, interlace, nullptr);
    // An interlaced frame is written in pass order.
    std::vector<int> order;
    if (interlace) {
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < frameHeight; y += kStep[pass]) order.push_back(y);
    } else {
        for (int y = 0; y < frameHeight; ++y) order.push_back(y);
    }
    for (int y : order) {
        std::vector<GifPixelType> row(indices.begin() + y * frameWidth,
                                      indices.begin() + (y + 1) * frameWidth);
        EGifPutLine(gif, row.data(), frameWidth);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return sink.bytes;
}

}  // namespace

TEST(PictureLoader, ReadsJpegInEveryColourSpace) {
    Pixels source = Gradient(61, 37);
    struct Case {
        J_COLOR_SPACE space;
        bool progressive;
        int tolerance;
    };
    const Case cases[] = {
        {JCS_YCbCr, false, 12}, {JCS_YCbCr, true, 12}, {JCS_RGB, false, 8},
        {JCS_CMYK, false, 12},  {JCS_YCCK, false, 12}, {JCS_YCCK, true, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.space)) + (c.progressive ? " progressive" : ""));
        oracle::JpegOptions options;
        options.space = c.space, options.progressive = c.progressive, options.quality = 98;
        Pixels decoded = Decode(oracle::EncodeJpeg(source, options));
        ASSERT_EQ(decoded.width, 61);
        ASSERT_EQ(decoded.height, 37);
        EXPECT_TRUE(Opaque(decoded));
        EXPECT_LE(oracle::MaxDifference(source, decoded), c.tolerance);
        EXPECT_GE(oracle::Psnr(source, decoded), 35.0);
    }
}

TEST(PictureLoader, ReadsGreyJpegAsEqualChannels) {
    oracle::JpegOptions options;
    options.space = JCS_GRAYSCALE;
    Pixels decoded = Decode(oracle::EncodeJpeg(Gradient(20, 20), options));
    ASSERT_EQ(decoded.width, 20);
    for (uint32_t c : decoded.data) {
        EXPECT_EQ(c >> 24, 255u);
        EXPECT_EQ((c >> 16) & 255, c & 255);
        EXPECT_EQ((c >> 8) & 255, c & 255);
    }
}

TEST(PictureLoader, MatchesLibjpegPixelForPixel) {
    Pixels source = oracle::ReadPng(std::string(DAUBRY_TEST_DATA) + "/jpeg/chelsea.png");
    ASSERT_GT(source.width, 0);
    std::string bytes = oracle::EncodeJpeg(source);
    Pixels expected;
    ASSERT_TRUE(oracle::DecodeJpeg(bytes, expected));
    Pixels decoded = Decode(bytes);
    ASSERT_EQ(decoded.width, expected.width);
    EXPECT_EQ(decoded.data, expected.data);
}

TEST(PictureLoader, TurnsJpegUprightByItsExifOrientation) {
    // The stored picture is 32 x 16: red, green over blue, white. Each row
    // names the upright quadrants (top left, top right, bottom left, bottom
    // right) for orientations 1 to 8 (TIFF 6.0, tag 274).
    const uint32_t upright[9][4] = {
        {},
        {kRed, kGreen, kBlue, kWhite},  // 1 as stored
        {kGreen, kRed, kWhite, kBlue},  // 2 mirrored
        {kWhite, kBlue, kGreen, kRed},  // 3 turned half round
        {kBlue, kWhite, kRed, kGreen},  // 4 mirrored top to bottom
        {kRed, kBlue, kGreen, kWhite},  // 5 transposed
        {kBlue, kRed, kWhite, kGreen},  // 6 turned clockwise
        {kWhite, kGreen, kBlue, kRed},  // 7 transversed
        {kGreen, kWhite, kRed, kBlue},  // 8 turned anticlockwise
    };
    Pixels stored = Quadrants(32, 16);
    for (int o = 1; o <= 8; ++o) {
        for (bool bigEndian : {false, true}) {
            SCOPED_TRACE("orientation " + std::to_string(o) + (bigEndian ? " MM" : " II"));
            oracle::JpegOptions options;
            options.quality = 100;
            options.app1 = Exif(o, bigEndian);
            Pixels p = Decode(oracle::EncodeJpeg(stored, options));
            bool turned = o >= 5;
            ASSERT_EQ(p.width, turned ? 16 : 32);
            ASSERT_EQ(p.height, turned ? 32 : 16);
            int w = p.width, h = p.height;
            // Sample the middle of each quadrant.
            const uint32_t seen[4] = {p.At(w / 4, h / 4), p.At(3 * w / 4, h / 4),
                                      p.At(w / 4, 3 * h / 4), p.At(3 * w / 4, 3 * h / 4)};
            for (int q = 0; q < 4; ++q)
                for (int shift = 0; shift < 24; shift += 8)
                    EXPECT_NEAR(double((seen[q] >> shift) & 255),
                                double((upright[o][q] >> shift) & 255), 8.0)
                        << "quadrant " << q;
        }
    }
}

TEST(PictureLoader, IgnoresMalformedExif) {
    Pixels stored = Quadrants(32, 16);
    std::string exif = Exif(6, false);
    for (size_t cut : {size_t(7), size_t(14), size_t(20), exif.size() - 5}) {
        oracle::JpegOptions options;
        options.app1 = exif.substr(0, cut);
        Pixels p = Decode(oracle::EncodeJpeg(stored, options));
        EXPECT_EQ(p.width, 32) << cut;
    }
    std::string wrongType = exif;
    wrongType[6 + 8 + 2 + 12 + 2] = 4;  // the orientation entry as LONG
    oracle::JpegOptions options;
    options.app1 = wrongType;
    EXPECT_EQ(Decode(oracle::EncodeJpeg(stored, options)).width, 32);
}

TEST(PictureLoader, TruncatedJpegYieldsItsDecodablePartOrIsRefused) {
    Pixels source = oracle::ReadPng(std::string(DAUBRY_TEST_DATA) + "/jpeg/chelsea.png");
    ASSERT_GT(source.width, 0);
    std::string whole = oracle::EncodeJpeg(source);
    Pixels expected;
    ASSERT_TRUE(oracle::DecodeJpeg(whole, expected));
    Pixels half = Decode(whole.substr(0, whole.size() / 2));
    ASSERT_EQ(half.width, source.width);
    ASSERT_EQ(half.height, source.height);
    EXPECT_TRUE(Opaque(half));
    // The rows decoded before the data ran out are those of the whole file.
    for (size_t i = 0; i < size_t(source.width) * 64; ++i)
        ASSERT_EQ(half.data[i], expected.data[i]) << i;
    EXPECT_EQ(half.data.back(), 0xFF808080u);

    std::string shipped =
        testing_support::ReadFile(std::string(DAUBRY_TEST_DATA) + "/jpeg/truncated.jpg");
    ASSERT_FALSE(shipped.empty());
    std::string error;
    Pixels p = Decode(shipped, &error);
    if (p.width > 0) {
        EXPECT_TRUE(Opaque(p));
    } else {
        EXPECT_NE(error.find("JPEG"), std::string::npos);
    }

    for (size_t cut = 0; cut < whole.size(); cut += 997) {
        Pixels q = Decode(whole.substr(0, cut));
        if (q.width > 0) {
            EXPECT_EQ(q.width, source.width);
            EXPECT_TRUE(Opaque(q));
        }
    }
}

TEST(PictureLoader, RefusesJpegClaimingAHugePicture) {
    std::string bytes = oracle::EncodeJpeg(Gradient(16, 16));
    size_t sof = bytes.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    bytes[sof + 5] = char(0xEA), bytes[sof + 6] = char(0x60);  // height 60000
    bytes[sof + 7] = char(0xEA), bytes[sof + 8] = char(0x60);  // width 60000
    std::string error;
    EXPECT_EQ(Decode(bytes, &error).width, 0);
    EXPECT_NE(error.find("JPEG: header claims 60000 x 60000 pixels"), std::string::npos) << error;
}

TEST(PictureLoader, ReadsTheFirstGifFrameWithTransparencyAsBlack) {
    const std::vector<uint32_t> colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (bool interlace : {false, true}) {
        SCOPED_TRACE(interlace ? "interlaced" : "progressive order");
        int w = 7, h = 19;
        std::vector<uint8_t> indices;
        for (int i = 0; i < w * h; ++i) indices.push_back(uint8_t(1 + (i * 7 + i / w) % 4));
        std::string gif = MakeGif(w, h, indices, colours, 4, interlace);
        Pixels p = Decode(gif);
        ASSERT_EQ(p.width, w);
        ASSERT_EQ(p.height, h);
        for (int i = 0; i < w * h; ++i) {
            uint32_t expected =
                indices[size_t(i)] == 4 ? 0xFF000000u : 0xFF000000u | colours[indices[size_t(i)]];
            ASSERT_EQ(p.data[size_t(i)], expected) << i;
        }
    }
}

TEST(PictureLoader, PlacesAGifFrameOnABlackScreen) {
    const std::vector<uint32_t> colours = {0x000000, 0x102030};
    std::vector<uint8_t> indices(6, 1);
    // A 3 x 2 frame at (8, 4) on a 10 x 5 screen: it hangs over both edges.
    std::string gif = MakeGif(10, 5, indices, colours, -1, false, 8, 4, 3, 2);
    Pixels p = Decode(gif);
    ASSERT_EQ(p.width, 10);
    ASSERT_EQ(p.height, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(p.At(x, y), x >= 8 && y >= 4 ? 0xFF102030u : 0xFF000000u) << x << "," << y;
}

TEST(PictureLoader, ReadsTheSampleAnimatedGif) {
    std::string gif = testing_support::ReadFile(std::string(DAUBRY_TEST_DATA) +
                                                "/load/no_time_for_that_tiny.gif");
    ASSERT_FALSE(gif.empty());
    // The first frame as giflib's own whole-file reader sees it.
    struct Source {
        const std::string* bytes;
        size_t at;
    } source{&gif, 0};
    int error = 0;
    GifFileType* file = DGifOpen(
        &source,
        [](GifFileType* g, GifByteType* out, int n) {
            auto* s = static_cast<Source*>(g->UserData);
            size_t k = std::min(size_t(n), s->bytes->size() - s->at);
            std::memcpy(out, s->bytes->data() + s->at, k);
            s->at += k;
            return int(k);
        },
        &error);
    ASSERT_TRUE(file);
    ASSERT_EQ(DGifSlurp(file), GIF_OK);
    const SavedImage& frame = file->SavedImages[0];
    const ColorMapObject* map =
        frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : file->SColorMap;
    GraphicsControlBlock gcb;
    int transparent = DGifSavedExtensionToGCB(file, 0, &gcb) == GIF_OK ? gcb.TransparentColor : -1;

    Pixels p = Decode(gif);
    ASSERT_EQ(p.width, file->SWidth);
    ASSERT_EQ(p.height, file->SHeight);
    EXPECT_TRUE(Opaque(p));
    for (int y = 0; y < frame.ImageDesc.Height; ++y)
        for (int x = 0; x < frame.ImageDesc.Width; ++x) {
            int index = frame.RasterBits[y * frame.ImageDesc.Width + x];
            const GifColorType& c = map->Colors[index];
            uint32_t expected = index == transparent ? 0xFF000000u
                                                     : 0xFF000000u | uint32_t(c.Red) << 16 |
                                                           uint32_t(c.Green) << 8 | c.Blue;
            ASSERT_EQ(p.At(frame.ImageDesc.Left + x, frame.ImageDesc.Top + y), expected);
        }
    DGifCloseFile(file, &error);
}

TEST(PictureLoader, RefusesWhatItDoesNotKnow) {
    std::string error;
    EXPECT_EQ(Decode("", &error).width, 0);
    EXPECT_EQ(Decode("\x89PNG\r\n\x1a\n0000", &error).width, 0);
    EXPECT_NE(error.find("not a picture"), std::string::npos);
    EXPECT_EQ(Decode("GIF89a", &error).width, 0);
    EXPECT_EQ(Decode("\xFF\xD8\xFF", &error).width, 0);
    EXPECT_EQ(Decode("BM", &error).width, 0);
}

TEST(PictureLoader, SurvivesMutatedJpegAndGif) {
    std::vector<std::string> seeds;
    oracle::JpegOptions progressive;
    progressive.progressive = true;
    seeds.push_back(oracle::EncodeJpeg(Gradient(24, 24)));
    seeds.push_back(oracle::EncodeJpeg(Gradient(24, 24), progressive));
    std::vector<uint8_t> indices(64);
    for (size_t i = 0; i < 64; ++i) indices[i] = uint8_t(i % 3);
    seeds.push_back(MakeGif(8, 8, indices, {0, 0xFF, 0xFF00}, 1, true));
    std::mt19937 random(5);
    for (const std::string& seed : seeds)
        for (int round = 0; round < 1500; ++round) {
            std::string bytes = seed;
            int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e)
                bytes[3 + random() % (bytes.size() - 3)] = char(random());
            if (random() % 4 == 0) bytes.resize(3 + random() % (bytes.size() - 3));
            Pixels p = Decode(bytes);
            if (p.width > 0) {
                ASSERT_TRUE(Opaque(p));
            }
        }
}
