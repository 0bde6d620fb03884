#include "render/layers/layer_transform.h"

#include <algorithm>
#include <cmath>

namespace mtxLayerTransform {

void Map(const float m[9], float x, float y, float* outX, float* outY) {
    float w = m[6] * x + m[7] * y + m[8];
    if (w == 0.0f) {
        *outX = x, *outY = y;
        return;
    }
    *outX = (m[0] * x + m[1] * y + m[2]) / w;
    *outY = (m[3] * x + m[4] * y + m[5]) / w;
}

int Invert(const float m[9], float out[9]) {
    double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7], i = m[8];
    double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    double det = a * A + b * B + c * C;
    if (det == 0.0 || !std::isfinite(det)) return 0;
    double cof[9] = {A, -(b * i - c * h), b * f - c * e, B, a * i - c * g, -(a * f - c * d),
                     C, -(a * h - b * g), a * e - b * d};
    for (int k = 0; k < 9; ++k) out[k] = float(cof[k] / det);
    return 1;
}

mtxRect MapBounds(const float m[9], int x, int y, int width, int height) {
    float minX = HUGE_VALF, minY = HUGE_VALF, maxX = -HUGE_VALF, maxY = -HUGE_VALF;
    for (int k = 0; k < 4; ++k) {
        float px = 0, py = 0;
        Map(m, float(x + ((k & 1) ? width : 0)), float(y + ((k & 2) ? height : 0)), &px, &py);
        minX = std::min(minX, px), maxX = std::max(maxX, px);
        minY = std::min(minY, py), maxY = std::max(maxY, py);
    }
    auto whole = [](float v) { return int(std::clamp(v, -1.0e9f, 1.0e9f)); };
    return {whole(std::floor(minX)), whole(std::floor(minY)), whole(std::ceil(maxX)),
            whole(std::ceil(maxY))};
}

void Scaled(const float m[9], double sx, double sy, float out[9]) {
    // S m S^-1 with S = diag(sx, sy, 1).
    const double scale[9] = {1, sx / sy, sx, sy / sx, 1, sy, 1 / sx, 1 / sy, 1};
    for (int k = 0; k < 9; ++k) out[k] = float(double(m[k]) * scale[k]);
}

}  // namespace mtxLayerTransform
