#pragma once
#include "fill/sample_shapes.h"
#include "image/field.h"

struct mtxStamp;

// Where a stamp may change the picture: points inside its quad, taken slack
// pixels larger on each side, whose texel lies within the reach of the
// device's filtering of a texel with alpha. Outside, the stamp's alpha is 0
// and drawing it leaves the picture as it was. The quad must be a
// parallelogram (no perspective).
class mtxStampReach {
  public:
    // Pixels beyond a texel with alpha that the device's filtering may still
    // tint, inside the quad: a small stamp is drawn from a coarse level of
    // its mipmaps, whose texels, sampled bilinearly, reach about this far.
    static constexpr double kMarkReach = 3.0;
    // Pixels the quad is taken as larger on each side, whichever pixel
    // centre the rasteriser's rules pick on its edge.
    static constexpr double kEdgeSlack = 0.5;

    // False when the quad is degenerate, not a parallelogram or the shape empty.
    bool Set(const mtxStamp& stamp, const mtxSampleShapes::Shape& shape, double slack = kEdgeSlack,
             double reach = kMarkReach);
    // Whether the stamp may leave a mark at (x, y), in the quad's coordinates.
    bool Marks(double x, double y) const;
    // The box of the quad with its slack.
    double left = 0, top = 0, right = 0, bottom = 0;

  private:
    const mtxSampleShapes::Shape* shape_ = nullptr;
    double ax_ = 0, ay_ = 0, ex_ = 0, ey_ = 0, fx_ = 0, fy_ = 0, det_ = 0;
    double u_[2] = {}, v_[2] = {};
    double reachU_ = 0, reachV_ = 0, slackS_ = 0, slackT_ = 0;
};

// The box of the pixels (centres on whole coordinates) a stamp may change:
// empty when it changes none. False when the reach cannot be set.
bool mtxStampMarkedBox(const mtxStamp& stamp, const mtxSampleShapes::Shape& shape, mtxRect& box);
