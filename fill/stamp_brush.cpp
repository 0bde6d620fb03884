#include "fill/stamp_brush.h"

#include <algorithm>
#include <cmath>

#include "fill/fill_random.h"
#include "fill/fine_engine.h"
#include "fill/sample_collection.h"
#include "fill/sample_shapes.h"
#include "image/image.h"

namespace {

// The photo's mean red, green and blue (0..1) over the pixels with alpha in
// the square of side `side` about (x, y); false when there are none.
bool MeanAround(const mtxImage& photo, int x, int y, float side, float rgb[3]) {
    const int half = std::max(0, int(side / 2));
    const int left = std::max(0, x - half), right = std::min(photo.width - 1, x + half);
    const int top = std::max(0, y - half), bottom = std::min(photo.height - 1, y + half);
    uint64_t sum[3] = {}, count = 0;
    for (int j = top; j <= bottom; ++j) {
        const mtxColor* row = photo.Row(j);
        for (int i = left; i <= right; ++i) {
            if (mtxAlpha(row[i]) == 0) continue;
            sum[0] += mtxRed(row[i]), sum[1] += mtxGreen(row[i]), sum[2] += mtxBlue(row[i]);
            ++count;
        }
    }
    if (count == 0) return false;
    for (int k = 0; k < 3; ++k) rgb[k] = float(double(sum[k]) / double(count) / 255.0);
    return true;
}

}  // namespace

float mtxStampBrush::Spacing(int size) {
    return std::max(1.0f, float(size) * mtxFineEngine::kSpacing);
}

bool mtxStampBrush::Compose(int x, int y, uint64_t salt, SampleCollection& samples,
                            mtxSampleShapes& shapes, const mtxImage& photo,
                            const mtxFloatField& distance, mtxStamp& stamp) const {
    if (samples.count <= 0 || x < 0 || y < 0 || x >= photo.width || y >= photo.height ||
        mtxAlpha(photo.At(x, y)) == 0)
        return false;
    mtxFillRandom random = mtxFillRandom::Seeded(
        salt * 0x9E3779B97F4A7C15ull ^ (uint64_t(uint32_t(x)) << 32) ^ uint64_t(uint32_t(y)));
    // The sample first: its scale turns the room into a size.
    const int largest = std::max(kSmallest, size);
    float rgb[3], key[3];
    if (!MeanAround(photo, x, y, mtxFineEngine::kColorSpan * float(largest), rgb)) return false;
    mtxFineEngine::KeyOf(rgb, key);
    int32_t index = sample;
    if (index < 0 || index >= samples.count) {
        if (samples.chooseMode == SampleCollection::kChooseColorMatch)
            samples.MatchSample(key[0], key[1], key[2], index);
        else
            index = int32_t(random.Below(uint32_t(samples.count)));
    }
    const mtxSampleShapes::Shape* shape = shapes.Get(samples, index);
    if (index < 0 || index >= samples.count || !shape) return false;
    const SampleCollection::Sample& chosen = samples.samples[index];

    // Where the stamp's opaque radius reaches the room plus the overlap, as
    // the Fine engine fits its stamps.
    int side = largest;
    if (distance.width == photo.width && distance.height == photo.height) {
        const float room = distance.At(x, y) + float(samples.overlap);
        const float scale = chosen.scale > 0 ? chosen.scale : 0.70710678f;
        side = std::min(side, int(std::floor(room * 1.4142135f * scale)));
    }
    side = std::max(side, kSmallest);
    // The colour of what the stamp covers at its own size.
    if (side != largest) MeanAround(photo, x, y, mtxFineEngine::kColorSpan * float(side), rgb);
    mtxFineEngine::KeyOf(rgb, key);

    stamp = mtxStamp{};
    stamp.sample = index;
    stamp.x = x, stamp.y = y;
    stamp.size = side;
    stamp.angle = samples.rotate ? random.Below(360) : 0;
    stamp.SizeTo(chosen.width, chosen.height);
    const bool mirrored = samples.mirror && (random.Next() & 1);
    const bool flipped = samples.flip && (random.Next() & 1);
    stamp.Shape(mirrored, flipped);
    stamp.c0[0] = key[0], stamp.c0[1] = key[1], stamp.c0[2] = key[2];
    stamp.c0[3] = mtxSampleShapes::BrightnessFor(*shape, key[0]);
    stamp.SetPhotoPixel(photo.At(x, y));
    stamp.shader = samples.colorMode == SampleCollection::kColorRecolor ? mtxStamp::kRecolorShader
                                                                        : mtxStamp::kPlainShader;
    return true;
}
