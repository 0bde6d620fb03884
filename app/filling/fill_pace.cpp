#include "app/filling/fill_pace.h"

#include <algorithm>

void mtxFillPace::Restart(uint32_t now) {
    interval = kCalmInterval;
    lastRun = now;
    justRan = 1;
}

int mtxFillPace::Tick(const std::function<uint32_t()>& clock, const Step& step) {
    if (inStep_) return 0;
    uint32_t now = clock();
    uint32_t elapsed = now - lastRun;  // modulo 2^32: the clock wraps
    uint32_t next = interval;
    if (justRan) {
        next = std::max(elapsed, kCalmInterval);
        justRan = 0;
    }
    int steps = 0;
    if (elapsed >= interval) {
        inStep_ = true;
        step(now);
        inStep_ = false;
        steps = 1;
        lastRun = clock();
        justRan = 1;
    }
    interval = next;
    return steps;
}
