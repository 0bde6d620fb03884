#include "image/codecs/deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "image/file_memory.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes OurCompress(const Bytes& data, int plainSearch = 0) {
    mtxFileMemory in, out;
    if (!data.empty()) in.Write(data.data(), static_cast<uint32_t>(data.size()));
    in.Seek(0, 0);
    mtxCompressorZLIB<15, 3> z;
    z.SetPlainSearch(plainSearch);
    z.SetInput(&in);
    z.SetOutput(&out);
    z.BeginCompress();
    EXPECT_EQ(z.Compress(1), mtxCompressor::kOk);
    return Bytes(out.Data(), out.Data() + out.GetLength());
}

// zlib's verdict and output for a stream we wrote.
int ZlibInflate(const Bytes& stream, size_t expected, Bytes& out) {
    out.assign(expected + 1, 0);
    uLongf n = static_cast<uLongf>(out.size());
    int rc = uncompress(out.data(), &n, stream.data(), static_cast<uLong>(stream.size()));
    out.resize(n);
    return rc;
}

Bytes ZlibCompress(const Bytes& data, int level) {
    uLongf n = compressBound(static_cast<uLong>(data.size()));
    Bytes out(n);
    EXPECT_EQ(compress2(out.data(), &n, data.data(), static_cast<uLong>(data.size()), level), Z_OK);
    out.resize(n);
    return out;
}

uint32_t OurDecompress(const Bytes& stream, Bytes& result) {
    mtxFileMemory in, out;
    if (!stream.empty()) in.Write(stream.data(), static_cast<uint32_t>(stream.size()));
    in.Seek(0, 0);
    mtxCompressorZLIB<15, 3> z;
    z.SetInput(&in);
    z.SetOutput(&out);
    uint32_t status = z.Decompress();
    result.assign(out.Data(), out.Data() + out.GetLength());
    return status;
}

// The stream pulled through Inflate in pieces of varying size.
Bytes PullInflate(const Bytes& stream, size_t expected, uint32_t seed) {
    mtxFileMemory in;
    in.Write(stream.data(), static_cast<uint32_t>(stream.size()));
    in.Seek(0, 0);
    mtxCompressorZLIB<15, 3> z;
    z.SetInput(&in);
    std::mt19937 rng(seed);
    Bytes out;
    for (;;) {
        uint32_t want = rng() % 3000 + 1;
        size_t at = out.size();
        out.resize(at + want);
        uint32_t got = z.Inflate(out.data() + at, want);
        out.resize(at + got);
        if (got < want) break;
        if (out.size() > expected + 10) break;
    }
    EXPECT_TRUE(z.Complete());
    EXPECT_FALSE(z.Failed());
    return out;
}

Bytes Random(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& v : b) v = static_cast<uint8_t>(rng());
    return b;
}

Bytes Text(size_t n) {
    static const char* words[] = {"the ",        "picture ", "is ",       "assembled ",
                                  "from ",       "small ",   "samples, ", "each ",
                                  "recoloured ", "and ",     "turned.\n"};
    std::mt19937 rng(7);
    std::string s;
    while (s.size() < n) s += words[rng() % 11];
    s.resize(n);
    return Bytes(s.begin(), s.end());
}

// Rows like a PNG encoder produces: a filter byte, then Sub-filtered RGBA of
// a smooth gradient with a little noise.
Bytes FilteredRows(int width, int height) {
    std::mt19937 rng(3);
    Bytes b;
    for (int y = 0; y < height; ++y) {
        b.push_back(1);
        uint8_t prev[4] = {};
        for (int x = 0; x < width; ++x) {
            uint8_t px[4] = {static_cast<uint8_t>(x + y + rng() % 4), static_cast<uint8_t>(x * 2),
                             static_cast<uint8_t>(y * 3 + rng() % 2), 255};
            for (int c = 0; c < 4; ++c) b.push_back(static_cast<uint8_t>(px[c] - prev[c]));
            std::copy(px, px + 4, prev);
        }
    }
    return b;
}

struct Case {
    const char* name;
    Bytes data;
};

