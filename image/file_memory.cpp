#include "image/file_memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
constexpr uint32_t kMaxOffset = 0x7FFFFFFF;
}

mtxFileMemory::~mtxFileMemory() {
    if (ownsBuffer_ && buffer_) FreeBuffer(buffer_);
}

void mtxFileMemory::Attach(void* buffer, uint32_t size, uint32_t growStep) {
    if (ownsBuffer_ && buffer_) FreeBuffer(buffer_);
    buffer_ = static_cast<uint8_t*>(buffer);
    growStep_ = growStep;
    position_ = 0;
    capacity_ = size;
    length_ = growStep == 0 ? size : 0;
    ownsBuffer_ = 0;
}

void* mtxFileMemory::AllocBuffer(uint32_t bytes) {
    return std::malloc(bytes ? bytes : 1);
}
void* mtxFileMemory::ReallocBuffer(void* block, uint32_t bytes) {
    return std::realloc(block, bytes);
}
void* mtxFileMemory::CopyBytes(void* d, const void* s, uint32_t n) {
    return std::memcpy(d, s, n);
}
void mtxFileMemory::FreeBuffer(void* block) {
    if (block) std::free(block);
}

int mtxFileMemory::GrowBuffer(uint32_t size) {
    if (size <= capacity_) return 1;
    if (growStep_ == 0) return 0;
    uint64_t capacity = capacity_;
    while (capacity < size) capacity += growStep_;
    if (capacity > 0xFFFFFFFFull) return 0;
    void* block;
    if (buffer_ && ownsBuffer_) {
        block = ReallocBuffer(buffer_, static_cast<uint32_t>(capacity));
    } else {
        // An attached buffer belongs to someone else: move to one of our own.
        block = AllocBuffer(static_cast<uint32_t>(capacity));
        if (block && buffer_) CopyBytes(block, buffer_, length_);
    }
    if (!block) return 0;
    buffer_ = static_cast<uint8_t*>(block);
    capacity_ = static_cast<uint32_t>(capacity);
    ownsBuffer_ = 1;
    return 1;
}

// Bytes between the old end and a later write read back as zeros.
void mtxFileMemory::ZeroGap(uint32_t from, uint32_t to) {
    if (to > from) std::memset(buffer_ + from, 0, to - from);
}

int64_t mtxFileMemory::Seek(int64_t offset, int origin) {
    int64_t base;
    switch (origin) {
        case 0:
            base = 0;
            break;
        case 1:
            base = position_;
            break;
        case 2:
            base = length_;
            break;
        default:
            return position_;
    }
    int64_t target = base + offset;
    if (target < 0 || target > kMaxOffset) return -1;
    position_ = static_cast<uint32_t>(target);
    return target;
}

int mtxFileMemory::SetLength(int64_t length) {
    if (length < 0 || length > kMaxOffset) return 0;
    uint32_t n = static_cast<uint32_t>(length);
    if (n > capacity_ && !GrowBuffer(n)) return 0;
    ZeroGap(length_, n);
    if (n < position_) position_ = n;
    length_ = n;
    return 1;
}

uint32_t mtxFileMemory::Read(void* buffer, uint32_t count) {
    if (position_ >= length_ || count == 0) return 0;
    uint32_t n = std::min(count, length_ - position_);
    CopyBytes(buffer, buffer_ + position_, n);
    position_ += n;
    return n;
}

int mtxFileMemory::Write(const void* buffer, uint32_t count) {
    if (count == 0) return 0;
    uint64_t end = uint64_t(position_) + count;
    if (end > kMaxOffset + 1ull) return 0;
    if (end > capacity_ && !GrowBuffer(static_cast<uint32_t>(end))) return 0;
    ZeroGap(length_, position_);
    CopyBytes(buffer_ + position_, buffer, count);
    position_ = static_cast<uint32_t>(end);
    length_ = std::max(length_, position_);
    return 1;
}

int mtxFileMemory::Close() {
    if (ownsBuffer_ && buffer_) FreeBuffer(buffer_);
    buffer_ = nullptr;
    ownsBuffer_ = 1;
    growStep_ = position_ = capacity_ = length_ = 0;
    return 1;
}

uint32_t mtxFileMemory::MapBuffer(int command, uint32_t count, uint8_t** start, uint8_t** end) {
    switch (command) {
        case 3:
            return growStep_ > 0 ? 1 : 0;
        case 2:
            position_ =
                static_cast<uint32_t>(std::min<uint64_t>(uint64_t(position_) + count, capacity_));
            length_ = std::max(length_, position_);
            return 0;
        case 1: {
            uint64_t want = uint64_t(position_) + count;
            if (want > capacity_ && want <= kMaxOffset + 1ull)
                GrowBuffer(static_cast<uint32_t>(want));
            if (position_ >= capacity_) {
                *start = *end = buffer_ + capacity_;
                return 0;
            }
            ZeroGap(length_, position_);
            *start = buffer_ + position_;
            *end = buffer_ + std::min<uint64_t>(capacity_, want);
            return static_cast<uint32_t>(*end - *start);
        }
        case 0: {
            uint64_t want = count == 0xFFFFFFFF ? capacity_ : uint64_t(position_) + count;
            uint32_t stop = static_cast<uint32_t>(std::min<uint64_t>(want, length_));
            stop = std::max(stop, std::min(position_, length_));
            *start = buffer_ + std::min(position_, length_);
            *end = buffer_ + stop;
            position_ = std::max(position_, stop);
            return static_cast<uint32_t>(*end - *start);
        }
        default:
            return 0;
    }
}
