#include "image/codecs/png_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "image/file_memory.h"
#include "png_oracle.h"
#include "tests/support/test_support.h"

namespace {

using png_oracle::Chunk;
using png_oracle::OurDecode;
using testing_support::ReadFile;

std::string SuiteDir() {
    return std::string(DAUBRY_TEST_DATA) + "/pngsuite";
}

std::string Ihdr(uint32_t w, uint32_t h, int depth, int type, int interlace = 0) {
    std::string d;
    for (uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8) d += static_cast<char>(v >> s);
    d += {static_cast<char>(depth), static_cast<char>(type), 0, 0, static_cast<char>(interlace)};
    return Chunk("IHDR", d);
}

std::string Zlib(const std::string& raw) {
    uLongf n = compressBound(static_cast<uLong>(raw.size()));
    std::string out(n, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 6);
    out.resize(n);
    return out;
}

const std::string kSignature = "\x89PNG\r\n\x1a\n";

// A whole file from the IHDR on, with the given unfiltered rows.
std::string File(const std::string& ihdr, const std::string& middle, const std::string& rows) {
    return kSignature + ihdr + middle + Chunk("IDAT", Zlib(rows)) + Chunk("IEND", "");
}

TEST(PngDecoder, AgreesWithLibpngOnTheConformanceSuite) {
    int valid = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SuiteDir())) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png" || name[0] == 'x') continue;
        SCOPED_TRACE(name);
        std::string bytes = ReadFile(entry.path().string());
        oracle::PngPicture ref;
        ASSERT_TRUE(oracle::DecodePng(bytes, ref));
        mtxImage image;
        ASSERT_EQ(OurDecode(bytes, image), mtxImageDecoderPng::kEndReached);
        ASSERT_EQ(uint32_t(image.width), ref.width);
        ASSERT_EQ(uint32_t(image.height), ref.height);
        // Colour-keyed pixels become transparent black here, where libpng
        // keeps their colour with alpha 0.
        bool keyed = ref.hasTrns && (ref.colorType == 0 || ref.colorType == 2);
        int mismatches = 0;
        for (uint32_t y = 0; y < ref.height; ++y) {
            for (uint32_t x = 0; x < ref.width; ++x) {
                const uint8_t* p = &ref.rgba[(size_t(y) * ref.width + x) * 4];
                uint32_t expected = mtxArgb(p[3], p[0], p[1], p[2]);
                if (keyed && p[3] == 0) expected = 0;
                if (image.At(int(x), int(y)) != expected && ++mismatches < 4)
                    ADD_FAILURE() << "pixel " << x << "," << y << std::hex << " ours "
                                  << image.At(int(x), int(y)) << " libpng " << expected;
            }
        }
        EXPECT_EQ(mismatches, 0);
        ++valid;
    }
    EXPECT_GE(valid, 150);
}

TEST(PngDecoder, RefusesTheCorruptSuiteFiles) {
    int corrupt = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SuiteDir())) {
        std::string name = entry.path().filename().string();
        if (name[0] != 'x') continue;
        SCOPED_TRACE(name);
        mtxImage image;
        EXPECT_TRUE(OurDecode(ReadFile(entry.path().string()), image) & 2);
        ++corrupt;
    }
    EXPECT_EQ(corrupt, 14);
}

TEST(PngDecoder, ReadsALargeLibpngFileExactly) {
    // Many IDAT chunks, every filter, and more than one window of history.
    mtxImage image(1500, 700);
    std::mt19937 rng(6);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.At(x, y) = mtxArgb(255 - (y & 15), (x + y) & 255, (x * y) >> 8 & 255, rng() & 7);
    std::string bytes = png_oracle::Encode(image);
    ASSERT_FALSE(bytes.empty());
    mtxImage back;
    ASSERT_EQ(OurDecode(bytes, back), 1);
    ASSERT_EQ(back.width, image.width);
    for (int y = 0; y < image.height; ++y)
        ASSERT_EQ(std::memcmp(back.Row(y), image.Row(y), size_t(image.width) * 4), 0)
            << "row " << y;
}

TEST(PngDecoder, JpegBytesAreNotPngAndLeaveTheImageAlone) {
    mtxImage image(3, 2);
    image.At(0, 0) = 0x12345678;
    EXPECT_EQ(OurDecode(std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 12), image),
              mtxImageDecoderPng::kNotPng);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.At(0, 0), 0x12345678u);
}

