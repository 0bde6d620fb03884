#pragma once
#include <cstdint>

// Processor identification and clocks.
namespace mtxOs {

struct CpuFeatures {
    bool mmx = false, sse = false, sse2 = false, has3DNow = false;
};

// What CPUID reports; all false on processors without it.
CpuFeatures DetectCpu();

// The processor's cycle counter; a nanosecond steady clock where there is none.
uint64_t CycleCounter();

// The performance counter and its frequency (ticks per second).
uint64_t PerformanceCounter();
uint64_t PerformanceFrequency();

// Milliseconds of a monotonic clock, wrapping at 2^32 (timeGetTime).
uint32_t Milliseconds();

void SleepMilliseconds(uint32_t ms);

}  // namespace mtxOs
