#include "fill/fill_engine.h"

#include <algorithm>
#include <cmath>

#include "fill/fill_random.h"
#include "fill/sample_collection.h"
#include "fill/segment_graph.h"
#include "image/image.h"

namespace {

constexpr int kTries = 20;

// The brightness factor of the recolouring: the region's luma over the
// sample's. A black sample has none, so its luma counts as one level.
float BrightnessFactor(float regionY, float sampleY) {
    return regionY / std::max(sampleY, 1.0f / 255.0f);
}

}  // namespace

bool mtxFillEngine::Prepared() const {
    const mcvSegmentGraph& s = segmentation_;
    return s.stages == mcvSegmentGraph::kAllStages && s.width > 0 && s.height > 0 &&
           int(s.width) == target_.Width() && int(s.height) == target_.Height() &&
           s.distance.width == int(s.width) && s.distance.height == int(s.height) &&
           source_.width == int(s.width) && source_.height == int(s.height) && source_.data;
}

void mtxFillEngine::ForgetMatches() {
    samples_.changed = 0;
    for (SegmentRegion& region : segmentation_.regions) region.sample = -1;
}

int32_t mtxFillEngine::ChooseSample(uint32_t pixel) {
    if (samples_.chooseMode != SampleCollection::kChooseColorMatch)
        return int32_t(random_.Below(uint32_t(samples_.count)));
    SegmentRegion& region = segmentation_.RegionOf(pixel);
    if (region.sample == -1) {
        int32_t index = -1;
        if (samples_.MatchSample(region.key[0], region.key[1], region.key[2], index))
            region.sample = index;
    }
    return region.sample;
}

mtxPlaceResult mtxFillEngine::PlaceSample(uint32_t now, mtxStamp* out) {
    const int width = target_.Width(), height = target_.Height();
    if (width <= 0 || height <= 0) return mtxPlaceResult::kNotPrepared;
    if (now % 3000 == 0) target_.Refresh();
    if (!Prepared()) return mtxPlaceResult::kNotPrepared;
    if (samples_.changed) ForgetMatches();
    if (samples_.count <= 0) return mtxPlaceResult::kNoSamples;

    float threshold = float(samples_.sizeMin - samples_.overlap);
    if (threshold < 0) threshold = 0;
    mtxStamp stamp;
    float room = 0;
    int tries = 0;
    for (; tries < kTries; ++tries) {
        stamp.x = int32_t(random_.Below(uint32_t(width)));
        stamp.y = int32_t(random_.Below(uint32_t(height)));
        room = segmentation_.distance.At(stamp.x, stamp.y);
        if (room >= threshold) break;
    }
    if (tries == kTries) return mtxPlaceResult::kNoRoom;

    stamp.angle = samples_.rotate ? random_.Below(360) : 0;
    uint32_t pixel = uint32_t(stamp.y) * segmentation_.width + uint32_t(stamp.x);
    const SegmentRegion& region = segmentation_.RegionOf(pixel);
    stamp.sample = ChooseSample(pixel);
    if (stamp.sample < 0 || stamp.sample >= samples_.count) return mtxPlaceResult::kNoSamples;
    const SampleCollection::Sample& sample = samples_.samples[stamp.sample];

    // The side at which the sample's opaque radius reaches the room plus
    // twice the overlap; the sum in f32, the product in double, ties to even.
    float reach = room + 2.0f * float(samples_.overlap);
    double bound = std::nearbyint(double(reach) * 1.4142135623730951 * double(sample.scale));
    int64_t upper = std::min<int64_t>(samples_.sizeMax, int64_t(bound));
    int64_t span = upper - samples_.sizeMin;
    if (span < 0) return mtxPlaceResult::kTooSmall;
    stamp.size = samples_.sizeMin + (span > 0 ? int32_t(random_.Below(uint32_t(span))) : 0);

    stamp.SizeTo(sample.width, sample.height);
    bool mirrored = samples_.mirror && (random_.Next() & 1);
    bool flipped = samples_.flip && (random_.Next() & 1);
    stamp.Shape(mirrored, flipped);

    stamp.c0[0] = region.key[0], stamp.c0[1] = region.key[1], stamp.c0[2] = region.key[2];
    stamp.c0[3] = BrightnessFactor(region.key[0], sample.key[0]);
    stamp.SetPhotoPixel(source_.At(stamp.x, stamp.y));
    stamp.shader = samples_.colorMode == SampleCollection::kColorRecolor ? mtxStamp::kRecolorShader
                                                                         : mtxStamp::kPlainShader;

    if (!target_.Draw(stamp, samples_)) return mtxPlaceResult::kDrawFailed;
    if (out) *out = stamp;
    return mtxPlaceResult::kPlaced;
}

void mtxStamp::SizeTo(int32_t sampleWidth, int32_t sampleHeight) {
    int32_t m = std::min(sampleWidth, sampleHeight);
    float X = float(size), Y = float(size);
    if (sampleWidth != m) X = float(size) * (float(sampleWidth) / float(sampleHeight));
    if (sampleHeight != m) Y = float(size) * (float(sampleHeight) / float(sampleWidth));
    extent[0] = X, extent[1] = Y;
}

void mtxStamp::Shape(bool mirrored, bool flipped) {
    float X = extent[0], Y = extent[1];
    quad.left = -X / 2, quad.top = -Y / 2;
    quad.right = quad.left + X, quad.bottom = quad.top + Y;
    float theta = float(angle) * 3.1415927410125732f / 180.0f;
    float c = std::cos(theta), s = std::sin(theta);
    const float turnAndMove[9] = {c, s, 0, -s, c, 0, float(x), float(y), 1};
    std::copy(turnAndMove, turnAndMove + 9, quad.transform);
    quad.u[0] = mirrored ? 1 : 0, quad.u[1] = mirrored ? 0 : 1;
    quad.v[0] = flipped ? 1 : 0, quad.v[1] = flipped ? 0 : 1;
}

void mtxStamp::SetPhotoPixel(uint32_t pixel) {
    c1[0] = float(mtxRed(pixel)) / 255.0f, c1[1] = float(mtxGreen(pixel)) / 255.0f;
    c1[2] = float(mtxBlue(pixel)) / 255.0f, c1[3] = float(mtxAlpha(pixel)) / 255.0f;
}
