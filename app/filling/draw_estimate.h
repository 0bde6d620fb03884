#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

struct mtxStamp;

// How long stamps take to draw, learnt from the chunks drawn, so a frame's
// drawing is cut to its budget before it starts. A stamp costs its pixels
// and a fixed part (its vertices, its texture's binding): a Fine run begins
// with stamps a hundred times the area of its last ones, and a count of
// stamps a millisecond learnt on small stamps overshoots many times on large
// ones.
class mtxDrawEstimate {
  public:
    // What a stamp's vertices and state cost, in pixels of blending.
    static constexpr double kStampPixels = 300;

    // How many of stamps, from the first, are expected to draw within
    // budgetMs; one at least (when there is one).
    size_t Fitting(std::span<const mtxStamp> stamps, uint32_t budgetMs) const;
    // Notes that stamps took ms to draw (by a clock of whole milliseconds:
    // the sums even out its rounding over the chunks).
    void Note(std::span<const mtxStamp> stamps, uint32_t ms);
    // Pixels a millisecond, as far as learnt.
    double PixelsPerMs() const { return pixels_ / ms_; }

    static double Cost(const mtxStamp& stamp);

  private:
    // Older chunks weigh less: the speed changes with the machine's load and
    // the stamps' sizes.
    static constexpr double kKeep = 0.75;
    // Before anything is drawn: a slow guess, weighing as one millisecond.
    double pixels_ = 10000, ms_ = 1;
};
