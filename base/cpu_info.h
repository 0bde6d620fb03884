#pragma once
#include <cstdint>

// What the processor offers, and how fast its cycle counter runs.
struct mtxCpuInfo {
    uint32_t hasMMX = 0;
    uint32_t has3DNow = 0;
    uint32_t hasSSE = 0;
    uint32_t hasSSE2 = 0;
    uint32_t cyclesPerMicrosecond = 0;  // cycle counter ticks per microsecond (MHz)

    // Fills the flags from CPUID and measures the cycle counter against the
    // performance counter over at least 300 ms.
    void Detect();
};
