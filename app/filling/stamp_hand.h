#pragma once
#include <cstdint>
#include <vector>

#include "fill/stamp_brush.h"
#include "image/field.h"

class SampleCollection;
class mtxFillSession;

// The filling tool's stamp hands, in the session layer's pixels. The stamp
// brush places one stamp where a stroke begins and then one each time the
// stroke has gone the spacing of the last one's size. The stamp eraser takes
// the topmost stamp under the point where a stroke begins, and then every
// stamp whose point the brush's disc passes over; the pixels under them are
// drawn again from the log.
class mtxStampHand {
  public:
    enum Mode : uint32_t { kOff = 0, kBrush = 1, kEraser = 2 };

    Mode mode = kOff;
    mtxStampBrush brush;
    int radius = 12;  // the eraser's disc, pixels

    // A stroke begins or goes on at (x, y). changed gets the pixels that may
    // look different now (empty: none). 1, or 0 when the session could not
    // draw (the stroke then ends).
    int Begin(mtxFillSession& session, SampleCollection& samples, float x, float y,
              mtxRect& changed);
    int MoveTo(mtxFillSession& session, SampleCollection& samples, float x, float y,
               mtxRect& changed);

    uint64_t placed = 0, erased = 0;  // stamps since construction

  private:
    int Place(mtxFillSession& session, SampleCollection& samples, float x, float y,
              mtxRect& changed);
    int Erase(mtxFillSession& session, const std::vector<uint64_t>& stamps, mtxRect& changed);

    float lastX_ = 0, lastY_ = 0;  // the last stamp placed, or the last point erased at
    float spacing_ = 1;            // before the brush's next stamp
};
