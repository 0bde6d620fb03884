#include "render/view/flatten_stack.h"

#include <cmath>

#include "image/resample.h"

namespace {

// Source over destination with weight a (0..1) for the source, the result's
// colour divided by its alpha again (straight, not premultiplied, alpha).
mtxColor Over(mtxColor s, mtxColor d, float a) {
    float da = float(mtxAlpha(d)) / 255.0f;
    float below = da * (1.0f - a);
    float alpha = a + below;
    auto channel = [&](int shift) {
        float v = (a * float((s >> shift) & 0xFF) + below * float((d >> shift) & 0xFF)) / alpha;
        return uint32_t(std::lrint(std::fmin(v, 255.0f))) << shift;
    };
    return (uint32_t(std::lrint(alpha * 255.0f)) << 24) | channel(16) | channel(8) | channel(0);
}

void LayOver(mtxImage& destination, mtxImage& work, uint8_t opacity) {
    if (opacity == 0) return;
    for (int y = 0; y < destination.height; ++y) {
        const mtxColor* from = work.Row(y);
        mtxColor* to = destination.Row(y);
        for (int x = 0; x < destination.width; ++x) {
            uint32_t weight = mtxAlpha(from[x]) * opacity;  // 0 .. 255 x 255
            if (weight == 0) continue;
            to[x] =
                weight == 255u * 255u ? from[x] : Over(from[x], to[x], float(weight) / 65025.0f);
        }
    }
}

void Fill(mtxImage& image, mtxColor color) {
    for (int y = 0; y < image.height; ++y) {
        mtxColor* row = image.Row(y);
        for (int x = 0; x < image.width; ++x) row[x] = color;
    }
}

}  // namespace

int FlattenStack(mtxImageStack& stack, mtxImage& destination) {
    const int width = stack.width, height = stack.height;
    if (width <= 0 || height <= 0) {
        destination.Free();
        return 1;
    }
    // Create keeps old pixels when the size is unchanged, so the fill is explicit.
    if (!destination.Create(width, height, stack.fillColor) || !destination.Lock()) return 0;
    Fill(destination, stack.fillColor);
    mtxImage work(width, height);
    if (work.IsEmpty()) {
        destination.Unlock();
        return 0;
    }
    for (int i = 0, count = stack.LayerCount(); i < count; ++i) {
        mtxImageStack::Layer* layer = stack.GetLayer(i);
        if (!layer || !layer->source || layer->source->width <= 0) continue;
        Fill(work, 0);
        if (!layer->source->Lock()) continue;
        TransformImage(*layer->source, work, layer->transform, mtxRect{}, kSampleBicubic);
        layer->source->Unlock();
        LayOver(destination, work, layer->Opacity());
    }
    destination.Unlock();
    return 1;
}
