#include "image/color_difference.h"

#include <array>
#include <cmath>
#include <new>

#include "image/image.h"

namespace {

// The pixels laid over opaque white, as a new opaque image; false when the
// copy cannot be made.
bool OverWhite(const mtxImage& source, mtxImage& out) {
    if (!out.Create(source.width, source.height, 0xFFFFFFFFu)) return false;
    for (int y = 0; y < source.height; ++y) {
        const mtxColor* in = source.Row(y);
        mtxColor* row = out.Row(y);
        for (int x = 0; x < source.width; ++x) {
            uint32_t a = mtxAlpha(in[x]);
            auto mix = [a](uint32_t c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            row[x] = mtxArgb(255, mix(mtxRed(in[x])), mix(mtxGreen(in[x])), mix(mtxBlue(in[x])));
        }
    }
    return true;
}

// sRGB component (0..255) to linear light, as a table.
const std::array<double, 256>& LinearTable() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i) {
            double c = i / 255.0;
            t[size_t(i)] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return t;
    }();
    return table;
}

double LabF(double t) {
    constexpr double kDelta = 6.0 / 29.0;
    return t > kDelta * kDelta * kDelta ? std::cbrt(t) : t / (3 * kDelta * kDelta) + 4.0 / 29.0;
}

struct Lab {
    double l, a, b;
};

Lab ToLab(mtxColor c) {
    const auto& lin = LinearTable();
    double r = lin[mtxRed(c)], g = lin[mtxGreen(c)], b = lin[mtxBlue(c)];
    // sRGB primaries to XYZ, relative to the D65 white point.
    double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    double fx = LabF(x), fy = LabF(y), fz = LabF(z);
    return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

}  // namespace

double mtxMeanColorDifference(const mtxImage& a, const mtxImage& b, float sigma) {
    if (a.width != b.width || a.height != b.height || a.width <= 0 || a.height <= 0 || !a.data ||
        !b.data)
        return -1;
    try {
        mtxImage first, second;
        if (!OverWhite(a, first) || !OverWhite(b, second)) return -1;
        if (sigma > 0) {
            first.Blur(sigma);
            second.Blur(sigma);
        }
        double sum = 0;
        for (int y = 0; y < a.height; ++y) {
            const mtxColor* p = first.Row(y);
            const mtxColor* q = second.Row(y);
            double rowSum = 0;
            for (int x = 0; x < a.width; ++x) {
                if (p[x] == q[x]) continue;
                Lab u = ToLab(p[x]), v = ToLab(q[x]);
                rowSum += std::sqrt((u.l - v.l) * (u.l - v.l) + (u.a - v.a) * (u.a - v.a) +
                                    (u.b - v.b) * (u.b - v.b));
            }
            sum += rowSum;
        }
        return sum / (double(a.width) * double(a.height));
    } catch (const std::bad_alloc&) {
        return -1;
    }
}
