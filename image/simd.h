#pragma once

// Which instruction set the hot pixel loops use. Each such loop is compiled
// twice: a portable version for baseline x86-64 (or any other processor) and,
// on x86-64, an AVX2 version chosen at run time when the processor offers it.
// Both give bit-identical results (no fused multiply-add is ever used).
namespace mtxSimd {

enum class Level { kPortable, kAvx2 };

// The level the loops use now: the best the processor offers unless forced.
Level Active();
// What the processor offers.
Level Best();
// Makes the loops use level (tests and benchmarks compare the paths); a level
// the processor lacks falls back to the portable one.
void Force(Level level);
// Back to the best level.
void Reset();

}  // namespace mtxSimd

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MTX_HAVE_AVX2_PATH 1
#define MTX_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define MTX_HAVE_AVX2_PATH 0
#define MTX_TARGET_AVX2
#endif
#define MTX_INLINE inline __attribute__((always_inline))
