#include "app/filling/fill_pace.h"

#include <algorithm>

void mtxFillPace::Restart(uint32_t now) {
    interval = kCalmInterval;
    lastRun = now;
    justRan = 1;
    batched_ = false;
    between_ = 0;
}

int mtxFillPace::Tick(bool fast, const std::function<uint32_t()>& clock, const Step& step) {
    if (inBatch_) return 0;
    inBatch_ = true;
    int steps = fast ? Fast(clock, step) : Calm(clock, step);
    inBatch_ = false;
    return steps;
}

int mtxFillPace::Calm(const std::function<uint32_t()>& clock, const Step& step) {
    uint32_t now = clock();
    uint32_t elapsed = now - lastRun;  // modulo 2^32: the clock wraps
    uint32_t next = interval;
    if (justRan) {
        next = std::max(elapsed, kCalmInterval);
        justRan = 0;
    }
    int steps = 0;
    if (elapsed >= interval) {
        step(now);
        steps = 1;
        lastRun = clock();
        justRan = 1;
    }
    interval = next;
    return steps;
}

int mtxFillPace::Fast(const std::function<uint32_t()>& clock, const Step& step) {
    const uint32_t start = clock();
    if (batched_ && start - lastBatch_ < kFrameMs) return 0;
    between_ = batched_ ? start - lastBatchEnd_ : 0;
    batched_ = true;
    lastBatch_ = start;
    const uint32_t budget = Budget();
    int steps = 0;
    for (uint32_t now = start; steps < kMaxBatch; now = clock()) {
        if (steps > 0 && now - start >= budget) break;
        ++steps;
        if (!step(now)) break;
    }
    lastBatchEnd_ = clock();
    return steps;
}

uint32_t mtxFillPace::Budget() const {
    // A pause far longer than a frame (a menu, a dialog) says nothing of the frames.
    uint32_t frame = between_ <= kPauseMs ? between_ : 0;
    return std::clamp(2 * frame, kBudgetMs, kLongBudgetMs);
}
