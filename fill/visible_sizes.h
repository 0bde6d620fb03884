#pragma once
#include <cstdint>

#include "fill/sample_shapes.h"
#include "fill/stamp_canvas.h"

class mtxImage;
struct mtxStamp;
struct SampleCollection;

// Which stamps a viewer of the finished picture sees: for each cell of the
// photo, whether the stamp on top has a side of at least a given size. A
// picture of whole samples shows most of its area under stamps large enough
// to be recognised.
class mtxVisibleSizes {
  public:
    // The samples' shapes come from shapes, read from their textures when needed.
    explicit mtxVisibleSizes(mtxSampleShapes& shapes) : shapes_(shapes) {}

    // Cells of cell x cell pixels; stamps of side `large` or more count as
    // large. 1, or 0 when memory runs out or the photo is empty.
    int Reset(const mtxImage& photo, int cell, int32_t large);
    // Notes a stamp drawn on top of the others.
    void Note(const mtxStamp& stamp, const SampleCollection& samples);
    // The share (0..1) of the covered cells whose top stamp is large.
    double LargeShare() const;

  private:
    mtxStampCanvas canvas_;
    mtxSampleShapes& shapes_;
    int32_t large_ = 16;
};