std::vector<Case> Corpus() {
    Bytes run(1000, 'x'), zeros(70000, 0), mixed = Text(30000);
    Bytes zeroRuns;
    for (int i = 0; i < 300; ++i) {
        zeroRuns.insert(zeroRuns.end(), static_cast<size_t>(i % 37 + 1), 0);
        zeroRuns.push_back(static_cast<uint8_t>(i));
    }
    mixed.insert(mixed.end(), 5000, 0);
    Bytes random = Random(100000, 1);
    mixed.insert(mixed.end(), random.begin(), random.begin() + 40000);
    return {{"empty", {}},
            {"one byte", {42}},
            {"random", Random(150000, 2)},
            {"text", Text(300000)},
            {"equal bytes", run},
            {"zeros", zeros},
            {"zero runs", zeroRuns},
            {"filtered rows", FilteredRows(1000, 120)},
            {"mixed", mixed},
            {"200000 bytes", Random(200000, 5)}};
}

TEST(Deflate, ZlibReadsWhatWeWrite) {
    for (const Case& c : Corpus()) {
        SCOPED_TRACE(c.name);
        Bytes stream = OurCompress(c.data);
        ASSERT_GE(stream.size(), 6u);
        EXPECT_EQ(stream[0], 0x78);
        EXPECT_EQ(stream[1], 0xDA);
        Bytes back;
        ASSERT_EQ(ZlibInflate(stream, c.data.size(), back), Z_OK);
        EXPECT_EQ(back, c.data);
    }
}

TEST(Deflate, FastSearchEqualsThePlainChainWalk) {
    // The match search with its second chains must choose exactly what a
    // walk of the 3-byte hash chain chooses, so the streams are identical.
    for (const Case& c : Corpus()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OurCompress(c.data, 0), OurCompress(c.data, 1));
    }
    // Few distinct byte values make long chains with many equal lengths.
    std::mt19937 rng(12);
    Bytes narrow(120000);
    for (auto& v : narrow) v = static_cast<uint8_t>("\0\1\2\x20\xFF"[rng() % 5]);
    EXPECT_EQ(OurCompress(narrow, 0), OurCompress(narrow, 1));
}

TEST(Deflate, WeReadWhatWeWrite) {
    for (const Case& c : Corpus()) {
        SCOPED_TRACE(c.name);
        Bytes stream = OurCompress(c.data), back;
        EXPECT_EQ(OurDecompress(stream, back), mtxCompressor::kOk);
        EXPECT_EQ(back, c.data);
        EXPECT_EQ(PullInflate(stream, c.data.size(), 11), c.data);
    }
}

TEST(Deflate, ReadsZlibStreamsOfEveryLevel) {
    // Level 0 writes stored blocks, level 1 on short input fixed ones, 6 and 9
    // dynamic ones.
    for (const Case& c : Corpus()) {
        for (int level : {0, 1, 6, 9}) {
            SCOPED_TRACE(std::string(c.name) + " level " + std::to_string(level));
            Bytes stream = ZlibCompress(c.data, level), back;
            EXPECT_EQ(OurDecompress(stream, back), mtxCompressor::kOk);
            EXPECT_EQ(back, c.data);
            EXPECT_EQ(PullInflate(stream, c.data.size(), level), c.data);
        }
    }
}

TEST(Deflate, LongStreamsPulledRowByRow) {
    // Megabytes of output through a window that slides many times.
    Bytes data = FilteredRows(1500, 700);
    for (int level : {1, 6}) {
        Bytes stream = ZlibCompress(data, level), back;
        EXPECT_EQ(OurDecompress(stream, back), mtxCompressor::kOk);
        EXPECT_TRUE(back == data);
        mtxFileMemory in;
        in.Write(stream.data(), static_cast<uint32_t>(stream.size()));
        in.Seek(0, 0);
        mtxCompressorZLIB<15, 3> z;
        z.SetInput(&in);
        Bytes row(6001);
        for (size_t at = 0; at < data.size(); at += row.size()) {
            ASSERT_EQ(z.Inflate(row.data(), 6001), 6001u) << at;
            ASSERT_EQ(std::memcmp(row.data(), data.data() + at, 6001), 0) << "at " << at;
        }
    }
}

