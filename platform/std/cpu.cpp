#include "platform/cpu.h"

#include <chrono>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define MTX_HAVE_X86 1
#endif

namespace mtxOs {

CpuFeatures DetectCpu() {
    CpuFeatures f;
#ifdef MTX_HAVE_X86
    unsigned a, b, c, d;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        f.mmx = (d >> 23) & 1;
        // Every x86-64 system enables SSE and SSE2 in the kernel, so the bits
        // alone tell whether the instructions run.
        f.sse = ((d >> 25) & 1) && ((d >> 24) & 1);
        f.sse2 = f.sse && ((d >> 26) & 1);
    }
    if (__get_cpuid(0x80000000, &a, &b, &c, &d) && a >= 0x80000001u &&
        __get_cpuid(0x80000001, &a, &b, &c, &d))
        f.has3DNow = a != 0 && f.mmx && ((d >> 31) & 1);
#endif
    return f;
}

uint64_t CycleCounter() {
#ifdef MTX_HAVE_X86
    return __rdtsc();
#else
    return PerformanceCounter();
#endif
}

uint64_t PerformanceCounter() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

uint64_t PerformanceFrequency() {
    return 1000000000ull;
}

uint32_t Milliseconds() {
    return static_cast<uint32_t>(PerformanceCounter() / 1000000ull);
}

void SleepMilliseconds(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace mtxOs