TEST(PngDecoder, PaletteAlphaCoversOnlyItsEntries) {
    std::string plte("\xFF\0\0\0\xFF\0\0\0\xFF", 9);
    std::string trns("\x10", 1);  // alpha for entry 0 only
    std::string rows("\0\0\1\2", 4);
    mtxImage image;
    ASSERT_EQ(
        OurDecode(File(Ihdr(3, 1, 8, 3), Chunk("PLTE", plte) + Chunk("tRNS", trns), rows), image),
        1);
    EXPECT_EQ(image.At(0, 0), 0x10FF0000u);
    EXPECT_EQ(image.At(1, 0), 0xFF00FF00u);
    EXPECT_EQ(image.At(2, 0), 0xFF0000FFu);
}

TEST(PngDecoder, GreyKeyMakesOnlyThatGreyTransparent) {
    std::string rows("\0\0\1\x80\0", 5);
    mtxImage image;
    ASSERT_EQ(OurDecode(File(Ihdr(4, 1, 8, 0), Chunk("tRNS", std::string("\0\0", 2)), rows), image),
              1);
    EXPECT_EQ(image.At(0, 0), 0u);
    EXPECT_EQ(image.At(1, 0), 0xFF010101u);
    EXPECT_EQ(image.At(2, 0), 0xFF808080u);
    EXPECT_EQ(image.At(3, 0), 0u);
}

TEST(PngDecoder, SixteenBitKeyComparesWholeSamples) {
    // Two RGB16 pixels share high bytes; only the one equal to the key in all
    // 16 bits goes transparent.
    std::string key("\x12\x34\x56\x78\x9A\xBC", 6);
    std::string rows = std::string("\0", 1) + key + std::string("\x12\x35\x56\x78\x9A\xBC", 6);
    mtxImage image;
    ASSERT_EQ(OurDecode(File(Ihdr(2, 1, 16, 2), Chunk("tRNS", key), rows), image), 1);
    EXPECT_EQ(image.At(0, 0), 0u);
    EXPECT_EQ(image.At(1, 0), 0xFF12569Au);
}

TEST(PngDecoder, InterlacedOnePixelUsesOnlyTheFirstPass) {
    mtxImage image;
    ASSERT_EQ(OurDecode(File(Ihdr(1, 1, 8, 2, 1), "", std::string("\0\x0A\x0B\x0C", 4)), image), 1);
    EXPECT_EQ(image.At(0, 0), 0xFF0A0B0Cu);
}

TEST(PngDecoder, UnknownCriticalChunkBeforeDataIsSkipped) {
    mtxImage image;
    ASSERT_EQ(
        OurDecode(File(Ihdr(1, 1, 8, 0), Chunk("QQQQ", "xyz"), std::string("\0\x42", 2)), image),
        1);
    EXPECT_EQ(image.At(0, 0), 0xFF424242u);
}

TEST(PngDecoder, RefusesDataBeforeHeaderOrPalette) {
    mtxImage image;
    EXPECT_EQ(OurDecode(kSignature + Chunk("IDAT", Zlib(std::string(2, '\0'))) + Ihdr(1, 1, 8, 0) +
                            Chunk("IEND", ""),
                        image),
              2);
    EXPECT_EQ(OurDecode(File(Ihdr(1, 1, 8, 3), "", std::string(2, '\0')), image), 2);
}

TEST(PngDecoder, RefusesAFileWithoutPictureData) {
    mtxImage image;
    EXPECT_EQ(OurDecode(kSignature + Ihdr(1, 1, 8, 0) + Chunk("IEND", ""), image), 2);
}

TEST(PngDecoder, RefusesHugeSizesBeforeAllocating) {
    // 100000 x 100000 RGBA would need 40 GB; 0x7FFFFFFF x 1 RGBA16 rows would
    // overflow 32-bit row arithmetic.
    mtxImage image;
    EXPECT_EQ(OurDecode(File(Ihdr(100000, 100000, 8, 6), "", std::string(10, '\0')), image), 2);
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(OurDecode(File(Ihdr(0x7FFFFFFF, 1, 16, 6), "", std::string(10, '\0')), image), 2);
    EXPECT_EQ(OurDecode(File(Ihdr(0x80000000u, 1, 8, 0), "", std::string(10, '\0')), image), 2);
    EXPECT_TRUE(image.IsEmpty());
}