TEST(Deflate, ReadsFixedHuffmanBlocks) {
    // zlib's Z_FIXED strategy forces fixed-code blocks on any input.
    Bytes data = Text(50000);
    z_stream s{};
    ASSERT_EQ(deflateInit2(&s, 6, Z_DEFLATED, 15, 8, Z_FIXED), Z_OK);
    Bytes stream(deflateBound(&s, static_cast<uLong>(data.size())));
    s.next_in = data.data();
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = stream.data();
    s.avail_out = static_cast<uInt>(stream.size());
    ASSERT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    stream.resize(s.total_out);
    deflateEnd(&s);
    Bytes back;
    EXPECT_EQ(OurDecompress(stream, back), mtxCompressor::kOk);
    EXPECT_EQ(back, data);
}

TEST(Deflate, RunOfEqualBytesBecomesOneLiteralAndMatches) {
    Bytes stream = OurCompress(Bytes(1000, 'q'));
    // Header, one block of a literal and four matches of distance 1, trailer.
    EXPECT_LT(stream.size(), 40u);
}

TEST(Deflate, SplitsInputIntoEqualChunks) {
    // 200000 bytes go as 4 chunks of 50000, each its own block: random bytes
    // cost one literal each, so the stream holds exactly four block headers'
    // worth over the raw size, and the data survives.
    Bytes data = Random(200000, 9), back;
    Bytes stream = OurCompress(data);
    ASSERT_EQ(ZlibInflate(stream, data.size(), back), Z_OK);
    EXPECT_EQ(back, data);
    // Count blocks with zlib's raw inflate stopping at each block boundary.
    z_stream s{};
    ASSERT_EQ(inflateInit(&s), Z_OK);
    s.next_in = stream.data();
    s.avail_in = static_cast<uInt>(stream.size());
    Bytes out(data.size() + 16);
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    int blocks = 0;
    std::vector<uLong> ends;
    for (;;) {
        int rc = inflate(&s, Z_BLOCK);
        if (s.data_type & 128) ends.push_back(s.total_out);
        if (rc == Z_STREAM_END || rc != Z_OK) break;
    }
    inflateEnd(&s);
    // data_type bit 7 is set at the start of the stream and after each block.
    for (size_t i = 1; i < ends.size(); ++i)
        if (ends[i] != ends[i - 1]) ++blocks;
    EXPECT_EQ(blocks, 4);
    EXPECT_EQ(std::count(ends.begin(), ends.end(), 50000u), 1);
    EXPECT_EQ(std::count(ends.begin(), ends.end(), 150000u), 1);
}

TEST(Deflate, SeveralCompressCallsMakeOneStream) {
    Bytes data = FilteredRows(300, 200);
    mtxFileMemory out;
    mtxCompressorZLIB<15, 3> z;
    z.SetOutput(&out);
    z.BeginCompress();
    size_t pieces[] = {0, 1, 5000, 70000, data.size()};
    for (int i = 0; i + 1 < 5; ++i) {
        mtxFileMemory in;
        size_t from = pieces[i], to = pieces[i + 1];
        if (to > from) in.Write(data.data() + from, static_cast<uint32_t>(to - from));
        in.Seek(0, 0);
        z.SetInput(&in);
        EXPECT_EQ(z.Compress(i == 3), mtxCompressor::kOk);
    }
    Bytes stream(out.Data(), out.Data() + out.GetLength()), back;
    ASSERT_EQ(ZlibInflate(stream, data.size(), back), Z_OK);
    EXPECT_EQ(back, data);
}

