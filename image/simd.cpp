#include "image/simd.h"

#include <atomic>

namespace mtxSimd {
namespace {

Level Detect() {
#if MTX_HAVE_AVX2_PATH
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return Level::kAvx2;
#endif
    return Level::kPortable;
}

std::atomic<int> forced{-1};

}  // namespace

Level Best() {
    static const Level best = Detect();
    return best;
}

Level Active() {
    int f = forced.load(std::memory_order_relaxed);
    return f < 0 ? Best() : Level(f);
}

void Force(Level level) {
    if (level == Level::kAvx2 && Best() != Level::kAvx2) level = Level::kPortable;
    forced.store(int(level), std::memory_order_relaxed);
}

void Reset() {
    forced.store(-1, std::memory_order_relaxed);
}

}  // namespace mtxSimd
