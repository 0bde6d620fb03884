#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

// Hands 64-bit words from one thread (the writer) to another (the reader), in order, through a
// ring of fixed size, to be taken by a function both share: take(words, count) on each span of
// words in turn. The writer publishes its position once per batch of words, so the two threads
// share a cache line only that often. Whoever takes holds the pipe's taking flag, so the spans
// are taken one at a time and in order, by either thread: a writer finding the ring full takes
// words itself rather than wait for a reader that a busy machine may keep from running.
class mcvWordPipe {
  public:
    // A ring of 2^log2Words words. Throws std::bad_alloc when memory is short.
    explicit mcvWordPipe(uint32_t log2Words);

    // Writer: appends a word; while the ring is full, takes words with take.
    template <class Take>
    void Put(uint64_t word, Take&& take) {
        if (head_ == room_) MakeRoom(take);
        ring_[head_ & mask_] = word;
        if ((++head_ & (kBatch - 1)) == 0) written_.store(head_, std::memory_order_release);
    }
    // Writer: no more words; the reader's Drain returns once the rest are taken.
    void Close();

    // Reader: takes the words as they come until the writer has closed the pipe and every word
    // is taken.
    template <class Take>
    void Drain(Take&& take) {
        for (uint32_t idle = 0;;) {
            bool closed = closed_.load(std::memory_order_acquire);
            int took = TakeSpan(take);
            if (took > 0) {
                idle = 0;
            } else if (took == 0 && closed) {
                return;
            } else {
                Idle(idle++, kReaderSleep);
            }
        }
    }

  private:
    static constexpr uint64_t kBatch = 256;
    // At most this many words a span, so the ring soon has room again.
    static constexpr uint64_t kSpan = kBatch * 16;

    // Takes the next span of published words: 1, or 0 when there are none, or -1 when the other
    // thread is taking.
    template <class Take>
    int TakeSpan(Take& take) {
        if (taking_.exchange(true, std::memory_order_acquire)) return -1;
        uint64_t tail = read_.load(std::memory_order_relaxed);
        uint64_t head = written_.load(std::memory_order_acquire);
        int took = 0;
        if (head != tail) {
            uint64_t end = std::min({head, tail + kSpan, (tail | mask_) + 1});
            take(&ring_[tail & mask_], uint32_t(end - tail));
            read_.store(end, std::memory_order_release);
            took = 1;
        }
        taking_.store(false, std::memory_order_release);
        return took;
    }
    template <class Take>
    void MakeRoom(Take& take) {
        written_.store(head_, std::memory_order_release);
        for (uint32_t idle = 0;;) {
            uint64_t read = read_.load(std::memory_order_acquire);
            if (head_ - read <= mask_) {
                room_ = read + mask_ + 1;
                return;
            }
            if (TakeSpan(take) < 0) Idle(idle++, kWriterSleep);
        }
    }
    // How long a waiting reader sleeps, in microseconds: long, as the ring holds many
    // milliseconds of words and a full ring is the writer's to take, and every wake-up of the
    // reader takes a processor from the writer on a busy machine. A writer waits only while the
    // reader takes one span.
    static constexpr uint32_t kReaderSleep = 1000, kWriterSleep = 20;
    static void Idle(uint32_t rounds, uint32_t sleep);

    std::unique_ptr<uint64_t[]> ring_;
    uint64_t mask_;
    // The writer's own: its position and how far it may write before it must look at read_.
    uint64_t head_ = 0, room_;
    alignas(64) std::atomic<uint64_t> written_{0};
    std::atomic<bool> closed_{false};
    alignas(64) std::atomic<uint64_t> read_{0};
    std::atomic<bool> taking_{false};
};
