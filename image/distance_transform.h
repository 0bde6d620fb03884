#pragma once
#include <cstddef>
#include <cstdint>

#include "image/image.h"

// Turns a mask taken from an image into a field of distances: for every pixel of
// the mask, its distance in pixels to the nearest pixel outside the mask. Two
// raster passes of a 3 x 3 or 5 x 5 chamfer mask in fixed point with 18
// fractional bits; the area beyond the image is never a source.
class mtxDistanceTransform {
  public:
    enum Type : uint32_t { kCityBlock = 0, kChamfer = 1, kChessboard = 2 };
    static constexpr int32_t kFar = 0x3FFFFFFF;  // distance of a pixel no source reaches
    static constexpr int kFractionBits = 18;

    // Chamfer with the 5 x 5 mask.
    mtxDistanceTransform();

    // Applies the weight set of type for the current mask size: city block
    // (1, 2) and chessboard (1, 1) force mask size 3; chamfer uses (0.955,
    // 1.3693) with mask 3, (1, 1.4, 2.1969) with mask 5 and zero weights with any
    // other mask. Returns 0 and changes nothing for an unknown type.
    int SetType(uint32_t newType);

    // Distances of every pixel with alpha above 100 to the nearest pixel with
    // alpha 100 or less. The field is re-created at the image's size when its
    // size differs. 1, or 0 without transforming when the mask size is neither
    // 3 nor 5 (or the field cannot be allocated).
    int FromAlpha(mtxImage& image, mtxFloatField& field) const;
    // As FromAlpha, with the mask made of the pixels whose value is colour.
    int FromColour(mtxImage& image, mtxColor colour, mtxFloatField& field) const;

    // Runs both passes in place over width x height values (0 for sources, kFar
    // for the mask), rows stride values apart. Exposed for callers that build
    // their own masks.
    void Transform(int32_t* values, int width, int height, ptrdiff_t stride) const;

    // The fixed-point weights a, b, c.
    void FixedWeights(int32_t out[3]) const;

    uint32_t type;
    float weights[25];  // a (edge), b (diagonal), c (knight's move), rest 0
    uint32_t maskSize;

  private:
    template <class Predicate>
    int Run(mtxImage& image, mtxFloatField& field, Predicate mask) const;
};
