#include "ui/viewer/line_object.h"

#include <algorithm>
#include <cmath>

#include "ui/primitives.h"

mtxIELineObject::mtxIELineObject(uint32_t code, const POINT* p)
    : shape(code), points(p, p + PointCount(code)) {}

// The curve is cut into segments of about four pixels along its control
// polygon (which is never shorter than the curve), at least 8 and at most 256.
std::vector<POINT> mtxIELineObject::Outline() const {
    if (shape != kBezier || points.size() != 4) return points;
    double length = 0;
    for (size_t i = 1; i < 4; ++i)
        length += std::hypot(double(points[i].x - points[i - 1].x),
                             double(points[i].y - points[i - 1].y));
    int segments = std::clamp(int(length / 4.0), 8, 256);
    std::vector<POINT> out;
    out.reserve(size_t(segments) + 1);
    for (int i = 0; i <= segments; ++i) {
        double t = double(i) / segments, u = 1.0 - t;
        double w[4] = {u * u * u, 3 * u * u * t, 3 * u * t * t, t * t * t};
        double x = 0, y = 0;
        for (size_t k = 0; k < 4; ++k) x += w[k] * points[k].x, y += w[k] * points[k].y;
        POINT p = {int(std::lround(x)), int(std::lround(y))};
        if (out.empty() || p.x != out.back().x || p.y != out.back().y) out.push_back(p);
    }
    if (out.size() == 1) out.push_back(out.back());
    return out;
}

RECT mtxIELineObject::BoundsOf(const std::vector<POINT>& outline) {
    if (outline.empty()) return {};
    RECT r = {outline[0].x, outline[0].y, outline[0].x + 1, outline[0].y + 1};
    for (const POINT& p : outline) {
        r.left = std::min(r.left, p.x), r.top = std::min(r.top, p.y);
        r.right = std::max(r.right, p.x + 1), r.bottom = std::max(r.bottom, p.y + 1);
    }
    return r;
}

int mtxIELineObject::Draw(IDirect3DDevice9* device, POINT origin, uint32_t color) const {
    if (!device) return 0;
    std::vector<POINT> outline = Outline();
    if (outline.size() < 2) return 1;
    RECT b = BoundsOf(outline);
    for (POINT& p : outline) p.x += origin.x, p.y += origin.y;
    device->SetRenderState(D3DRS_ANTIALIASEDLINEENABLE, 1);
    int drawn = mtxIEPrimitives::PolyLine(device, outline.data(), int(outline.size()), color);
    device->SetRenderState(D3DRS_ANTIALIASEDLINEENABLE, 0);
    if (drawn && selected) {
        drawn = mtxIEPrimitives::FrameRect(
            device, {b.left + origin.x, b.top + origin.y, b.right + origin.x, b.bottom + origin.y},
            color);
    }
    return drawn;
}
