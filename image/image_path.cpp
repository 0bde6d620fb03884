#include "image/image_path.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

// x / 255 rounded to nearest, for x up to 255 x 255 x 2.
inline uint32_t Div255(uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// src over dst with src's alpha replaced by a (0..255), both colours
// unassociated (straight) alpha.
inline mtxColor Over(mtxColor dst, mtxColor src, uint32_t a) {
    if (a >= 255) return src | 0xFF000000;
    const uint32_t da = dst >> 24;
    if (da == 255) {
        mtxColor out = 0xFF000000;
        for (int shift = 0; shift < 24; shift += 8) {
            uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
            out |= Div255(s * a + d * (255 - a)) << shift;
        }
        return out;
    }
    // The result's alpha times 255, and each channel weighted by its alpha.
    const uint32_t total = a * 255 + da * (255 - a);
    if (total == 0) return 0;
    mtxColor out = Div255(total) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
        uint32_t weighted = s * a * 255 + d * da * (255 - a);
        out |= ((weighted + total / 2) / total) << shift;
    }
    return out;
}

int32_t ToFixed(float v) {
    return int32_t(std::lround(double(v) * 64.0));
}

}  // namespace

mtxImageBrush::mtxImageBrush() {
    entries.reserve(64);
    entries.push_back(Entry{});
}

void mtxImageBrush::SetColor(mtxColor color) {
    uint32_t rule = entries.empty() ? uint32_t(mtxPathRasterizer::kNonZero) : entries[0].fillRule;
    entries.assign(1, Entry{});
    entries[0].color = color;
    entries[0].fillRule = rule;
}

void mtxImageBrush::UseGradient() {
    uint32_t rule = entries.empty() ? uint32_t(mtxPathRasterizer::kNonZero) : entries[0].fillRule;
    entries.assign(1, Entry{});
    entries[0].kind = kGradient;
    entries[0].fillRule = rule;
}

void mtxImageBrush::SetFillRule(uint32_t rule) {
    for (Entry& e : entries) e.fillRule = rule;
}

mtxImagePath::mtxImagePath() {
    points_.reserve(64);
}

void mtxImagePath::MoveTo(float x, float y) {
    if (!points_.empty() && points_.back().kind == kMoveTo)
        points_.back() = Point{x, y, kMoveTo};
    else
        points_.push_back(Point{x, y, kMoveTo});
}

void mtxImagePath::LineTo(float x, float y) {
    points_.push_back(Point{x, y, kLineTo});
}

void mtxImagePath::BezierTo(float cx1, float cy1, float cx2, float cy2, float x, float y) {
    if (!points_.empty()) {
        const Point& p = points_.back();
        if (cx1 == p.x && cy1 == p.y && cx2 == p.x && cy2 == p.y && x == p.x && y == p.y) return;
    }
    points_.push_back(Point{cx1, cy1, kBezierControl});
    points_.push_back(Point{cx2, cy2, kBezierEnd});
    points_.push_back(Point{x, y, kBezierEnd});
}

void mtxImagePath::AddPolygon(const Point* points, int count) {
    if (!points || count <= 0) return;
    MoveTo(points[0].x, points[0].y);
    for (int i = 1; i < count; ++i) LineTo(points[i].x, points[i].y);
}

void mtxImagePath::Clear() {
    points_.clear();
}

void mtxImagePath::SetTransform(const float m[3][3]) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) transform[r][c] = m[r][c];
}

void mtxImagePath::SetTranslate(float dx, float dy) {
    const float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {dx, dy, 1}};
    SetTransform(m);
}

bool mtxImagePath::Transform(const Point& p, float& x, float& y) const {
    x = transform[0][0] * p.x + transform[1][0] * p.y + transform[2][0];
    y = transform[0][1] * p.x + transform[1][1] * p.y + transform[2][1];
    // Also false for NaN.
    return std::fabs(x) <= kMaxCoordinate && std::fabs(y) <= kMaxCoordinate;
}

