#include "render/layers/viewer_quad.h"

#include <cmath>

int mtxIEViewerQuad::Corner(int i, float* x, float* y) const {
    float px = (i & 1) ? right : left;
    float py = (i & 2) ? bottom : top;
    const float* m = transform;
    float X = px * m[0] + py * m[3] + m[6];
    float Y = px * m[1] + py * m[4] + m[7];
    float W = px * m[2] + py * m[5] + m[8];
    if (W == 0.0f) return 0;
    *x = X / W;
    *y = Y / W;
    return std::isfinite(*x) && std::isfinite(*y) ? 1 : 0;
}
