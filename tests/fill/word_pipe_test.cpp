#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "fill/word_pipe.h"

namespace {

// Through a ring of a thousand words, far fewer than pass: the writer waits for room and the
// reader for words over and over, each side now and then pausing so the other fills or empties
// the ring, and the spans taken start anywhere in it, some running over its end. Every word must
// arrive once, in order.
TEST(WordPipe, EveryWordArrivesOnceInOrderThroughASmallRing) {
    constexpr uint64_t kWords = 1000000;
    mcvWordPipe pipe(10);
    uint64_t expected = 0, spans = 0;
    bool inOrder = true;
    std::thread reader([&] {
        pipe.Drain([&](const uint64_t* words, uint32_t count) {
            for (uint32_t i = 0; i < count; ++i) inOrder &= words[i] == expected++ * 3 + 1;
            if (++spans % 500 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
        });
    });
    for (uint64_t i = 0; i < kWords; ++i) {
        pipe.Put(i * 3 + 1);
        if (i % 70001 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    pipe.Close();
    reader.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, kWords);
}

// A pipe closed with words not yet taken still hands them all over; one closed empty ends at once.
TEST(WordPipe, CloseHandsOverTheLastWords) {
    for (uint64_t words : {0u, 1u, 7u, 300u}) {
        mcvWordPipe pipe(10);
        for (uint64_t i = 0; i < words; ++i) pipe.Put(i);
        pipe.Close();
        uint64_t taken = 0;
        pipe.Drain([&](const uint64_t* w, uint32_t count) {
            for (uint32_t i = 0; i < count; ++i) EXPECT_EQ(w[i], taken++);
        });
        EXPECT_EQ(taken, words);
    }
}

}  // namespace
