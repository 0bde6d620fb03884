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

// A short spin answers at once when the other thread is about to catch up; a longer wait sleeps,
// so the waiting thread leaves its processor to the other (which may share it, on a busy machine)
// instead of polling it away.
void mcvWordPipe::Idle(uint32_t rounds, uint32_t sleep) {
    if (rounds < 100) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    } else {
        std::this_thread::sleep_for(std::chrono::microseconds(sleep));
    }
}
