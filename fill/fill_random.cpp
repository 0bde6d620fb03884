#include "fill/fill_random.h"

#include "platform/cpu.h"

mtxFillRandom mtxFillRandom::FromCycleCounter() {
    return FromCycleCount(mtxOs::CycleCounter());
}

mtxFillRandom mtxFillRandom::FromCycleCount(uint64_t cycles) {
    return mtxFillRandom((cycles << 32) | (cycles >> 32));
}

mtxFillRandom mtxFillRandom::Seeded(uint64_t n) {
    // splitmix64's finaliser spreads neighbouring numbers over the whole state.
    uint64_t z = n + 0x9E3779B97F4A7C15u;
    for (;;) {
        uint64_t x = z;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
        x ^= x >> 31;
        if (x != 0 && x != kFixedPoint) return mtxFillRandom(x);
        z += 0x9E3779B97F4A7C15u;
    }
}
