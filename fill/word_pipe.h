#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

// Hands 64-bit words from one thread (the writer) to one other (the reader), in order, through a
// ring of fixed size. The writer publishes its position once per batch of words, so the two
// threads share a cache line only that often; a writer finding the ring full, or a reader finding
// it empty, spins briefly and then yields the processor.
class mcvWordPipe {
  public:
    // A ring of 2^log2Words words. Throws std::bad_alloc when memory is short.
    explicit mcvWordPipe(uint32_t log2Words);

    // Writer: appends a word, waiting while the ring is full.
    void Put(uint64_t word) {
        if (head_ == room_) WaitForRoom();
        ring_[head_ & mask_] = word;
        if ((++head_ & (kBatch - 1)) == 0) written_.store(head_, std::memory_order_release);
    }
    // Writer: no more words; the reader's Drain returns once it has taken the rest.
    void Close();

    // Reader: calls take(words, count) on the words in order, a span at a time, until the writer
    // has closed the pipe and every word is taken.
    template <class Take>
    void Drain(Take&& take) {
        uint64_t tail = 0;
        for (uint32_t idle = 0;;) {
            bool closed = closed_.load(std::memory_order_acquire);
            uint64_t head = written_.load(std::memory_order_acquire);
            if (head == tail) {
                if (closed) return;
                Idle(idle++);
                continue;
            }
            idle = 0;
            // A span stops at the end of the ring and is at most a batch long, so the writer
            // soon has room again.
            uint64_t end = std::min(head, tail + kBatch * 16);
            uint64_t ringEnd = (tail | mask_) + 1;
            if (end > ringEnd) end = ringEnd;
            take(&ring_[tail & mask_], uint32_t(end - tail));
            tail = end;
            read_.store(tail, std::memory_order_release);
        }
    }

  private:
    static constexpr uint64_t kBatch = 256;
    void WaitForRoom();
    static void Idle(uint32_t rounds);

    std::unique_ptr<uint64_t[]> ring_;
    uint64_t mask_;
    // The writer's own: its position and how far it may write before it must look at read_.
    uint64_t head_ = 0, room_;
    alignas(64) std::atomic<uint64_t> written_{0};
    std::atomic<bool> closed_{false};
    alignas(64) std::atomic<uint64_t> read_{0};
};
