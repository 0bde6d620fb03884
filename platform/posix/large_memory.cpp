#include "platform/large_memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace mtxOs {

namespace {

// Transparent huge pages are 2 MB on x86-64; a block aligned to that can be backed by them.
constexpr size_t kHugePage = size_t(2) << 20;

size_t Rounded(size_t bytes) {
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

}  // namespace

void* AllocateLarge(size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
    size_t size = Rounded(bytes);
    // Map one huge page more than needed and trim both ends to a 2 MB boundary.
    size_t mapped = size + kHugePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t(kHugePage) - 1);
    if (aligned > start) munmap(raw, aligned - start);
    uintptr_t end = start + mapped, used = aligned + size;
    if (end > used) munmap(reinterpret_cast<void*>(used), end - used);
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

void FreeLarge(void* block, size_t bytes) {
    if (block) munmap(block, Rounded(bytes));
}

}  // namespace mtxOs
