#include "image/codecs/jpeg_symbols.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

// Symbols of every extra-bit count, over several chunks of the store, read
// back in order, then zeros past the end.
TEST(JpegSymbols, GivesBackWhatWasPutAcrossChunks) {
    std::mt19937 random(7);
    std::vector<std::pair<uint32_t, uint32_t>> put(1500000);
    mtxJpegSymbols symbols;
    for (auto& [symbol, extra] : put) {
        symbol = random() & 0xFF;
        if ((symbol & 15) > 11) symbol &= 0xF7;
        extra = random() & ((1u << (symbol & 15)) - 1);
        ASSERT_EQ(symbols.Put(symbol, extra), 1);
    }
    ASSERT_EQ(symbols.Close(), 1);
    EXPECT_GT(symbols.Bytes(), size_t(2) << 20);
    for (size_t i = 0; i < put.size(); ++i) {
        uint32_t symbol = symbols.Get(8);
        ASSERT_EQ(symbol, put[i].first) << i;
        ASSERT_EQ(symbols.Get(symbol & 15), put[i].second) << i;
    }
    EXPECT_EQ(symbols.Get(24), 0u);
    symbols.Clear();
    EXPECT_EQ(symbols.Bytes(), 0u);
}
