#include "image/codecs/deflate_huffman.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Kraft sum in units of 2^-limit: a complete code sums to exactly 2^limit.
uint64_t Kraft(const uint8_t* lengths, int count, int limit) {
    uint64_t sum = 0;
    for (int i = 0; i < count; ++i)
        if (lengths[i]) sum += 1ull << (limit - lengths[i]);
    return sum;
}

TEST(Huffman, LengthsAreCompleteAndWithinTheLimit) {
    std::mt19937 rng(1);
    for (int round = 0; round < 300; ++round) {
        int count = round % 2 ? 286 : 19;
        int limit = count == 19 ? 7 : 15;
        uint32_t freq[288] = {};
        int used = 0;
        for (int i = 0; i < count; ++i) {
            if (rng() % 3 == 0) continue;
            // Exponential spreads force codes past the limit.
            freq[i] = 1u + (rng() % 2 ? (1u << (rng() % 20)) : rng() % 5);
            ++used;
        }
        uint8_t lengths[288];
        mtxHuffman::BuildLengths(freq, count, limit, lengths);
        for (int i = 0; i < count; ++i) {
            EXPECT_LE(lengths[i], limit);
            EXPECT_EQ(lengths[i] == 0, freq[i] == 0);
        }
        if (used >= 2) {
            EXPECT_EQ(Kraft(lengths, count, limit), 1ull << limit);
        }
    }
}

TEST(Huffman, FibonacciFrequenciesAreLimited) {
    uint32_t freq[30];
    freq[0] = freq[1] = 1;
    for (int i = 2; i < 30; ++i) freq[i] = freq[i - 1] + freq[i - 2];
    uint8_t lengths[30];
    mtxHuffman::BuildLengths(freq, 30, 15, lengths);
    EXPECT_EQ(Kraft(lengths, 30, 15), 1ull << 15);
    for (uint8_t l : lengths) EXPECT_LE(l, 15);
    // More frequent symbols never get longer codes.
    for (int i = 1; i < 30; ++i) EXPECT_LE(lengths[i], lengths[i - 1]);
}

TEST(Huffman, SingleSymbolGetsLengthOne) {
    uint32_t freq[19] = {};
    freq[5] = 9;
    uint8_t lengths[19];
    mtxHuffman::BuildLengths(freq, 19, 7, lengths);
    EXPECT_EQ(lengths[5], 1);
    EXPECT_EQ(Kraft(lengths, 19, 7), 1ull << 6);
}

TEST(Huffman, TiesGoToTheLaterSymbol) {
    // Three equal frequencies: the first merge takes symbols 2 and 1, so
    // symbol 0 gets the short code.
    uint32_t freq[3] = {5, 5, 5};
    uint8_t lengths[3];
    mtxHuffman::BuildLengths(freq, 3, 15, lengths);
    EXPECT_EQ(lengths[0], 1);
    EXPECT_EQ(lengths[1], 2);
    EXPECT_EQ(lengths[2], 2);
}

TEST(Huffman, CanonicalCodesFollowRfc1951Example) {
    // RFC 1951 3.2.2: lengths (3, 3, 3, 3, 3, 2, 4, 4) give codes 010, 011,
    // 100, 101, 110, 00, 1110, 1111 (written here bit-reversed).
    uint8_t lengths[8] = {3, 3, 3, 3, 3, 2, 4, 4};
    uint16_t codes[8];
    mtxHuffman::AssignCodes(lengths, 8, codes);
    const uint16_t expected[8] = {0b010, 0b110, 0b001, 0b101, 0b011, 0b00, 0b0111, 0b1111};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(codes[i], expected[i]) << i;
}

TEST(Huffman, TableRefusesOverSubscribedCodes) {
    uint8_t lengths[3] = {1, 1, 1};
    uint32_t table[mtxHuffman::kCodeLengthTableSize];
    EXPECT_EQ(mtxHuffman::BuildTable(lengths, 3, mtxHuffman::kCodeLength, table), 0);
    uint8_t incomplete[3] = {1, 0, 0};
    ASSERT_EQ(mtxHuffman::BuildTable(incomplete, 3, mtxHuffman::kCodeLength, table), 1);
    EXPECT_EQ(mtxHuffman::EntryKind(table[1]), mtxHuffman::kInvalid);
}

}  // namespace
