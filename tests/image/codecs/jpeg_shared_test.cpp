#include "image/codecs/jpeg_shared.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

#include "image/codecs/jpeg_encoder.h"
#include "image/file_memory.h"
#include "tests/oracles/jpeg.h"  // jpeglib.h, for its table builder
#include "tests/oracles/png.h"

extern "C" {
// libjpeg's own implementation of T.81 K.2, exported but not declared in
// jpeglib.h.
void jpeg_gen_optimal_table(j_compress_ptr cinfo, JHUFF_TBL* htbl, long freq[]);
}

using mtxJpeg::HuffmanTable;

namespace {

// T.81 A.3.3 evaluated directly.
void DirectDct(const double in[64], double out[64]) {
    const double pi = std::numbers::pi;
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    sum += in[y * 8 + x] * std::cos((2 * x + 1) * u * pi / 16) *
                           std::cos((2 * y + 1) * v * pi / 16);
            double cu = u ? 1 : 1 / std::sqrt(2.0), cv = v ? 1 : 1 / std::sqrt(2.0);
            out[v * 8 + u] = 0.25 * cu * cv * sum;
        }
}

// libjpeg's table for the same statistics.
void LibjpegTable(const uint32_t freq[257], uint8_t bits[17], std::vector<uint8_t>& values) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    JHUFF_TBL* table = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(&cinfo));
    long counts[257];
    for (int i = 0; i < 257; ++i) counts[i] = freq[i];
    jpeg_gen_optimal_table(&cinfo, table, counts);
    int n = 0;
    for (int i = 1; i <= 16; ++i) bits[i] = table->bits[i], n += table->bits[i];
    values.assign(table->huffval, table->huffval + n);
    jpeg_destroy_compress(&cinfo);
}

// The bytes of a memory file.
std::string Bytes(mtxFileMemory& file) {
    return std::string(reinterpret_cast<const char*>(file.Data()), size_t(file.GetLength()));
}

// The quantised coefficients of a 4:4:4 JPEG as libjpeg reads them: per
// component, per block row, 64 values a block in natural order.
bool ReadCoefficients(const std::string& bytes, std::vector<std::vector<int16_t>> out[3]) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK && cinfo.num_components == 3;
    jvirt_barray_ptr* arrays = ok ? jpeg_read_coefficients(&cinfo) : nullptr;
    for (int c = 0; arrays && c < 3; ++c) {
        const jpeg_component_info& info = cinfo.comp_info[c];
        out[c].assign(info.height_in_blocks, {});
        for (JDIMENSION y = 0; y < info.height_in_blocks; ++y) {
            JBLOCKARRAY row = cinfo.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&cinfo),
                                                            arrays[c], y, 1, FALSE);
            out[c][y].assign(&row[0][0][0], &row[0][0][0] + size_t(info.width_in_blocks) * 64);
        }
    }
    jpeg_destroy_decompress(&cinfo);
    return ok && arrays;
}

uint64_t Cost(const uint32_t freq[257], const uint8_t size[256]) {
    uint64_t bits = 0;
    for (int s = 0; s < 256; ++s) bits += uint64_t(freq[s]) * size[s];
    return bits;
}

// Code sizes of a table given as BITS and HUFFVAL.
void Sizes(const uint8_t* bits, const uint8_t* values, uint8_t size[256]) {
    std::memset(size, 0, 256);
    int k = 0;
    for (int length = 1; length <= 16; ++length)
        for (int n = 0; n < bits[length]; ++n) size[values[k++]] = uint8_t(length);
}

}  // namespace

TEST(JpegDct, MatchesTheDefiningFormula) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(0, 255);
    for (int round = 0; round < 50; ++round) {
        double in[64], expected[64], block[64];
        for (int i = 0; i < 64; ++i) in[i] = block[i] = sample(random) - 128;
        DirectDct(in, expected);
        mtxJpeg::ForwardDct(block);
        for (int i = 0; i < 64; ++i) EXPECT_NEAR(block[i], expected[i], 1e-9) << i;
    }
}

TEST(JpegDct, ZigZagVisitsEveryCoefficientOnce) {
    bool seen[64] = {};
    for (int k = 0; k < 64; ++k) {
        ASSERT_FALSE(seen[mtxJpeg::kZigZag[k]]);
        seen[mtxJpeg::kZigZag[k]] = true;
    }
    EXPECT_EQ(mtxJpeg::kZigZag[2], 8);
    EXPECT_EQ(mtxJpeg::kZigZag[3], 16);
    EXPECT_EQ(mtxJpeg::kZigZag[63], 63);
}

TEST(JpegHuffman, OptimalTablesMatchLibjpeg) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        HuffmanTable table;
        table.Clear();
        int symbols = 1 + int(random() % 256);
        int shape = round % 4;
        for (int i = 0; i < symbols; ++i) {
            int s = int(random() % 256);
            uint32_t f = shape == 0   ? 1 + random() % 1000
                         : shape == 1 ? 1
                         : shape == 2 ? uint32_t(1) << (random() % 20)  // deep trees
                                      : 1 + random() % 3;
            table.freq[s] += f;
        }
        uint32_t freq[257];
        std::memcpy(freq, table.freq, sizeof freq);
        uint8_t bits[17] = {};
        std::vector<uint8_t> values;
        LibjpegTable(freq, bits, values);

        table.Optimise();
        for (int i = 1; i <= 16; ++i) ASSERT_EQ(table.bits[i], bits[i]) << round << " " << i;
        ASSERT_EQ(table.count, values.size());
        for (size_t i = 0; i < values.size(); ++i) ASSERT_EQ(table.huffval[i], values[i]);
        // Every symbol that occurred has a code, and no code is all 1 bits.
        for (int s = 0; s < 256; ++s) {
            if (freq[s]) {
                ASSERT_GT(table.size[s], 0) << s;
            }
            if (table.size[s]) {
                ASSERT_NE(table.code[s], (1u << table.size[s]) - 1);
            }
        }
    }
}