TEST(PngDecoder, RefusesBadCrcAndBadHeaders) {
    mtxImage image;
    std::string good = File(Ihdr(1, 1, 8, 0), "", std::string("\0\x42", 2));
    std::string bad = good;
    bad[bad.size() - 20] ^= 1;  // inside the IDAT chunk
    EXPECT_EQ(OurDecode(bad, image), 2);
    EXPECT_EQ(OurDecode(File(Ihdr(0, 1, 8, 0), "", ""), image), 2);
    EXPECT_EQ(OurDecode(File(Ihdr(1, 1, 4, 2), "", ""), image), 2);
    EXPECT_EQ(OurDecode(File(Ihdr(1, 1, 16, 3), "", ""), image), 2);
}

TEST(PngDecoder, TruncatedAndDamagedFilesNeverHarm) {
    // Every prefix and many single-byte changes of a real interlaced file:
    // the sanitizer build watches memory; a prefix without IEND must fail.
    std::string bytes = ReadFile(SuiteDir() + "/basi6a16.png");
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        mtxImage image;
        EXPECT_TRUE(OurDecode(bytes.substr(0, cut), image) & 2) << cut;
    }
    std::mt19937 rng(1);
    for (int i = 0; i < 300; ++i) {
        std::string bad = bytes;
        bad[8 + rng() % (bad.size() - 8)] = static_cast<char>(rng());
        mtxImage image;
        OurDecode(bad, image);
    }
}

TEST(PngDecoder, MetadataOnlySkipsThePixels) {
    std::string bytes = ReadFile(SuiteDir() + "/basn2c08.png");
    mtxFileMemory file;
    file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    mtxImage image;
    mtxImageDecoderPng decoder(&file, &image);
    EXPECT_EQ(decoder.Decode(1), 1);
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(decoder.header.width, 32u);
    EXPECT_EQ(decoder.header.colorType, 2u);
}

// Every file that once harmed a decoder is kept in png/regressions, named
// <what>.<result>.png: "refused", or the picture's size as WxH.
TEST(PngDecoder, RegressionFilesGiveTheirStatedResult) {
    const std::filesystem::path dir = std::string(DAUBRY_TEST_DATA) + "/png/regressions";
    ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png") continue;
        SCOPED_TRACE(name);
        ++files;
        const std::string stem = entry.path().stem().string();
        const size_t dot = stem.rfind('.');
        ASSERT_NE(dot, std::string::npos) << "no stated result in the name";
        const std::string stated = stem.substr(dot + 1);
        mtxImage image;
        const int decoded = OurDecode(ReadFile(entry.path().string()), image);
        if (stated == "refused") {
            EXPECT_NE(decoded, 1);
            continue;
        }
        int w = 0, h = 0;
        char tail = 0;
        ASSERT_EQ(std::sscanf(stated.c_str(), "%dx%d%c", &w, &h, &tail), 2)
            << "stated result is neither \"refused\" nor WxH";
        EXPECT_EQ(decoded, 1);
        EXPECT_EQ(image.width, w);
        EXPECT_EQ(image.height, h);
        // Where libpng reads the file too, it reads the same picture.
        oracle::PngPicture ref;
        if (!oracle::DecodePng(ReadFile(entry.path().string()), ref)) continue;
        ASSERT_EQ(ref.width, uint32_t(w));
        ASSERT_EQ(ref.height, uint32_t(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = &ref.rgba[(size_t(y) * w + x) * 4];
                const uint32_t argb =
                    uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
                ASSERT_EQ(image.At(x, y), argb) << x << "," << y;
            }
    }
    EXPECT_GT(files, 0);
}

TEST(PngChunks, KindsAndPropertyBits) {
    auto classify = [](const char* t) {
        return mtxImageCodecXng::Classify(reinterpret_cast<const uint8_t*>(t));
    };
    EXPECT_EQ(classify("IHDR"), 1u);
    EXPECT_EQ(classify("tRNS"), 10u | 0x100);
    EXPECT_EQ(classify("amTn"), 15u | 0x100 | 0x200 | 0x800);
    EXPECT_EQ(classify("oFFs"), 48u | 0x100 | 0x800);
    EXPECT_EQ(classify("IHDr"), 1u | 0x800);
    EXPECT_EQ(classify("MEND"), 17u);
    EXPECT_EQ(classify("abcd"), 0u | 0xF00);
}

}  // namespace

