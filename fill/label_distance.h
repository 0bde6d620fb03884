#pragma once
#include <cstdint>

// Chamfer distances inside the areas of a label image, all labels at once.
//
// Every pixel gets its distance to the nearest pixel of another label, measured with the 5 x 5
// chamfer mask in fixed point. That is the distance a mask transform of one label alone gives its
// pixels (the label's pixels start far away, every other pixel is a source at 0): a pixel of
// label g reads its neighbours' running values only when they are of label g too and counts any
// other neighbour as a source at 0, which is exactly what the one-label transform sees. The
// area beyond the picture is no source, as there. So one forward and one backward sweep give the
// field that one transform per label would give, value for value.
//
// The sweeps run a row at a time so the work can stop between rows, or a span of a row at a time:
// a span reads, in its own row, only pixels before it in the sweep's direction, and in the rows
// behind it up to two pixels beyond its ends, so column blocks of at least two pixels can run
// on different threads once their neighbours are far enough.
class mcvLabelDistance {
  public:
    // Fixed-point weights (18 fractional bits) of the edge, diagonal and knight's-move neighbours.
    struct Weights {
        int32_t a, b, c;
    };
    static constexpr int32_t kFar = 0x3FFFFFFF;

    // labels: width x height words, rows labelPitch bytes apart; work: width x height fixed-point
    // values, contiguous rows. Both must outlive the sweeps.
    mcvLabelDistance(const uint32_t* labels, int32_t labelPitch, int32_t* work, uint32_t width,
                     uint32_t height, Weights weights);

    // Forward sweep of row y (top to bottom, each row left to right); rows above y must be done.
    void ForwardRow(uint32_t y);
    // Backward sweep of row y (bottom to top, each row right to left); rows below y must be done,
    // and the whole forward sweep. Writes the row's final distances in pixels into out.
    void BackwardRow(uint32_t y, float* out);
    // The same for columns first..last-1 only, each: ForwardSpan once the columns before first
    // are done in row y, and rows y - 1 and y - 2 up to two columns past last; BackwardSpan once
    // the columns from last on are done in row y, and rows y + 1 and y + 2 up to two columns
    // before first. BackwardSpan writes out[first..last-1].
    void ForwardSpan(uint32_t y, uint32_t first, uint32_t last);
    void BackwardSpan(uint32_t y, uint32_t first, uint32_t last, float* out);

  private:
    const uint32_t* Labels(int64_t y) const {
        return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(labels_) +
                                                 y * labelPitch_);
    }
    int32_t* Work(int64_t y) const { return work_ + y * int64_t(width_); }

    const uint32_t* labels_;
    int32_t labelPitch_;
    int32_t* work_;
    int64_t width_, height_;
    Weights w_;
};
