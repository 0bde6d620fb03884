#pragma once
#include <cstdint>
#include <deque>

// The pace of a run as the tool's bar shows it: stamps a second over the
// last seconds, and the time until the coverage reaches a mark. The
// uncovered share shrinks about geometrically with the stamps (each stamp
// lands on uncovered ground with the chance of that share), so the time
// left is extrapolated on its logarithm, not on the coverage itself.
class mtxFillRate {
  public:
    static constexpr uint32_t kWindowMs = 2000;  // readings older than this go
    static constexpr uint32_t kLeastMs = 200;    // readings closer than this tell nothing

    // The run starts (again) at now: earlier readings go.
    void Restart(uint32_t now, uint64_t stamps, double coverage);
    // A reading: the clock in ms, stamps placed so far, coverage 0..1.
    void Note(uint32_t now, uint64_t stamps, double coverage);
    // Stamps a second over the window; 0 while it spans less than kLeastMs.
    double StampsPerSecond() const;
    // Seconds until the coverage reaches mark (0..1) at the recent pace: 0
    // when it is there; negative when it does not grow (or not yet known).
    double SecondsTo(double mark) const;

  private:
    struct Reading {
        uint32_t time;
        uint64_t stamps;
        double coverage;
    };
    uint32_t Span() const;

    std::deque<Reading> readings_;
};