namespace {

// An image kind other than the plain memory image, as device images are: the
// decoder creates it filled black instead of setting rows as they arrive.
class FilledImage : public mtxImage {};

// The file with its compressed data cut to `keep` bytes, still ending in IEND.
std::string CutData(const std::string& file, size_t keep) {
    size_t idat = file.find("IDAT") - 4;
    return file.substr(0, idat) + Chunk("IDAT", png_oracle::IdatStream(file).substr(0, keep)) +
           Chunk("IEND", "");
}

int DecodeWithReason(const std::string& bytes, std::string& reason) {
    mtxFileMemory file;
    file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    mtxImage image;
    mtxImageDecoderPng decoder(&file, &image);
    int result = decoder.Decode(0);
    reason = decoder.reason;
    return result;
}

}  // namespace

TEST(PngDecoder, DataCutShortIsRefusedWhateverTheImageKind) {
    // The plain image grows row by row, a filled one is made whole first:
    // both refuse every cut, interlaced or not, and agree on the whole data.
    for (const char* name : {"basi6a08.png", "basi0g01.png", "basi3p02.png", "basn2c16.png"}) {
        std::string bytes = ReadFile(SuiteDir() + "/" + name);
        size_t total = png_oracle::IdatStream(bytes).size();
        for (size_t keep = 0; keep <= total; keep += 1 + keep / 7) {
            SCOPED_TRACE(std::string(name) + " keeping " + std::to_string(keep));
            std::string cut = CutData(bytes, keep);
            mtxImage plain;
            FilledImage filled;
            int result = OurDecode(cut, plain);
            ASSERT_EQ(OurDecode(cut, filled), result);
            // The Adler-32 trailer and the end-of-block code are not needed.
            if (keep + 6 < total) {
                EXPECT_EQ(result, 2);
                EXPECT_TRUE(plain.IsEmpty());
            }
            if (result != 1) continue;
            ASSERT_EQ(plain.width, filled.width);
            ASSERT_EQ(plain.height, filled.height);
            for (int y = 0; y < plain.height; ++y)
                for (int x = 0; x < plain.width; ++x)
                    ASSERT_EQ(plain.At(x, y), filled.At(x, y)) << x << ", " << y;
        }
        mtxImage whole;
        EXPECT_EQ(OurDecode(CutData(bytes, total), whole), 1);
    }
}

namespace {

// Deflate bits as RFC 1951 3.1.1 packs them: values least significant bit
// first, Huffman codes most significant bit first.
struct BitWriter {
    std::string bytes;
    uint32_t used = 0;
    void Put(uint32_t value, int count) {
        for (int i = 0; i < count; ++i, ++used) {
            if (used % 8 == 0) bytes += '\0';
            bytes.back() = static_cast<char>(bytes.back() | ((value >> i & 1) << (used % 8)));
        }
    }
    void PutCode(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Put(code >> i & 1, 1);
    }
};

const std::string kZlibHeader = "\x78\x01";

// A fixed-Huffman block whose first symbol copies 3 bytes from 1 back.
std::string DistanceTooFar() {
    BitWriter w;
    w.Put(1, 1);      // final
    w.Put(1, 2);      // fixed Huffman codes
    w.PutCode(1, 7);  // length 3 (symbol 257)
    w.PutCode(0, 5);  // distance 1
    w.PutCode(0, 7);  // end of block
    return kZlibHeader + w.bytes;
}

// A dynamic block that claims 287 literal/length codes.
std::string TooManyLengthCodes() {
    BitWriter w;
    w.Put(1, 1);
    w.Put(2, 2);   // dynamic Huffman codes
    w.Put(30, 5);  // HLIT: 257 + 30
    w.Put(0, 5);
    w.Put(0, 4);
    return kZlibHeader + w.bytes + std::string(8, '\0');
}

// A stored block of 2 bytes whose NLEN is not the complement of LEN.
std::string BadStoredLength() {
    return kZlibHeader + std::string("\x01\x02\x00\x00\x00\x00\x42", 7);
}

}  // namespace