int mtxImagePath::BuildOutlines(std::vector<Outline>& out) const {
    out.clear();
    Outline o;
    bool open = false;               // a contour is running
    size_t contourFirst = 0;         // its first point in o
    int32_t startX = 0, startY = 0;  // and that point's value
    auto closeContour = [&] {
        if (open && o.xs.size() > contourFirst) o.contourEnds.push_back(uint16_t(o.xs.size() - 1));
        open = false;
    };
    auto append = [&](int32_t x, int32_t y, uint8_t tag) {
        o.xs.push_back(x);
        o.ys.push_back(y);
        o.tags.push_back(tag);
    };
    for (size_t i = 0; i < points_.size(); ++i) {
        const Point& p = points_[i];
        // A Bezier comes as three points; they go into one piece together.
        const size_t run = p.kind == kBezierControl ? 3 : 1;
        if (o.xs.size() + run > kMaxOutlinePoints) {
            // Split: end this piece here and carry the contour on in the next
            // from its start and its last point. The two closing edges the
            // split adds run both ways along one line and cancel.
            bool carry = open && p.kind != kMoveTo;
            int32_t lastX = o.xs.empty() ? 0 : o.xs.back(), lastY = o.ys.empty() ? 0 : o.ys.back();
            closeContour();
            o.currentX = lastX, o.currentY = lastY;
            out.push_back(std::move(o));
            o = Outline{};
            if (carry) {
                contourFirst = 0;
                append(startX, startY, kTagOn);
                append(lastX, lastY, kTagOn);
                open = true;
            }
        }
        for (size_t k = 0; k < run && i + k < points_.size(); ++k) {
            const Point& q = points_[i + k];
            float x, y;
            if (!Transform(q, x, y)) {
                out.clear();
                return 0;
            }
            int32_t fx = ToFixed(x), fy = ToFixed(y);
            if (q.kind == kMoveTo || !open) {
                closeContour();
                open = true;
                contourFirst = o.xs.size();
                startX = fx, startY = fy;
            }
            bool control = q.kind == kBezierControl || (q.kind == kBezierEnd && k == 1);
            append(fx, fy, control ? kTagCubic : kTagOn);
        }
        i += run - 1;
    }
    closeContour();
    if (!o.xs.empty()) {
        o.currentX = o.xs.back(), o.currentY = o.ys.back();
        out.push_back(std::move(o));
    }
    return 1;
}

void mtxImagePath::AddOutline(const Outline& o) {
    size_t first = 0;
    const float scale = 1.0f / 64.0f;
    for (uint16_t end : o.contourEnds) {
        size_t last = end;
        if (last >= o.xs.size() || last < first) break;
        float px = o.xs[first] * scale, py = o.ys[first] * scale;
        const float sx = px, sy = py;
        for (size_t i = first + 1; i <= last; ++i) {
            float x = o.xs[i] * scale, y = o.ys[i] * scale;
            if (o.tags[i] == kTagCubic && i + 2 <= last && o.tags[i + 2] == kTagOn) {
                rasterizer_.AddCubic(px, py, x, y, o.xs[i + 1] * scale, o.ys[i + 1] * scale,
                                     o.xs[i + 2] * scale, o.ys[i + 2] * scale, tolerance);
                i += 2;
                px = o.xs[i] * scale, py = o.ys[i] * scale;
                continue;
            }
            rasterizer_.AddLine(px, py, x, y);
            px = x, py = y;
        }
        rasterizer_.AddLine(px, py, sx, sy);
        first = last + 1;
    }
}

int mtxImagePath::Fill(mtxImage& image) {
    std::vector<Outline> outlines;
    if (!BuildOutlines(outlines)) return 0;
    if (image.IsEmpty()) return 1;
    rasterizer_.Reset(mtxRect{0, 0, image.width, image.height});
    for (const Outline& o : outlines) AddOutline(o);
    Paint(image, brush, 255);
    return 1;
}

