#include "app/filling/draw_estimate.h"

#include "fill/fill_engine.h"

double mtxDrawEstimate::Cost(const mtxStamp& stamp) {
    return double(stamp.extent[0]) * double(stamp.extent[1]) + kStampPixels;
}

size_t mtxDrawEstimate::Fitting(std::span<const mtxStamp> stamps, uint32_t budgetMs) const {
    const double affordable = PixelsPerMs() * budgetMs;
    double cost = 0;
    size_t count = 0;
    while (count < stamps.size()) {
        cost += Cost(stamps[count]);
        if (count > 0 && cost > affordable) break;
        ++count;
    }
    return count;
}

void mtxDrawEstimate::Note(std::span<const mtxStamp> stamps, uint32_t ms) {
    double cost = 0;
    for (const mtxStamp& stamp : stamps) cost += Cost(stamp);
    pixels_ = pixels_ * kKeep + cost;
    ms_ = ms_ * kKeep + ms;
}
