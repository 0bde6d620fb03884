#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "fill/word_pipe.h"

namespace {

// Checks that the words taken, by whichever thread, are 3i + 1 for i = 0, 1, 2... in order.
struct Taker {
    uint64_t expected = 0, spans = 0;
    bool inOrder = true;
    uint32_t pauseEvery = 0;  // spans between pauses of the taker, 0 for none
    void operator()(const uint64_t* words, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) inOrder &= words[i] == expected++ * 3 + 1;
        if (pauseEvery && ++spans % pauseEvery == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
};

// Through a ring of a thousand words, far fewer than pass: the writer finds the ring full and the
// reader finds it empty over and over, the taking now and then pausing and the writer too, and
// the spans taken start anywhere in the ring, some running over its end. Every word must arrive
// once, in order.
TEST(WordPipe, EveryWordArrivesOnceInOrderThroughASmallRing) {
    constexpr uint64_t kWords = 1000000;
    mcvWordPipe pipe(10);
    Taker taker;
    taker.pauseEvery = 500;
    std::thread reader([&] { pipe.Drain(taker); });
    for (uint64_t i = 0; i < kWords; ++i) {
        pipe.Put(i * 3 + 1, taker);
        if (i % 70001 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    pipe.Close();
    reader.join();
    EXPECT_TRUE(taker.inOrder);
    EXPECT_EQ(taker.expected, kWords);
}

// With no reader running, a writer that fills the ring takes the words itself and goes on; a
// pipe closed with words not yet taken hands them all over, and one closed empty ends at once.
TEST(WordPipe, WriterTakesWhenNoReaderRunsAndCloseHandsOverTheRest) {
    for (uint64_t words : {0u, 1u, 7u, 8u, 300u, 5000u}) {
        mcvWordPipe pipe(3);
        Taker taker;
        for (uint64_t i = 0; i < words; ++i) pipe.Put(i * 3 + 1, taker);
        EXPECT_GE(taker.expected + 8, words);
        pipe.Close();
        pipe.Drain(taker);
        EXPECT_TRUE(taker.inOrder);
        EXPECT_EQ(taker.expected, words);
    }
}

}  // namespace
