#include "fill/fill_random.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using Wide = unsigned __int128;

// The recurrence written out with 128-bit arithmetic, apart from the class.
uint32_t Reference(Wide& state) {
    const Wide word = Wide(1) << 32;
    state = (state % word) * 1554115554u + state / word;
    return uint32_t(state % word);
}

}  // namespace

TEST(FillRandom, DrawsFollowTheMultiplyWithCarryRecurrence) {
    for (uint64_t seed : {uint64_t(1), uint64_t(0x123456789ABCDEF0u), ~uint64_t(0),
                          uint64_t(0xFFFFFFFFu), uint64_t(1554115553u) << 32}) {
        mtxFillRandom random(seed);
        Wide state = seed;
        for (int i = 0; i < 10000; ++i) {
            ASSERT_EQ(random.Next(), Reference(state)) << "seed " << seed << " draw " << i;
            ASSERT_EQ(random.state, uint64_t(state));
        }
    }
}

TEST(FillRandom, KnownFirstDraws) {
    // state 1: 1 x 1554115554 + 0; then 1554115554^2 split into words.
    mtxFillRandom random(1);
    EXPECT_EQ(random.Next(), 1554115554u);
    uint64_t square = uint64_t(1554115554u) * 1554115554u;
    EXPECT_EQ(random.Next(), uint32_t(square));
    EXPECT_EQ(random.Below(1), 0u);
}

TEST(FillRandom, DegenerateStatesStayPutAndSeedsAvoidThem) {
    for (uint64_t fixed : {uint64_t(0), mtxFillRandom::kFixedPoint}) {
        mtxFillRandom random(fixed);
        random.Next();
        EXPECT_EQ(random.state, fixed);
    }
    std::set<uint64_t> states;
    for (uint64_t n = 0; n < 1000; ++n) {
        mtxFillRandom random = mtxFillRandom::Seeded(n);
        EXPECT_NE(random.state, 0u);
        EXPECT_NE(random.state, mtxFillRandom::kFixedPoint);
        states.insert(random.state);
        EXPECT_EQ(mtxFillRandom::Seeded(n).state, random.state);  // reproducible
    }
    EXPECT_EQ(states.size(), 1000u);
}

TEST(FillRandom, CycleCounterWordsAreSwapped) {
    EXPECT_EQ(mtxFillRandom::FromCycleCount(0x0000000100000002u).state, 0x0000000200000001u);
}