TEST(Deflate, ANewStreamDoesNotReachIntoTheOldOne) {
    Bytes data = Text(20000);
    mtxCompressorZLIB<15, 3> z;
    for (int round = 0; round < 2; ++round) {
        mtxFileMemory in, out;
        in.Write(data.data(), static_cast<uint32_t>(data.size()));
        in.Seek(0, 0);
        z.SetInput(&in);
        z.SetOutput(&out);
        z.BeginCompress();
        z.Compress(1);
        Bytes stream(out.Data(), out.Data() + out.GetLength()), back;
        ASSERT_EQ(ZlibInflate(stream, data.size(), back), Z_OK);
        EXPECT_EQ(back, data);
    }
}

TEST(Deflate, CompressReportsAFullOutput) {
    Bytes data = Random(5000, 4);
    mtxFileMemory in, out;
    in.Write(data.data(), static_cast<uint32_t>(data.size()));
    in.Seek(0, 0);
    uint8_t small[100];
    out.Attach(small, sizeof small, 0);
    out.SetLength(0);
    mtxCompressorZLIB<15, 3> z;
    z.SetInput(&in);
    z.SetOutput(&out);
    z.BeginCompress();
    EXPECT_EQ(z.Compress(1), mtxCompressor::kFailed);
}

TEST(Deflate, EveryTruncationFails) {
    Bytes data = Text(20000);
    for (int level : {0, 1, 9}) {
        Bytes stream = level == 9 ? OurCompress(data) : ZlibCompress(data, level);
        for (size_t cut = 0; cut < stream.size(); cut += (cut < 64 ? 1 : 97)) {
            Bytes part(stream.begin(), stream.begin() + static_cast<long>(cut)), back;
            EXPECT_EQ(OurDecompress(part, back), mtxCompressor::kFailed) << "cut " << cut;
        }
        // Inflate delivers less than asked and says it failed.
        Bytes part(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 2));
        mtxFileMemory in;
        in.Write(part.data(), static_cast<uint32_t>(part.size()));
        in.Seek(0, 0);
        mtxCompressorZLIB<15, 3> z;
        z.SetInput(&in);
        Bytes out(data.size());
        EXPECT_LT(z.Inflate(out.data(), static_cast<uint32_t>(out.size())), data.size());
        EXPECT_TRUE(z.Failed());
    }
}

TEST(Deflate, CorruptStreamsFailOrDecodeWithoutHarm) {
    // Flipped bits must never make the decoder touch memory it does not own
    // (the sanitizer build watches); a checksum catches what decodes.
    Bytes data = Text(8000);
    Bytes stream = OurCompress(data);
    std::mt19937 rng(5);
    int failures = 0;
    for (int i = 0; i < 400; ++i) {
        Bytes bad = stream, back;
        size_t at = 2 + rng() % (bad.size() - 2);
        bad[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        if (OurDecompress(bad, back) == mtxCompressor::kFailed) ++failures;
        EXPECT_LE(back.size(), 8000u * 258);
    }
    EXPECT_EQ(failures, 400);
}

// Streams that once harmed the decoder, kept in inflate/regressions: zlib is
// the judge of each, and we must agree with it on the verdict and the bytes.
TEST(Deflate, RegressionStreamsDecodeAsZlibDecodesThem) {
    const std::filesystem::path dir = std::string(DAUBRY_TEST_DATA) + "/inflate/regressions";
    ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".z") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes stream{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        Bytes expected, ours;
        const int zlib = ZlibInflate(stream, 1u << 20, expected);
        const uint32_t status = OurDecompress(stream, ours);
        if (zlib != Z_OK) {
            EXPECT_EQ(status, mtxCompressor::kFailed);
            continue;
        }
        EXPECT_EQ(status, mtxCompressor::kOk);
        EXPECT_TRUE(ours == expected) << ours.size() << " bytes, zlib " << expected.size();
        EXPECT_TRUE(PullInflate(stream, expected.size(), 1) == expected);
    }
    EXPECT_GT(files, 0);
}

