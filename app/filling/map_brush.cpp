#include "app/filling/map_brush.h"

#include <algorithm>
#include <cmath>

uint8_t mtxMapBrush::Level() const {
    int s = std::clamp(strength, 1, 127);
    switch (mode) {
        case kFiner:
            return uint8_t(mtxFillMaps::kNeutral + s);
        case kCoarser:
            return uint8_t(mtxFillMaps::kNeutral - s);
        case kProtect:
            return 255;
        default:
            return 0;
    }
}

int mtxMapBrush::Stroke(mtxFillMaps& maps, int width, int height, float x0, float y0, float x1,
                        float y1, mtxRect* touched) const {
    if (touched) *touched = {};
    if (mode == kNone || width <= 0 || height <= 0) return 0;
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return 0;
    const float r = float(std::clamp(radius, 1, kMaxRadius));
    const int left = std::max(0, int(std::floor(std::min(x0, x1) - r)));
    const int top = std::max(0, int(std::floor(std::min(y0, y1) - r)));
    const int right = std::min(width - 1, int(std::ceil(std::max(x0, x1) + r)));
    const int bottom = std::min(height - 1, int(std::ceil(std::max(y0, y1) + r)));
    if (left > right || top > bottom) return 0;
    const mtxFillMaps::Plane plane = PlaneOf(mode);
    if (maps.Width() != width || maps.Height() != height || !maps.Has(plane))
        if (!maps.Create(plane, width, height)) return 0;
    uint8_t* data = maps.Data(plane);
    const uint8_t level = Level();
    const float dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
    for (int y = top; y <= bottom; ++y) {
        uint8_t* row = data + size_t(y) * size_t(width);
        for (int x = left; x <= right; ++x) {
            // The nearest point of the segment to the pixel's centre.
            float px = float(x) + 0.5f - x0, py = float(y) + 0.5f - y0;
            float t = length2 > 0 ? std::clamp((px * dx + py * dy) / length2, 0.0f, 1.0f) : 0.0f;
            float ex = px - t * dx, ey = py - t * dy;
            if (ex * ex + ey * ey <= r * r) row[x] = level;
        }
    }
    maps.MarkChanged(left, top, right, bottom);
    if (touched) *touched = {left, top, right + 1, bottom + 1};
    return 1;
}
