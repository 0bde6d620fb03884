#include "app/filling/map_brush.h"

#include <algorithm>
#include <cmath>
#include <cstring>

uint8_t mtxMapBrush::Level() const {
    int s = std::clamp(strength, 1, 127);
    switch (mode) {
        case kFiner:
            return uint8_t(mtxFillMaps::kNeutral + s);
        case kCoarser:
            return uint8_t(mtxFillMaps::kNeutral - s);
        case kNeutral:
            return mtxFillMaps::kNeutral;
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

void mtxMapStroke::Copy(const mtxFillMaps& maps, mtxFillMaps::Plane plane, const mtxRect& rect,
                        std::vector<uint8_t>& out) {
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    out.assign(size_t(std::max(w, 0)) * size_t(std::max(h, 0)),
               plane == mtxFillMaps::kDetail ? mtxFillMaps::kNeutral : 0);
    const uint8_t* data = maps.Data(plane);
    if (!data || w <= 0 || h <= 0) return;
    for (int y = 0; y < h; ++y)
        std::memcpy(&out[size_t(y) * size_t(w)],
                    data + size_t(rect.top + y) * size_t(maps.Width()) + size_t(rect.left),
                    size_t(w));
}

namespace {

void Put(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

uint32_t Get(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr size_t kHeader = 4 * 7;

}  // namespace

std::vector<uint8_t> mtxMapStroke::Encode() const {
    std::vector<uint8_t> out;
    out.reserve(kHeader + before.size() + after.size());
    for (int32_t value :
         {int32_t(plane), width, height, rect.left, rect.top, rect.right, rect.bottom})
        Put(out, uint32_t(value));
    out.insert(out.end(), before.begin(), before.end());
    out.insert(out.end(), after.begin(), after.end());
    return out;
}

int mtxMapStroke::Decode(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < kHeader) return 0;
    int32_t v[7];
    for (int i = 0; i < 7; ++i) v[i] = int32_t(Get(&bytes[size_t(i) * 4]));
    if (v[0] != mtxFillMaps::kProtect && v[0] != mtxFillMaps::kDetail) return 0;
    mtxRect r{v[3], v[4], v[5], v[6]};
    if (v[1] <= 0 || v[2] <= 0 || r.left < 0 || r.top < 0 || r.right > v[1] || r.bottom > v[2] ||
        r.IsEmpty())
        return 0;
    size_t area = size_t(r.right - r.left) * size_t(r.bottom - r.top);
    if (bytes.size() != kHeader + 2 * area) return 0;
    plane = mtxFillMaps::Plane(v[0]), width = v[1], height = v[2], rect = r;
    before.assign(bytes.begin() + kHeader, bytes.begin() + std::ptrdiff_t(kHeader + area));
    after.assign(bytes.begin() + std::ptrdiff_t(kHeader + area), bytes.end());
    return 1;
}

int mtxMapStroke::Apply(mtxFillMaps& maps, bool backward) const {
    if (maps.Width() > 0 && (maps.Width() != width || maps.Height() != height)) return 0;
    if (!maps.Has(plane) && !maps.Create(plane, width, height)) return 0;
    const std::vector<uint8_t>& rows = backward ? before : after;
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0 || rows.size() != size_t(w) * size_t(h)) return 0;
    uint8_t* data = maps.Data(plane);
    for (int y = 0; y < h; ++y)
        std::memcpy(data + size_t(rect.top + y) * size_t(width) + size_t(rect.left),
                    &rows[size_t(y) * size_t(w)], size_t(w));
    maps.MarkChanged(rect.left, rect.top, rect.right - 1, rect.bottom - 1);
    return 1;
}
