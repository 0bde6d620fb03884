#include "image/path_rasterizer.h"

#include <algorithm>
#include <cmath>

namespace {

// Cells of one band; a band of a wide clip is still at least one row.
constexpr size_t kBandCells = 1u << 18;
constexpr float kMinTolerance = 0.02f;
constexpr int kMaxCurveLines = 1024;

bool Finite(float a, float b, float c, float d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

}  // namespace

void mtxPathRasterizer::Reset(const mtxRect& clip) {
    clip_ = clip;
    edges_.clear();
    minX_ = minY_ = INFINITY;
    maxX_ = maxY_ = -INFINITY;
}

void mtxPathRasterizer::AddLine(float x0, float y0, float x1, float y1) {
    if (!Finite(x0, y0, x1, y1) || y0 == y1) return;  // level edges cover nothing
    edges_.push_back({x0, y0, x1, y1});
    minX_ = std::min({minX_, x0, x1});
    maxX_ = std::max({maxX_, x0, x1});
    minY_ = std::min({minY_, y0, y1});
    maxY_ = std::max({maxY_, y0, y1});
}

void mtxPathRasterizer::AddCubic(float x0, float y0, float x1, float y1, float x2, float y2,
                                 float x3, float y3, float tolerance) {
    if (!Finite(x0, y0, x1, y1) || !Finite(x2, y2, x3, y3)) return;
    // Wang's bound: n lines stay within tolerance of a cubic whose second
    // differences are at most m: n = sqrt(3 * 2 / 8 * m / tolerance).
    double ax = double(x0) - 2.0 * x1 + x2, ay = double(y0) - 2.0 * y1 + y2;
    double bx = double(x1) - 2.0 * x2 + x3, by = double(y1) - 2.0 * y2 + y3;
    double m = std::max(std::hypot(ax, ay), std::hypot(bx, by));
    double tol = std::isfinite(tolerance) ? std::max(tolerance, kMinTolerance) : kMinTolerance;
    double lines = std::ceil(std::sqrt(0.75 * m / tol));
    int n = lines >= kMaxCurveLines ? kMaxCurveLines : std::max(1, int(lines));
    float px = x0, py = y0;
    for (int i = 1; i <= n; ++i) {
        double t = double(i) / n, u = 1.0 - t;
        double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
        float qx = i == n ? x3 : float(b0 * x0 + b1 * x1 + b2 * x2 + b3 * x3);
        float qy = i == n ? y3 : float(b0 * y0 + b1 * y1 + b2 * y2 + b3 * y3);
        AddLine(px, py, qx, qy);
        px = qx, py = qy;
    }
}

bool mtxPathRasterizer::Span(mtxRect& out) const {
    if (edges_.empty()) return false;
    // The bounds are finite: AddLine keeps only finite edges.
    auto within = [](double v, int lo, int hi) {
        return int(std::clamp(v, double(lo), double(std::max(lo, hi))));
    };
    out.left = within(std::floor(minX_), clip_.left, clip_.right);
    out.right = within(std::ceil(maxX_), clip_.left, clip_.right);
    out.top = within(std::floor(minY_), clip_.top, clip_.bottom);
    out.bottom = within(std::ceil(maxY_), clip_.top, clip_.bottom);
    return !out.IsEmpty();
}

void mtxPathRasterizer::Render(FillRule rule, const RowFunction& row) {
    mtxRect span;
    if (!Span(span)) return;
    const int width = span.right - span.left;
    stride_ = width + 2;
    const int bandRows =
        int(std::clamp<size_t>(kBandCells / size_t(stride_), 1, size_t(span.bottom - span.top)));
    coverage_.resize(size_t(width));
    for (int top = span.top; top < span.bottom; top += bandRows) {
        const int rows = std::min(bandRows, span.bottom - top);
        AccumulateBand(span.left, top, width, rows);
        for (int r = 0; r < rows; ++r) {
            const float* cells = &cells_[size_t(r) * stride_];
            float sum = 0.0f;
            for (int x = 0; x < width; ++x) {
                sum += cells[x];
                float c = std::fabs(sum);
                if (rule == kEvenOdd) {
                    c = std::fmod(c, 2.0f);
                    if (c > 1.0f) c = 2.0f - c;
                } else {
                    c = std::min(c, 1.0f);
                }
                coverage_[size_t(x)] = c;
            }
            row(top + r, span.left, width, coverage_.data());
        }
    }
}

void mtxPathRasterizer::WindingAreas(std::vector<float>& out) {
    const int width = std::max(0, clip_.right - clip_.left);
    const int height = std::max(0, clip_.bottom - clip_.top);
    out.assign(size_t(width) * size_t(height), 0.0f);
    if (width == 0 || height == 0) return;
    stride_ = width + 2;
    AccumulateBand(clip_.left, clip_.top, width, height);
    for (int r = 0; r < height; ++r) {
        float sum = 0.0f;
        for (int x = 0; x < width; ++x) {
            sum += cells_[size_t(r) * stride_ + x];
            out[size_t(r) * width + x] = sum;
        }
    }
}

void mtxPathRasterizer::AccumulateBand(int left, int top, int width, int rows) {
    cells_.assign(size_t(rows) * size_t(stride_), 0.0f);
    const float bandTop = float(top), bandBottom = float(top + rows);
    for (const Edge& e : edges_) {
        if (std::max(e.y0, e.y1) <= bandTop || std::min(e.y0, e.y1) >= bandBottom) continue;
        AddClippedLine(e.x0 - left, e.y0 - top, e.x1 - left, e.y1 - top, width, rows);
    }
}

// Clips an edge to the band's rows, then splits it where it leaves the band's
// columns: a piece left of the band still covers whole pixels to its right, so
// it is pressed onto the left side; a piece right of the band covers nothing
// inside it and is pressed onto the right side.
void mtxPathRasterizer::AddClippedLine(float x0, float y0, float x1, float y1, int width,
                                       int rows) {
    double ax = x0, ay = y0, bx = x1, by = y1;
    const double dxdy = (bx - ax) / (by - ay);
    auto clampY = [&](double& x, double& y, double limit) {
        x += (limit - y) * dxdy;
        y = limit;
    };
    if (ay < 0) clampY(ax, ay, 0);
    if (by < 0) clampY(bx, by, 0);
    if (ay > rows) clampY(ax, ay, rows);
    if (by > rows) clampY(bx, by, rows);
    if (ay == by) return;
    // Where the edge crosses the band's sides, as fractions of its length.
    double cuts[4] = {0.0, 1.0, 1.0, 1.0};
    int count = 1;
    for (double side : {0.0, double(width)}) {
        if ((ax < side) != (bx < side) && ax != bx) {
            double t = (side - ax) / (bx - ax);
            if (t > 0.0 && t < 1.0) cuts[count++] = t;
        }
    }
    cuts[count++] = 1.0;
    if (count == 4 && cuts[1] > cuts[2]) std::swap(cuts[1], cuts[2]);
    double px = ax, py = ay;
    for (int i = 1; i < count; ++i) {
        double t = cuts[i];
        double qx = t == 1.0 ? bx : ax + (bx - ax) * t;
        double qy = t == 1.0 ? by : ay + (by - ay) * t;
        AddRowLine(float(std::clamp(px, 0.0, double(width))), float(py),
                   float(std::clamp(qx, 0.0, double(width))), float(qy), width);
        px = qx, py = qy;
    }
}

// One edge inside the band (0 <= x <= width, 0 <= y <= rows). For each row it
// crosses, the edge's height there (signed by direction) is spread over the
// cells so that the running sum along the row gives, in each pixel, the area
// between the edge and the pixel's right side.
void mtxPathRasterizer::AddRowLine(float x0, float y0, float x1, float y1, int width) {
    if (y0 == y1) return;
    // Edges running up count positive: an outline running clockwise on the
    // screen (y down) has a positive winding area.
    float dir = -1.0f;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        dir = 1.0f;
    }
    const float dxdy = (x1 - x0) / (y1 - y0);
    const float right = float(width);
    float x = x0;
    const int rowEnd = int(std::ceil(y1));
    for (int y = int(std::floor(y0)); y < rowEnd; ++y) {
        float* cells = &cells_[size_t(y) * stride_];
        const float dy = std::min(float(y + 1), y1) - std::max(float(y), y0);
        float xnext = std::clamp(x + dxdy * dy, 0.0f, right);
        if (y + 1 >= rowEnd) xnext = x1;
        const float d = dy * dir;
        const float xa = std::min(x, xnext), xb = std::max(x, xnext);
        const float xaFloor = std::floor(xa);
        const int ia = int(xaFloor);
        const int ib = int(std::ceil(xb));
        if (ib <= ia + 1) {
            // Within one pixel: a trapezoid whose mean x splits the height.
            const float mid = 0.5f * (x + xnext) - xaFloor;
            cells[ia] += d - d * mid;
            cells[ia + 1] += d * mid;
        } else {
            // Across pixels: a triangle in the first, equal strips in the
            // middle, a triangle in the last.
            const float s = 1.0f / (xb - xa);
            const float fa = xa - xaFloor;
            const float a0 = 0.5f * s * (1.0f - fa) * (1.0f - fa);
            const float fb = xb - std::ceil(xb) + 1.0f;
            const float am = 0.5f * s * fb * fb;
            cells[ia] += d * a0;
            if (ib == ia + 2) {
                cells[ia + 1] += d * (1.0f - a0 - am);
            } else {
                const float a1 = s * (1.5f - fa);
                cells[ia + 1] += d * (a1 - a0);
                for (int i = ia + 2; i < ib - 1; ++i) cells[i] += d * s;
                const float a2 = a1 + float(ib - ia - 3) * s;
                cells[ib - 1] += d * (1.0f - a2 - am);
            }
            cells[ib] += d * am;
        }
        x = xnext;
    }
}
