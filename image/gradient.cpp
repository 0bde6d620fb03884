#include "image/gradient.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTiny = 0.000001;

// The shape of one segment at t (0..1) for a stop's mode and midpoint.
double Shape(double t, double m, uint32_t mode) {
    if (!(m >= 0.0)) m = 0.5;  // NaN
    m = std::min(m, 1.0);
    double f0;
    if (t <= m)
        f0 = m < kTiny ? 0.0 : 0.5 * t / m;
    else
        f0 = 1.0 - m < kTiny ? 1.0 : 0.5 + 0.5 * (t - m) / (1.0 - m);
    switch (mode) {
        case mtxImageGradient::kInterpolationLinear:
            return f0;
        case mtxImageGradient::kInterpolationPower: {
            // A midpoint of 1 would make the exponent ln 0.5 / ln 1 infinite.
            double mp = std::clamp(m, kTiny, 1.0 - kTiny);
            return std::pow(t, std::log(0.5) / std::log(mp));
        }
        case mtxImageGradient::kInterpolationSine:
            return (std::sin(f0 * kPi - kPi / 2) + 1.0) / 2.0;
        case mtxImageGradient::kInterpolationCircle:
            return std::sqrt(std::max(0.0, 1.0 - (f0 - 1.0) * (f0 - 1.0)));
        case mtxImageGradient::kInterpolationInverseCircle:
            return 1.0 - std::sqrt(std::max(0.0, 1.0 - f0 * f0));
        default:
            return 0.0;
    }
}

// (a (255 - w) + b w) / 255 per channel, the division rounded exactly.
mtxColor Mix(mtxColor a, mtxColor b, uint32_t w) {
    mtxColor out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t v = ((a >> shift) & 0xFF) * (255 - w) + ((b >> shift) & 0xFF) * w + 128;
        out |= ((v + (v >> 8)) >> 8) << shift;
    }
    return out;
}

}  // namespace

mtxImageGradient::mtxImageGradient() {
    stops_.reserve(64);
    fractions_.reserve(64);
}

void mtxImageGradient::BuildTable(const Stop* stops, int count, mtxColor* table, int length) {
    if (!stops || count <= 0 || !table || length <= 0) return;
    const int n = length;
    if (n == 1) {
        // The ramp formula divides by n - 1; one entry is the first colour.
        table[0] = stops[0].color;
        return;
    }
    // Entries 0 .. first position take the first colour.
    int next = int(std::clamp<int64_t>(int64_t(stops[0].position) + 1, 0, n));
    for (int i = 0; i < next; ++i) table[i] = stops[0].color;
    int j = 0;
    for (; next < n; ++next) {
        const int i = next;
        while (j + 1 < count && i > stops[j + 1].position) ++j;
        if (j + 1 >= count) break;
        // Here stops[j].position < i <= stops[j + 1].position, so the span is
        // at least 1.
        const Stop& a = stops[j];
        const Stop& b = stops[j + 1];
        double span = double(b.position) - double(a.position);
        double t = (double(i) / n - double(a.position) / (n - 1)) * (n - 1) / span;
        t = std::clamp(t, 0.0, 1.0);
        double f = Shape(t, a.midpoint, a.mode);
        if (!(f >= 0.0)) f = 0.0;
        f = std::min(f, 1.0);
        uint32_t w = uint32_t(std::floor(f * 255.0 + 0.5));
        table[i] = Mix(a.color, b.color, w);
    }
    for (int i = next; i < n; ++i) table[i] = stops[count - 1].color;
}

void mtxImageGradient::SetLinear(float x0, float y0, float x1, float y1, const mtxColor* table) {
    Set(kLinear, x0, y0, x1, y1, table);
}
void mtxImageGradient::SetRadial(float x0, float y0, float x1, float y1, const mtxColor* table) {
    Set(kRadial, x0, y0, x1, y1, table);
}
void mtxImageGradient::SetAngle(float x0, float y0, float x1, float y1, const mtxColor* table) {
    Set(kAngle, x0, y0, x1, y1, table);
}
void mtxImageGradient::SetReflected(float x0, float y0, float x1, float y1, const mtxColor* table) {
    Set(kReflected, x0, y0, x1, y1, table);
}
void mtxImageGradient::SetDiamond(float x0, float y0, float x1, float y1, const mtxColor* table) {
    Set(kDiamond, x0, y0, x1, y1, table);
}

