#include "base/id_pool.h"

#include <bit>

uint16_t mtxIdPool::Take() {
    std::lock_guard guard(lock_);
    for (unsigned word = 0; word < 1024; ++word) {
        // Id 0 counts as taken so the search never returns it.
        uint64_t used = bits_[word] | (word == 0 ? 1u : 0u);
        if (used == ~uint64_t{0}) continue;
        unsigned bit = static_cast<unsigned>(std::countr_one(used));
        bits_[word] |= uint64_t{1} << bit;
        return static_cast<uint16_t>(word * 64 + bit);
    }
    return 0;
}

void mtxIdPool::Give(uint16_t id) {
    std::lock_guard guard(lock_);
    bits_[id / 64] &= ~(uint64_t{1} << (id % 64));
}