TEST(PngDecoder, RefusesImageDataThatDoNotReachTheLastRow) {
    // A 1 x 3 grey picture whose image data are damaged, cut short or
    // missing: each is refused, naming the fault and the row it stopped at.
    const std::string ihdr = Ihdr(1, 3, 8, 0);
    const std::string rows("\0\x10\0\x20\0\x30", 6);
    const std::string good = Zlib(rows);
    std::string badHeader = good;
    badHeader[0] = 0x79;  // compression method 9
    std::string emptyChunks;
    for (int i = 0; i < 2000; ++i) emptyChunks += Chunk("IDAT", "");
    const struct {
        const char* what;
        std::string file;
        std::string reason;
    } cases[] = {
        {"bad zlib header", kSignature + ihdr + Chunk("IDAT", badHeader) + Chunk("IEND", ""),
         "PNG: bad zlib header in row 0 of 3"},
        {"distance too far",
         kSignature + ihdr + Chunk("IDAT", DistanceTooFar()) + Chunk("IEND", ""),
         "PNG: distance too far back in row 0 of 3"},
        {"bad code lengths",
         kSignature + ihdr + Chunk("IDAT", TooManyLengthCodes()) + Chunk("IEND", ""),
         "PNG: bad code lengths in row 0 of 3"},
        {"bad stored length",
         kSignature + ihdr + Chunk("IDAT", BadStoredLength()) + Chunk("IEND", ""),
         "PNG: bad stored block length in row 0 of 3"},
        {"cut short", File(ihdr, "", rows.substr(0, 4)), "PNG: image data end at row 2 of 3"},
        {"cut inside the stream",
         kSignature + ihdr + Chunk("IDAT", good.substr(0, 3)) + Chunk("IEND", ""),
         "PNG: image data end at row 0 of 3"},
        {"missing image data", kSignature + ihdr + Chunk("IEND", ""),
         "PNG: no image data before IEND"},
        {"empty data chunks", kSignature + ihdr + emptyChunks + Chunk("IEND", ""),
         "PNG: image data end at row 0 of 3"},
        {"filter type 9", File(ihdr, "", std::string("\0\x10\x09\x20\0\x30", 6)),
         "PNG: filter type 9 in row 1"},
        {"interlaced, cut short", File(Ihdr(1, 3, 8, 0, 1), "", rows.substr(0, 4)),
         "PNG: image data end at row 1 of 3 (pass 7 of 7)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string reason;
        EXPECT_EQ(DecodeWithReason(c.file, reason), 2);
        EXPECT_EQ(reason, c.reason);
        mtxImage image;
        EXPECT_EQ(OurDecode(c.file, image), 2);
        EXPECT_TRUE(image.IsEmpty());
    }
    // The same picture whole loads, stored blocks included.
    mtxImage image;
    ASSERT_EQ(OurDecode(File(ihdr, "", rows), image), 1);
    EXPECT_EQ(image.At(0, 2), 0xFF303030u);
    std::string stored = kZlibHeader + std::string("\x01\x06\x00\xF9\xFF", 5) + rows + "0000";
    ASSERT_EQ(OurDecode(kSignature + ihdr + Chunk("IDAT", stored) + Chunk("IEND", ""), image), 1);
    EXPECT_EQ(image.At(0, 1), 0xFF202020u);
}

TEST(PngDecoder, NamesTheFaultItRefuses) {
    std::string reason;
    std::string good = File(Ihdr(1, 1, 8, 0), "", std::string("\0\x42", 2));
    EXPECT_EQ(DecodeWithReason(good, reason), 1);
    EXPECT_EQ(reason, "");
    std::string bad = good;
    bad[bad.size() - 20] ^= 1;  // inside the IDAT chunk
    EXPECT_EQ(DecodeWithReason(bad, reason), 2);
    EXPECT_EQ(reason, "PNG: CRC mismatch in IDAT");
    EXPECT_EQ(DecodeWithReason(File(Ihdr(0, 1, 8, 0), "", ""), reason), 2);
    EXPECT_EQ(reason, "PNG: IHDR claims 0 x 1 pixels");
    EXPECT_EQ(DecodeWithReason(File(Ihdr(1, 1, 16, 3), "", ""), reason), 2);
    EXPECT_EQ(reason, "PNG: IHDR: bit depth 16 with colour type 3");
    EXPECT_EQ(DecodeWithReason(File(Ihdr(100000, 100000, 8, 6), "", ""), reason), 2);
    EXPECT_EQ(reason, "PNG: IHDR claims 100000 x 100000 pixels, more than allowed");
    EXPECT_EQ(DecodeWithReason(good.substr(0, good.size() - 12), reason), 2);
    EXPECT_EQ(reason, "PNG: file ends before IEND");
    EXPECT_EQ(DecodeWithReason(good.substr(0, good.size() - 5), reason), 2);
    EXPECT_EQ(reason,
              "PNG: file ends inside a chunk at offset " + std::to_string(good.size() - 12));
    EXPECT_EQ(DecodeWithReason("GIF89a", reason), 258);
    EXPECT_EQ(reason, "PNG: no PNG signature");
}