TEST(JpegHuffman, FibonacciCountsAreLimitedTo16Bits) {
    HuffmanTable table;
    table.Clear();
    uint32_t a = 1, b = 1;
    for (int s = 0; s < 40; ++s) {
        table.freq[s] = a;
        uint32_t next = a + b;
        a = b, b = next;
    }
    table.Optimise();
    for (int s = 0; s < 40; ++s) {
        EXPECT_GT(table.size[s], 0);
        EXPECT_LE(table.size[s], 16);
    }
    // Kraft: the codes fill at most the code space less the reserved point.
    double kraft = 0;
    for (int s = 0; s < 256; ++s)
        if (table.size[s]) kraft += std::ldexp(1.0, -table.size[s]);
    EXPECT_LT(kraft, 1.0);
}

TEST(JpegHuffman, OptimisedTablesNeverCodeLongerThanTheStandardTables) {
    // The typical tables of T.81 K.3, as libjpeg holds them.
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    uint8_t standardDc[2][256], standardAc[2][256];
    for (int t = 0; t < 2; ++t) {
        Sizes(cinfo.dc_huff_tbl_ptrs[t]->bits, cinfo.dc_huff_tbl_ptrs[t]->huffval, standardDc[t]);
        Sizes(cinfo.ac_huff_tbl_ptrs[t]->bits, cinfo.ac_huff_tbl_ptrs[t]->huffval, standardAc[t]);
    }
    jpeg_destroy_compress(&cinfo);

    for (const char* name : {"jpeg/chelsea.png", "photos/coffee.png"}) {
        oracle::Pixels p = oracle::ReadPng(std::string(DAUBRY_TEST_DATA) + "/" + name);
        ASSERT_GT(p.width, 0);
        mtxImage image(p.width, p.height);
        std::memcpy(image.data, p.data.data(), p.data.size() * 4);
        mtxFileMemory file(1 << 20);
        mtxImageEncoderJpeg encoder(&file, &image, 1);
        // The statistics are counted again here from the coefficients
        // libjpeg reads back from the file.
        ASSERT_EQ(encoder.Encode(), 0);
        std::vector<std::vector<int16_t>> blocks[3];
        ASSERT_TRUE(ReadCoefficients(Bytes(file), blocks));
        auto& scan = encoder.scans.front();
        for (int t = 0; t < 2; ++t) {
            HuffmanTable dc, ac;
            dc.Clear(), ac.Clear();
            int lastDc[3] = {};
            uint32_t mcu = 0;
            for (uint32_t my = 0; my < encoder.frame.mcusDown; ++my)
                for (uint32_t mx = 0; mx < encoder.frame.mcusAcross; ++mx, ++mcu) {
                    if (mcu && mcu % encoder.restartInterval == 0)
                        lastDc[0] = lastDc[1] = lastDc[2] = 0;
                    for (int c = 0; c < 3; ++c) {
                        if ((c == 0) != (t == 0)) continue;
                        const int16_t* natural = blocks[c][my].data() + size_t(mx) * 64;
                        int16_t z[64];
                        for (int k = 0; k < 64; ++k) z[k] = natural[mtxJpeg::kZigZag[k]];
                        ++dc.freq[mtxJpeg::Category(z[0] - lastDc[c])];
                        lastDc[c] = z[0];
                        int run = 0;
                        for (int k = 1; k < 64; ++k) {
                            if (!z[k]) {
                                ++run;
                                continue;
                            }
                            for (; run > 15; run -= 16) ++ac.freq[0xF0];
                            ++ac.freq[run << 4 | int(mtxJpeg::Category(z[k]))];
                            run = 0;
                        }
                        if (run) ++ac.freq[0];
                    }
                }
            for (int s = 0; s < 256; ++s) {
                ASSERT_EQ(dc.freq[s], scan.dc[t].freq[s]) << "statistics pass, DC " << s;
                ASSERT_EQ(ac.freq[s], scan.ac[t].freq[s]) << "statistics pass, AC " << s;
                if (dc.freq[s]) {
                    ASSERT_GT(standardDc[t][s], 0) << s;
                }
                if (ac.freq[s]) {
                    ASSERT_GT(standardAc[t][s], 0) << s;
                }
            }
            EXPECT_LE(Cost(dc.freq, scan.dc[t].size), Cost(dc.freq, standardDc[t])) << name;
            EXPECT_LE(Cost(ac.freq, scan.ac[t].size), Cost(ac.freq, standardAc[t])) << name;
            EXPECT_LT(Cost(ac.freq, scan.ac[t].size), Cost(ac.freq, standardAc[t])) << name;
        }
    }
}
