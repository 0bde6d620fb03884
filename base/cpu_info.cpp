#include "base/cpu_info.h"

#include "platform/cpu.h"

void mtxCpuInfo::Detect() {
    mtxOs::CpuFeatures f = mtxOs::DetectCpu();
    hasMMX = f.mmx;
    hasSSE = f.sse;
    hasSSE2 = f.sse2;
    has3DNow = f.has3DNow;

    uint64_t cycles, counter;
    do {
        uint64_t counter0 = mtxOs::PerformanceCounter();
        uint64_t cycles0 = mtxOs::CycleCounter();
        mtxOs::SleepMilliseconds(300);
        counter = mtxOs::PerformanceCounter() - counter0;
        cycles = mtxOs::CycleCounter() - cycles0;
    } while (cycles == 0 || counter == 0);
    // Divide before multiplying: ticks x frequency overflows 64 bits after a
    // few seconds of a fast clock, and 300 ms of ticks keeps plenty of digits.
    unsigned __int128 perSecond =
        static_cast<unsigned __int128>(cycles) * mtxOs::PerformanceFrequency() / counter;
    cyclesPerMicrosecond = static_cast<uint32_t>(perSecond / 1000000u);
    if (cyclesPerMicrosecond == 0) cyclesPerMicrosecond = 1;
}