TEST(Deflate, RefusesDistanceBeforeTheData) {
    // Fixed block: literal 'a', then length 3 at distance 2 (only 1 byte exists).
    // Bits: BFINAL 1, BTYPE 01; literal 'a' = 0x61 -> code 0x30+0x61; length
    // 257 code 0000001; distance code 1 (distance 2) 00001.
    auto reverse = [](uint32_t v, int n) {
        uint32_t r = 0;
        for (int i = 0; i < n; ++i) r = r << 1 | ((v >> i) & 1);
        return r;
    };
    uint64_t bits = 0;
    int n = 0;
    auto put = [&](uint32_t v, int count) {
        bits |= static_cast<uint64_t>(v) << n;
        n += count;
    };
    put(1, 1);
    put(1, 2);
    put(reverse(0x30 + 'a', 8), 8);
    put(reverse(1, 7), 7);
    put(reverse(1, 5), 5);
    put(0, 7);  // end of block
    Bytes stream = {0x78, 0xDA};
    for (int i = 0; i < (n + 7) / 8; ++i) stream.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    stream.insert(stream.end(), {0, 0, 0, 0});
    Bytes back;
    EXPECT_EQ(OurDecompress(stream, back), mtxCompressor::kFailed);
    EXPECT_LE(back.size(), 1u);
}

TEST(Deflate, WrongHeaderIsReportedButDecoded) {
    Bytes data = Text(1000);
    Bytes stream = ZlibCompress(data, 6), back;
    stream[1] ^= 1;  // FCHECK no longer makes a multiple of 31
    EXPECT_EQ(OurDecompress(stream, back), mtxCompressor::kFailed);
    EXPECT_EQ(back, data);
}

namespace {

// What Inflate made of a stream pulled in one piece: the fault it names, or
// "" for none; "failed" prefixed when it stopped short.
std::string InflateVerdict(const Bytes& stream, size_t size) {
    mtxFileMemory in;
    in.Write(stream.data(), static_cast<uint32_t>(stream.size()));
    in.Seek(0, 0);
    mtxCompressorZLIB<15, 3> z;
    z.SetInput(&in);
    Bytes out(size);
    uint32_t got = z.Inflate(out.data(), static_cast<uint32_t>(size));
    std::string verdict = got < size && z.Failed() ? "failed: " : "";
    return verdict + (z.Fault() ? z.Fault() : "");
}

}  // namespace

TEST(Deflate, InflateStopsOnEveryFaultAndNamesIt) {
    Bytes data = Text(1000);
    Bytes good = ZlibCompress(data, 6);
    EXPECT_EQ(InflateVerdict(good, data.size()), "");
    Bytes header = good;
    header[1] ^= 1;
    EXPECT_EQ(InflateVerdict(header, data.size()), "failed: bad zlib header");
    EXPECT_EQ(InflateVerdict(Bytes(good.begin(), good.begin() + 40), data.size()), "failed: ");
    // A stored block of 2 bytes with a damaged NLEN; a block of type 3.
    EXPECT_EQ(InflateVerdict({0x78, 0x01, 0x01, 0x02, 0x00, 0x00, 0x00, 0x41, 0x42}, 2),
              "failed: bad stored block length");
    EXPECT_EQ(InflateVerdict({0x78, 0x01, 0x07, 0, 0, 0, 0}, 2), "failed: invalid block type");
    // A dynamic block that claims 287 literal/length codes.
    EXPECT_EQ(InflateVerdict({0x78, 0x01, 0xF5, 0, 0, 0, 0, 0, 0}, 2), "failed: bad code lengths");
}

TEST(Deflate, ChecksumMismatchFails) {
    Bytes data = Text(1000);
    Bytes stream = ZlibCompress(data, 6), back;
    stream.back() ^= 1;
    EXPECT_EQ(OurDecompress(stream, back), mtxCompressor::kFailed);
    EXPECT_EQ(back, data);
}

TEST(Adler32, MatchesZlib) {
    Bytes data = Random(100000, 8);
    for (size_t n : {0, 1, 7, 5552, 5553, 65536, 100000}) {
        EXPECT_EQ(mtxAdler32(1, data.data(), n), adler32(1, data.data(), static_cast<uInt>(n)));
    }
    Bytes ff(20000, 0xFF);
    EXPECT_EQ(mtxAdler32(1, ff.data(), ff.size()), adler32(1, ff.data(), 20000));
}

}  // namespace
