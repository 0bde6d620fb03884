#pragma once
#include <cstddef>

// Memory for large per-pixel arrays (tens to hundreds of megabytes): whole pages from the
// system, advised to be backed by huge pages where the system offers them, so first touching
// the block costs a few page faults instead of one per 4 KB. The block reads as zeros.
namespace mtxOs {

// bytes of zeroed memory aligned to at least 64 bytes; null when memory is short.
void* AllocateLarge(size_t bytes);
// Gives back a block from AllocateLarge with the same byte count; null does nothing.
void FreeLarge(void* block, size_t bytes);

}  // namespace mtxOs
