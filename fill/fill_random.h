#pragma once
#include <cstdint>

// The filling engine's random generator: a 64-bit multiply-with-carry state.
// One draw: state := (state mod 2^32) x 1554115554 + (state div 2^32), and the
// draw is the new state's low 32 bits. The engine draws only at fixed points
// of a step, so one seed and one set of options give the same picture.
class mtxFillRandom {
  public:
    static constexpr uint64_t kMultiplier = 1554115554u;
    // The two states a draw maps to themselves: a x m + c = c x 2^32 + a for the
    // low word a and high word c holds for a = c = 0 and for a = 2^32 - 1,
    // c = m - 1 only, since m - 1 and 2^32 - 1 share no factor.
    static constexpr uint64_t kFixedPoint = (uint64_t(kMultiplier - 1) << 32) | 0xFFFFFFFFu;

    explicit mtxFillRandom(uint64_t initial = 0) : state(initial) {}

    // Seeded from the processor's cycle counter: its high word becomes the
    // state's low word and its low word the high word.
    static mtxFillRandom FromCycleCounter();
    static mtxFillRandom FromCycleCount(uint64_t cycles);
    // A reproducible state for a user's number: n mixed (splitmix64) into a
    // state the generator can leave, so every n gives a useful sequence.
    static mtxFillRandom Seeded(uint64_t n);

    uint32_t Next() {
        state = (state & 0xFFFFFFFFu) * kMultiplier + (state >> 32);
        return uint32_t(state);
    }
    // A draw taken modulo n (n > 0), as unsigned 32-bit values.
    uint32_t Below(uint32_t n) { return Next() % n; }

    uint64_t state;
};