void mtxImageGradient::Set(uint32_t kind, float x0, float y0, float x1, float y1,
                           const mtxColor* table) {
    kind_ = kind;
    x0_ = x0, y0_ = y0, x1_ = x1, y1_ = y1;
    Rebuild(LengthFor(kind), table);
    changed = 1;
}

int mtxImageGradient::LengthFor(uint32_t kind) const {
    if (kind != kLinear && kind != kRadial) return kMaxTable;
    // The ramp of a line or a ring runs over the distance between the points,
    // one entry a pixel.
    double d = std::hypot(double(x1_) - x0_, double(y1_) - y0_);
    if (!(d < kMaxTable)) return kMaxTable;  // also NaN and infinity
    return std::max(1, int(std::ceil(d)));
}

void mtxImageGradient::Rebuild(int length, const mtxColor* table) {
    table_.assign(size_t(length), 0);
    if (table) {
        std::copy(table, table + length, table_.begin());
        return;
    }
    for (size_t k = 0; k < stops_.size(); ++k)
        if (fractions_[k] >= 0.0f)
            stops_[k].position = int32_t(std::lround(double(fractions_[k]) * (length - 1)));
    // Keep stops and their fractions together while sorting by position.
    std::vector<size_t> order(stops_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return stops_[a].position < stops_[b].position; });
    std::vector<Stop> stops;
    std::vector<float> fractions;
    for (size_t k : order) stops.push_back(stops_[k]), fractions.push_back(fractions_[k]);
    stops_.swap(stops);
    fractions_.swap(fractions);
    BuildTable(stops_.data(), int(stops_.size()), table_.data(), length);
}

void mtxImageGradient::SetStops(const Stop* stops, int count) {
    stops_.assign(stops, stops + std::max(count, 0));
    fractions_.assign(stops_.size(), -1.0f);
    if (!table_.empty()) Rebuild(int(table_.size()), nullptr);
    changed = 1;
}

void mtxImageGradient::AddStop(float at, mtxColor color, uint32_t mode, float midpoint) {
    Stop s;
    s.color = color;
    s.mode = mode;
    s.midpoint = midpoint;
    stops_.push_back(s);
    fractions_.push_back(std::isfinite(at) ? std::clamp(at, 0.0f, 1.0f) : 0.0f);
}

int mtxImageGradient::IndexAt(float x, float y) const {
    const int n = int(table_.size());
    if (n <= 1 || kind_ == kNone) return 0;
    const double dx = double(x) - x0_, dy = double(y) - y0_;
    const double ux = double(x1_) - x0_, uy = double(y1_) - y0_;
    const double length2 = ux * ux + uy * uy;
    if (!(length2 > 1e-12)) return 0;
    const double along = dx * ux + dy * uy, across = ux * dy - uy * dx;
    double t = 0.0;
    switch (kind_) {
        case kLinear:
            t = along / length2;
            break;
        case kRadial:
            t = std::sqrt((dx * dx + dy * dy) / length2);
            break;
        case kAngle:
            t = std::atan2(across, along) / (2 * kPi);
            if (t < 0.0) t += 1.0;
            break;
        case kReflected:
            t = std::fabs(along) / length2;
            break;
        case kDiamond:
            t = (std::fabs(along) + std::fabs(across)) / length2;
            break;
    }
    if (!(t >= 0.0)) return 0;
    t = std::min(t, 1.0);
    return std::min(n - 1, int(t * (n - 1) + 0.5));
}

void mtxImageGradient::FillImage(mtxImage& image) const {
    if (!image.Lock()) return;
    for (int y = 0; y < image.height; ++y) {
        mtxColor* row = image.Row(y);
        for (int x = 0; x < image.width; ++x) row[x] = ColorAt(x + 0.5f, y + 0.5f);
    }
    image.Unlock();
}
