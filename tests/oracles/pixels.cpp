#include "tests/oracles/pixels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace oracle {

double Psnr(const Pixels& a, const Pixels& b) {
    double sum = 0;
    for (size_t i = 0; i < a.data.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            double d = double((a.data[i] >> shift) & 255) - double((b.data[i] >> shift) & 255);
            sum += d * d;
        }
    double mse = sum / (3.0 * double(a.data.size()));
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

int MaxDifference(const Pixels& a, const Pixels& b) {
    int worst = 0;
    for (size_t i = 0; i < a.data.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            worst = std::max(
                worst, std::abs(int((a.data[i] >> shift) & 255) - int((b.data[i] >> shift) & 255)));
    return worst;
}

}  // namespace oracle
