#pragma once
// Resident memory of this process, for the benchmarks' peak-memory counters
// (Linux /proc).
#include <cstring>
#include <fstream>
#include <string>

// A field of /proc/self/status ("VmRSS:", "VmHWM:") in bytes; 0 when absent.
inline long long StatusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::strlen(field))) * 1024;
    return 0;
}

// Resets the high-water mark to the current resident size and returns that size.
inline long long ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return StatusBytes("VmRSS:");
}
