#pragma once
#include <cstdint>

#include "fill/fill_engine.h"
#include "image/field.h"

class SampleCollection;
class mtxImage;
class mtxSampleShapes;

// The stamp brush of the hand: a stamp at a point, sized by the room the
// segmentation leaves there (as the engines size theirs) and bounded by the
// brush's size, coloured by the photo's mean under its middle as the Fine
// engine colours its stamps, turned, mirrored and flipped as the options
// say. Those draws (and a sample chosen at random) come from a generator
// seeded by the point and a salt (the log's length), so the same stroke on
// the same log gives the same stamps.
class mtxStampBrush {
  public:
    static constexpr int32_t kAnySample = -1;
    static constexpr int kSmallest = 3;  // pixels

    int32_t sample = kAnySample;  // the sample stamped, or any: by colour or at random
    int size = 32;                // the largest size, pixels

    // The stamp at pixel (x, y) of photo, with room from distance (a field
    // of the photo's size; otherwise only the brush's size bounds it). false
    // outside the photo, on pixels without alpha, or without samples.
    bool Compose(int x, int y, uint64_t salt, SampleCollection& samples, mtxSampleShapes& shapes,
                 const mtxImage& photo, const mtxFloatField& distance, mtxStamp& stamp) const;
    // How far a stroke goes before it places the next stamp after one of this size.
    static float Spacing(int size);
};
