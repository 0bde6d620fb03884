#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/large_memory.h"

// An owned array of a trivial type for per-pixel data, in memory from mtxOs::AllocateLarge
// (huge pages where the system has them) when it is large. Elements start as zero bytes.
template <class T>
class mcvLargeArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

  public:
    mcvLargeArray() = default;
    ~mcvLargeArray() { reset(); }
    mcvLargeArray(const mcvLargeArray&) = delete;
    mcvLargeArray& operator=(const mcvLargeArray&) = delete;
    mcvLargeArray(mcvLargeArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0)) {}
    mcvLargeArray& operator=(mcvLargeArray&& other) noexcept {
        if (this != &other) {
            reset();
            data_ = std::exchange(other.data_, nullptr);
            count_ = std::exchange(other.count_, 0);
        }
        return *this;
    }

    // Replaces the array by count zeroed elements (at least one, so the array is never null
    // once allocated). Throws std::bad_alloc when memory is short.
    void allocate(size_t count) {
        reset();
        size_t n = count ? count : 1;
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        void* block = Small(n) ? std::calloc(n, sizeof(T)) : mtxOs::AllocateLarge(n * sizeof(T));
        if (!block) throw std::bad_alloc();
        data_ = static_cast<T*>(block);
        count_ = n;
    }
    void reset() {
        if (Small(count_))
            std::free(data_);
        else
            mtxOs::FreeLarge(data_, count_ * sizeof(T));
        data_ = nullptr;
        count_ = 0;
    }

    T* get() const { return data_; }
    // Writes a zero into each page, so the system maps them all now, on the
    // calling thread, where the first use would fault each page in.
    void touch() {
        constexpr size_t kPage = 4096;
        auto* bytes = reinterpret_cast<unsigned char*>(data_);
        for (size_t at = 0; at < count_ * sizeof(T); at += kPage) bytes[at] = 0;
    }
    T& operator[](size_t i) const { return data_[i]; }
    explicit operator bool() const { return data_ != nullptr; }

  private:
    // Arrays under a megabyte come from the heap: whole huge pages would waste more than they
    // save.
    static bool Small(size_t count) { return count * sizeof(T) < (size_t(1) << 20); }

    T* data_ = nullptr;
    size_t count_ = 0;
};
