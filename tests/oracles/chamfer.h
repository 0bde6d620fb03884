#pragma once
// The chamfer distance transform written out literally, as the reference for
// the fast transforms (the image model's and the segmentation's).
#include <cstdint>
#include <vector>

namespace oracle {

// Two raster passes over a field of w x h signed 32-bit distances, forward
// then backward, each pixel taking the least of itself and every neighbour of
// the mask plus that neighbour's weight; neighbours outside the picture are
// skipped. weights: straight step, diagonal step, knight's move (used by the
// 5 x 5 mask only); maskSize 3 or 5. Returns the relaxed field.
std::vector<int32_t> Chamfer(std::vector<int32_t> field, int w, int h, const int32_t weights[3],
                             int maskSize);

}  // namespace oracle
