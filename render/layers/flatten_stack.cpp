#include "render/layers/flatten_stack.h"

#include <algorithm>
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

// Lays layer over destination with its pixel (0, 0) at (dx, dy), clipped.
void LayOver(mtxImage& destination, mtxImage& layer, int dx, int dy, uint8_t opacity) {
    if (opacity == 0) return;
    int x0 = std::max(dx, 0), x1 = std::min(destination.width, dx + layer.width);
    int y0 = std::max(dy, 0), y1 = std::min(destination.height, dy + layer.height);
    for (int y = y0; y < y1; ++y) {
        const mtxColor* from = layer.Row(y - dy) - dx;
        mtxColor* to = destination.Row(y);
        for (int x = x0; x < x1; ++x) {
            uint32_t weight = mtxAlpha(from[x]) * opacity;  // 0 .. 255 x 255
            if (weight == 0) continue;
            to[x] =
                weight == 255u * 255u ? from[x] : Over(from[x], to[x], float(weight) / 65025.0f);
        }
    }
}

// A transform that only moves by whole pixels: TransformImage would copy.
bool WholePixelMove(const float m[9], int* dx, int* dy) {
    if (m[0] != 1.0f || m[1] != 0.0f || m[3] != 0.0f || m[4] != 1.0f || m[6] != 0.0f ||
        m[7] != 0.0f || m[8] != 1.0f)
        return false;
    if (std::fabs(m[2]) > 1.0e8f || std::fabs(m[5]) > 1.0e8f || m[2] != std::floor(m[2]) ||
        m[5] != std::floor(m[5]))
        return false;
    *dx = int(m[2]), *dy = int(m[5]);
    return true;
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
    mtxImage work;
    int result = 1;
    for (int i = 0, count = stack.LayerCount(); i < count; ++i) {
        mtxImageStack::Layer* layer = stack.GetLayer(i);
        if (!layer || !layer->source || layer->source->width <= 0) continue;
        if (!layer->source->Lock()) continue;
        int dx = 0, dy = 0;
        if (WholePixelMove(layer->transform, &dx, &dy)) {
            // What TransformImage would give, without the work image.
            LayOver(destination, *layer->source, dx, dy, layer->Opacity());
        } else if (work.Create(width, height, 0) && !work.IsEmpty()) {
            // TransformImage writes every pixel of the work image (transparent
            // black where the layer does not reach), so it needs no clearing.
            // Bilinear, as the viewer shows a turned layer: the file is the screen.
            TransformImage(*layer->source, work, layer->transform, mtxRect{}, kSampleBilinear);
            LayOver(destination, work, 0, 0, layer->Opacity());
        } else {
            result = 0;
        }
        layer->source->Unlock();
    }
    destination.Unlock();
    return result;
}

int LayImageOver(mtxImage& destination, mtxImage& overlay) {
    if (overlay.width != destination.width || overlay.height != destination.height) return 0;
    if (!destination.Lock()) return 0;
    if (!overlay.Lock()) {
        destination.Unlock();
        return 0;
    }
    LayOver(destination, overlay, 0, 0, 255);
    overlay.Unlock();
    destination.Unlock();
    return 1;
}
