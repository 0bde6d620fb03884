#include "app/filling/fill_rate.h"

#include <cmath>

void mtxFillRate::Restart(uint32_t now, uint64_t stamps, double coverage) {
    readings_.clear();
    readings_.push_back({now, stamps, coverage});
}

void mtxFillRate::Note(uint32_t now, uint64_t stamps, double coverage) {
    // Fewer stamps than before: the counts started again (a new background).
    if (!readings_.empty() && stamps < readings_.back().stamps) readings_.clear();
    readings_.push_back({now, stamps, coverage});
    while (readings_.size() > 2 && now - readings_[1].time >= kWindowMs) readings_.pop_front();
}

uint32_t mtxFillRate::Span() const {
    return readings_.size() < 2 ? 0 : readings_.back().time - readings_.front().time;
}

double mtxFillRate::StampsPerSecond() const {
    uint32_t span = Span();
    if (span < kLeastMs) return 0;
    return double(readings_.back().stamps - readings_.front().stamps) * 1000.0 / double(span);
}

double mtxFillRate::SecondsTo(double mark) const {
    if (readings_.empty()) return -1;
    const Reading& last = readings_.back();
    if (last.coverage >= mark) return 0;
    uint32_t span = Span();
    if (span < kLeastMs) return -1;
    double before = 1.0 - readings_.front().coverage, now = 1.0 - last.coverage;
    if (now <= 0 || before <= now) return -1;
    // Per second the uncovered share shrinks by the factor (now / before)^(1000 / span).
    double shrink = std::log(before / now) * 1000.0 / double(span);
    double left = 1.0 - mark;
    if (left <= 0) return -1;
    return std::log(now / left) / shrink;
}