void mtxImagePath::Paint(mtxImage& image, const mtxImageBrush& paint, uint32_t opacity) {
    if (rasterizer_.EdgeCount() == 0 || !image.Lock()) return;
    for (const mtxImageBrush::Entry& e : paint.entries) {
        const bool gradient = e.kind == mtxImageBrush::kGradient;
        const float scale = float(std::min(e.opacity, 255u)) * float(opacity) / (255.0f * 255.0f);
        auto rule = e.fillRule == mtxPathRasterizer::kEvenOdd ? mtxPathRasterizer::kEvenOdd
                                                              : mtxPathRasterizer::kNonZero;
        rasterizer_.Render(rule, [&](int y, int left, int count, const float* coverage) {
            mtxColor* row = image.Row(y) + left;
            for (int i = 0; i < count; ++i) {
                if (coverage[i] <= 0.0f) continue;
                const int x = left + i;
                mtxColor src = gradient ? paint.gradient.ColorAt(x + 0.5f, y + 0.5f) : e.color;
                uint32_t a = uint32_t(float(src >> 24) * coverage[i] * scale + 0.5f);
                if (a) row[i] = Over(row[i], src & 0xFFFFFF, a);
            }
        });
    }
    image.Unlock();
}

int mtxImagePath::Stroke(mtxImage& image, uint32_t value) {
    if (!pen.enabled) return 1;
    rasterizer_.Reset(mtxRect{0, 0, image.width, image.height});
    // Lines are at least a pixel wide; a width that is not a number is one pixel.
    const float width = std::isfinite(pen.width) ? std::clamp(pen.width, 1.0f, kMaxCoordinate) : 1;
    const float half = width * 0.5f;
    const bool round = pen.style == mtxImagePen::kStyleRound;
    float cx = 0, cy = 0;
    for (const Point& p : points_) {
        if (p.kind == kBezierControl || p.kind == kBezierEnd) continue;
        float x, y;
        if (!Transform(p, x, y)) return 0;
        if (p.kind == kLineTo) AddStrokeSegment(cx, cy, x, y, half, round);
        cx = x, cy = y;
    }
    if (image.IsEmpty()) return 1;
    mtxImageBrush nonZero = pen.brush;
    nonZero.SetFillRule(mtxPathRasterizer::kNonZero);
    Paint(image, nonZero, std::min(value, 255u));
    return 1;
}

// A segment as a rectangle half wide on each side, with discs on its ends
// for round style. Every piece winds the same way, so where they overlap the
// non-zero rule counts them once.
void mtxImagePath::AddStrokeSegment(float x0, float y0, float x1, float y1, float half,
                                    bool round) {
    if (round) {
        AddDisc(x0, y0, half);
        AddDisc(x1, y1, half);
    }
    float dx = x1 - x0, dy = y1 - y0;
    float length = std::hypot(dx, dy);
    if (!(length > 0.0f)) return;
    float nx = -dy / length * half, ny = dx / length * half;
    rasterizer_.AddLine(x0 + nx, y0 + ny, x1 + nx, y1 + ny);
    rasterizer_.AddLine(x1 + nx, y1 + ny, x1 - nx, y1 - ny);
    rasterizer_.AddLine(x1 - nx, y1 - ny, x0 - nx, y0 - ny);
    rasterizer_.AddLine(x0 - nx, y0 - ny, x0 + nx, y0 + ny);
}

void mtxImagePath::AddDisc(float cx, float cy, float radius) {
    // Enough sides that the chord stays within a tenth of a pixel or so; the
    // angle runs backwards to wind as the rectangles do.
    int sides = int(std::clamp(std::ceil(std::sqrt(radius) * 8.0f), 8.0f, 256.0f));
    float px = cx + radius, py = cy;
    for (int i = 1; i <= sides; ++i) {
        float angle = -2.0f * kPi * float(i) / float(sides);
        float x = i == sides ? cx + radius : cx + radius * std::cos(angle);
        float y = i == sides ? cy : cy + radius * std::sin(angle);
        rasterizer_.AddLine(px, py, x, y);
        px = x, py = y;
    }
}
