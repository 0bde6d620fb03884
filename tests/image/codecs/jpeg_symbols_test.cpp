#include "image/codecs/jpeg_symbols.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/file_memory.h"

// Symbols of every extra-bit count over several chunks, held in memory or
// with one chunk held and the rest spilled to a file: read back in order,
// then zeros past the end. A spill file that fails says so.
TEST(JpegSymbols, GivesBackWhatWasPutAcrossChunksAndSpills) {
    std::mt19937 random(7);
    std::vector<std::pair<uint32_t, uint32_t>> put(1500000);
    for (auto& [symbol, extra] : put) {
        symbol = random() & 0xFF;
        if ((symbol & 15) > 11) symbol &= 0xF7;
        extra = random() & ((1u << (symbol & 15)) - 1);
    }
    for (bool spill : {false, true}) {
        SCOPED_TRACE(spill);
        mtxFileMemory file;
        mtxJpegSymbols symbols(1);
        if (spill) symbols.SpillTo(&file);
        for (auto [symbol, extra] : put) ASSERT_EQ(symbols.Put(symbol, extra), 1);
        ASSERT_EQ(symbols.Close(), 1);
        EXPECT_EQ(symbols.SpilledBytes() + symbols.Bytes(), size_t(3) << 20);
        EXPECT_EQ(symbols.Bytes(), size_t(spill ? 1 : 3) << 20);
        for (size_t i = 0; i < put.size(); ++i) {
            uint32_t symbol = symbols.Get(8);
            ASSERT_EQ(symbol, put[i].first) << i;
            ASSERT_EQ(symbols.Get(symbol & 15), put[i].second) << i;
        }
        EXPECT_EQ(symbols.Get(24), 0u);
        EXPECT_FALSE(symbols.Failed());
    }
    std::vector<uint8_t> room(100);
    mtxFileMemory full(0);
    full.Attach(room.data(), uint32_t(room.size()), 0);
    mtxJpegSymbols symbols(1);
    symbols.SpillTo(&full);
    int ok = 1;
    for (auto [symbol, extra] : put) ok &= symbols.Put(symbol, extra);
    EXPECT_EQ(ok, 0);
    EXPECT_TRUE(symbols.Failed());
}
