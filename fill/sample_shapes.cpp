#include "fill/sample_shapes.h"

#include <algorithm>

#include "fill/sample_collection.h"
#include "fill/stamp_canvas.h"
#include "platform/device.h"

namespace {

float LumaOf(uint32_t argb) {
    float r = float((argb >> 16) & 0xFF), g = float((argb >> 8) & 0xFF), b = float(argb & 0xFF);
    return 0.299f * r + 0.587f * g + 0.114f * b;
}

// The mean of the light scaled by factor and clipped at full, 0..1.
float MeanLight(const float luma[256], float factor) {
    float sum = 0;
    for (int level = 1; level < 256; ++level)
        if (luma[level] > 0) sum += luma[level] * std::min(1.0f, float(level) / 255.0f * factor);
    return sum;
}

}  // namespace

void mtxSampleShapes::Set(int32_t index, const void* texture, const uint32_t* pixels, int width,
                          int height) {
    if (index < 0) return;
    // Room for every sample at once, so a shape handed out stays where it is.
    if (shapes_.size() <= size_t(index))
        shapes_.resize(std::max(size_t(index) + 1, size_t(SampleCollection::kMaxSamples)));
    Shape& shape = shapes_[size_t(index)];
    shape.texture = texture;
    shape.width = width, shape.height = height;
    shape.alpha.assign(size_t(width) * size_t(height), 0);
    std::fill(std::begin(shape.luma), std::end(shape.luma), 0.0f);
    double weight = 0;
    for (size_t i = 0; i < shape.alpha.size(); ++i) {
        uint8_t a = uint8_t(pixels[i] >> 24);
        shape.alpha[i] = a;
        int level = std::clamp(int(LumaOf(pixels[i]) + 0.5f), 0, 255);
        shape.luma[level] += float(a);
        weight += a;
    }
    if (weight > 0)
        for (float& share : shape.luma) share = float(share / weight);
    const size_t stride = size_t(width) + 1;
    shape.marks.assign(stride * (size_t(height) + 1), 0);
    for (int y = 0; y < height; ++y) {
        uint32_t across = 0;
        for (int x = 0; x < width; ++x) {
            across += shape.alpha[size_t(y) * size_t(width) + size_t(x)] != 0;
            shape.marks[(size_t(y) + 1) * stride + size_t(x) + 1] =
                shape.marks[size_t(y) * stride + size_t(x) + 1] + across;
        }
    }
    // A stamp's centre lies at the texture's centre.
    shape.opaqueCentre =
        width > 0 && height > 0 &&
        mtxStampCanvas::Covers(shape.alpha.data(), width, height, width / 2.0, height / 2.0);
}

bool mtxSampleShapes::Shape::AnyAlpha(int x0, int y0, int x1, int y1) const {
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, width - 1), y1 = std::min(y1, height - 1);
    if (x0 > x1 || y0 > y1 || marks.empty()) return false;
    const size_t stride = size_t(width) + 1;
    auto at = [&](int x, int y) { return marks[size_t(y) * stride + size_t(x)]; };
    return at(x1 + 1, y1 + 1) - at(x0, y1 + 1) - at(x1 + 1, y0) + at(x0, y0) > 0;
}

const mtxSampleShapes::Shape* mtxSampleShapes::Known(const SampleCollection& samples,
                                                     int32_t index) const {
    if (index < 0 || index >= samples.count || size_t(index) >= shapes_.size()) return nullptr;
    const SampleCollection::Sample& sample = samples.samples[index];
    const Shape& known = shapes_[size_t(index)];
    return known.texture == sample.texture && !known.alpha.empty() && known.width == sample.width &&
                   known.height == sample.height
               ? &known
               : nullptr;
}

const mtxSampleShapes::Shape* mtxSampleShapes::Get(const SampleCollection& samples, int32_t index) {
    if (const Shape* known = Known(samples, index); known || knownOnly) return known;
    if (index < 0 || index >= samples.count) return nullptr;
    const SampleCollection::Sample& sample = samples.samples[index];
    if (!sample.texture || sample.width <= 0 || sample.height <= 0) return nullptr;
    D3DLOCKED_RECT locked;
    if (FAILED(sample.texture->LockRect(0, &locked, nullptr, 0))) return nullptr;
    std::vector<uint32_t> pixels(size_t(sample.width) * size_t(sample.height));
    for (int y = 0; y < sample.height; ++y) {
        auto* row = static_cast<const uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch);
        for (int x = 0; x < sample.width; ++x) {
            const uint8_t* p = row + size_t(x) * 4;  // bytes B, G, R, A
            pixels[size_t(y) * size_t(sample.width) + size_t(x)] =
                uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    }
    sample.texture->UnlockRect(0);
    Set(index, sample.texture, pixels.data(), sample.width, sample.height);
    return &shapes_[size_t(index)];
}

float mtxSampleShapes::BrightnessFor(const Shape& shape, float target) {
    if (!(target > 0)) return 0;
    // The mean grows with the factor until every lit pixel is clipped; halve
    // the bracket until the factor is found to a part in a million.
    float low = 0, high = 1;
    while (MeanLight(shape.luma, high) < target && high < 65536) high *= 2;
    if (high >= 65536) return high;
    for (int i = 0; i < 24; ++i) {
        float middle = 0.5f * (low + high);
        (MeanLight(shape.luma, middle) < target ? low : high) = middle;
    }
    return 0.5f * (low + high);
}
