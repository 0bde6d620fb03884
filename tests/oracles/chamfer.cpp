#include "tests/oracles/chamfer.h"

#include <algorithm>

namespace oracle {

std::vector<int32_t> Chamfer(std::vector<int32_t> d, int w, int h, const int32_t weights[3],
                             int maskSize) {
    struct Step {
        int dx, dy;
        int32_t weight;
    };
    // The half of the mask that precedes a pixel in raster order; the backward
    // pass uses it mirrored.
    std::vector<Step> forward = {
        {-1, 0, weights[0]}, {-1, -1, weights[1]}, {0, -1, weights[0]}, {1, -1, weights[1]}};
    if (maskSize == 5)
        for (Step s : {Step{-2, -1, weights[2]},
                       {2, -1, weights[2]},
                       {-1, -2, weights[2]},
                       {1, -2, weights[2]}})
            forward.push_back(s);
    auto relax = [&](int x, int y, int sign) {
        int32_t& v = d[size_t(y) * w + x];
        for (const Step& s : forward) {
            int qx = x + sign * s.dx, qy = y + sign * s.dy;
            if (qx < 0 || qy < 0 || qx >= w || qy >= h) continue;
            v = std::min(v, d[size_t(qy) * w + qx] + s.weight);
        }
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) relax(x, y, 1);
    for (int y = h - 1; y >= 0; --y)
        for (int x = w - 1; x >= 0; --x) relax(x, y, -1);
    return d;
}

}  // namespace oracle
