#include "fill/word_pipe.h"

#include <chrono>
#include <thread>

mcvWordPipe::mcvWordPipe(uint32_t log2Words)
    : ring_(new uint64_t[uint64_t(1) << log2Words]),
      mask_((uint64_t(1) << log2Words) - 1),
      room_(mask_ + 1) {}

void mcvWordPipe::Close() {
    written_.store(head_, std::memory_order_release);
    closed_.store(true, std::memory_order_release);
}

void mcvWordPipe::WaitForRoom() {
    // The reader may be waiting for the words of the batch not yet published.
    written_.store(head_, std::memory_order_release);
    for (uint32_t idle = 0;; ++idle) {
        uint64_t read = read_.load(std::memory_order_acquire);
        if (head_ - read <= mask_) {
            room_ = read + mask_ + 1;
            return;
        }
        Idle(idle);
    }
}

// Spinning answers within a fraction of a microsecond when the other thread runs on its own
// processor; yielding lets it run when it shares this one; a longer wait sleeps, so a thread that
// outpaces the other leaves the processor to the rest of the system (the ring holds thousands of
// words: a few tens of microseconds keep either side waiting seldom).
void mcvWordPipe::Idle(uint32_t rounds) {
    if (rounds < 2000) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    } else if (rounds < 2010) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}
