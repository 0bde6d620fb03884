#include "fill/fine_engine.h"

#include <algorithm>
#include <cmath>

#include "fill/coverage_mask.h"
#include "fill/segment_graph.h"
#include "fill/stamp_reach.h"
#include "image/image.h"

namespace {

// Cells of one pixel up to this photo size; above it, the coverage mask's
// cells, so the last phase covers exactly what the coverage counts.
constexpr int64_t kPixelCells = 1 << 22;

struct Lab {
    float l, a, b;
};

float LinearOf(float c) {
    c /= 255.0f;
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

float LabF(float t) {
    constexpr float kDelta = 6.0f / 29.0f;
    return t > kDelta * kDelta * kDelta ? std::cbrt(t) : t / (3 * kDelta * kDelta) + 4.0f / 29.0f;
}

// sRGB (0..255 each) to CIE L*a*b* under D65.
Lab ToLab(float red, float green, float blue) {
    float r = LinearOf(red), g = LinearOf(green), b = LinearOf(blue);
    float x = (0.4124564f * r + 0.3575761f * g + 0.1804375f * b) / 0.95047f;
    float y = 0.2126729f * r + 0.7151522f * g + 0.0721750f * b;
    float z = (0.0193339f * r + 0.1191920f * g + 0.9503041f * b) / 1.08883f;
    float fx = LabF(x), fy = LabF(y), fz = LabF(z);
    return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

float Difference(const float p[3], const float q[3]) {
    Lab u = ToLab(p[0], p[1], p[2]), v = ToLab(q[0], q[1], q[2]);
    return std::sqrt((u.l - v.l) * (u.l - v.l) + (u.a - v.a) * (u.a - v.a) +
                     (u.b - v.b) * (u.b - v.b));
}

// Y, Cb, Cr (each 0..1) of red, green, blue (each 0..1), as the recolouring
// shader turns them back.
void YCbCrOf(const float rgb[3], float key[3]) {
    float y = 0.299f * rgb[0] + 0.587f * rgb[1] + 0.114f * rgb[2];
    key[0] = y;
    key[1] = (rgb[2] - y) / 1.772f + 0.5f;
    key[2] = (rgb[0] - y) / 1.402f + 0.5f;
}

uint32_t Pack(const float rgb[3]) {
    auto byte = [](float c) { return uint32_t(std::clamp(std::lround(c * 255.0f), 0L, 255L)); };
    return byte(rgb[0]) << 16 | byte(rgb[1]) << 8 | byte(rgb[2]);
}

float MeanDifference(const mtxPhotoMeans::Sums& a, const mtxPhotoMeans::Sums& b) {
    if (a.count == 0 || b.count == 0) return 0;
    const float p[3] = {float(a.red) / float(a.count), float(a.green) / float(a.count),
                        float(a.blue) / float(a.count)};
    const float q[3] = {float(b.red) / float(b.count), float(b.green) / float(b.count),
                        float(b.blue) / float(b.count)};
    return Difference(p, q);
}

// The side of the tables' cells: a pixel up to a photo of kPixelCells.
int TableCell(int width, int height) {
    const int64_t pixels = int64_t(width) * height;
    return pixels <= kPixelCells ? 1 : mtxCoverageMask::CellFor(pixels);
}

}  // namespace

void mtxFineEngine::KeyOf(const float rgb[3], float key[3]) {
    YCbCrOf(rgb, key);
}

// One colour stands for the photo under the box at this scale: each quarter's
// mean is near the whole box's mean.
bool mtxFineEngine::Smooth(const Box& box, const mtxPhotoMeans::Sums& whole) const {
    const int xm = (box.x0 + box.x1) / 2, ym = (box.y0 + box.y1) / 2;
    const Box quarters[4] = {{box.x0, box.y0, xm, ym},
                             {xm + 1, box.y0, box.x1, ym},
                             {box.x0, ym + 1, xm, box.y1},
                             {xm + 1, ym + 1, box.x1, box.y1}};
    for (const Box& q : quarters) {
        if (q.x0 > q.x1 || q.y0 > q.y1) continue;
        if (MeanDifference(means_.Query(q.x0, q.y0, q.x1, q.y1), whole) > kSmooth) return false;
    }
    return true;
}

void mtxFineEngine::Restart(uint64_t seed) {
    seed_ = seed;
    started_ = starting_ = false;
    phase_ = Phase::kPasses;
    sizes_.clear();
    points_.clear();
    tries_.clear();
    pass_ = -1;
    cursor_ = 0;
    givenUp_ = 0;
    making_ = Making{};
    paintedRgb_.clear();
}

bool mtxFineEngine::Prepared() const {
    const mcvSegmentGraph& s = segmentation_;
    return s.stages == mcvSegmentGraph::kAllStages && s.width > 0 && s.height > 0 &&
           int(s.width) == target_.Width() && int(s.height) == target_.Height() &&
           s.distance.width == int(s.width) && s.distance.height == int(s.height) &&
           source_.width == int(s.width) && source_.height == int(s.height) && source_.data;
}

void mtxFineEngine::ReadyMemory(int width, int height) {
    const int cell = TableCell(width, height);
    means_.Reserve(width, height, cell, true);
    canvas_.Reserve(width, height, cell, true);
}

bool mtxFineEngine::BeginStart() {
    const int cell = TableCell(source_.width, source_.height);
    // Protected pixels give no colour and need no cover. The tables keep the
    // plane as it is now; a later stroke is honoured by each stamp's test.
    const mtxFillMaps* protect = MapWith(mtxFillMaps::kProtect);
    const uint8_t* plane = protect ? protect->Data(mtxFillMaps::kProtect) : nullptr;
    if (!means_.Begin(source_, cell, plane) || !canvas_.Begin(source_, cell, plane)) return false;
    ChooseSizes(source_.width, source_.height);
    starting_ = true;
    return true;
}

// The photo's tables take a slice of rows a step: on a large photo they take
// longer than a frame.
bool mtxFineEngine::StartSlice() {
    const int rows = std::max(1, int(kStartSlice / (int64_t(means_.Cell()) * source_.width)));
    if (!means_.Complete()) {
        means_.AddRows(rows);
        return false;
    }
    if (!canvas_.AddRows(rows)) return false;
    starting_ = false;
    random_ = mtxFillRandom::Seeded(seed_);
    pass_ = -1;
    started_ = true;
    if (!NextPass()) EnterCover();
    return true;
}

// Auto: the largest a share of the photo's shorter side, the smallest a
// sixteenth of that but a few pixels at least; the user's bounds still hold.
// Otherwise the user's bounds are the sizes. A detail plane stretches the
// passes to the finest and coarsest sizes its points ask for.
void mtxFineEngine::ChooseSizes(int width, int height) {
    int largest = samples_.sizeMax, smallest = samples_.sizeMin;
    if (samples_.autoSize) {
        int shorter = std::min(width, height);
        largest = std::clamp(int(std::lround(float(shorter) * kLargestShare)), 3, samples_.sizeMax);
        smallest = std::max({samples_.sizeMin, kSmallest, int(std::lround(float(largest) / 16))});
        smallest = std::min(smallest, largest);
    }
    smallest_ = smallest, largest_ = largest;
    finest_ =
        std::min(smallest, samples_.autoSize ? std::max(samples_.sizeMin, kFinest) : smallest);
    coarsest_ = std::max(largest, int(samples_.sizeMax));
    float low = 1, high = 1;
    if (const mtxFillMaps* detail = MapWith(mtxFillMaps::kDetail)) detail->ScaleRange(&low, &high);
    largest = std::clamp(int(std::lround(float(largest) * high)), largest, coarsest_);
    smallest = std::clamp(int(std::lround(float(smallest) * low)), finest_, smallest);
    sizes_.clear();
    for (float size = float(largest); size > float(smallest) * 1.2f; size *= kPassRatio)
        sizes_.push_back(int32_t(std::lround(size)));
    sizes_.push_back(smallest);
}

const mtxFillMaps* mtxFineEngine::MapWith(mtxFillMaps::Plane plane) const {
    return maps_ && maps_->Has(plane) && maps_->Width() == source_.width &&
                   maps_->Height() == source_.height
               ? maps_
               : nullptr;
}

void mtxFineEngine::RangeAt(int x, int y, float* low, float* high) const {
    const mtxFillMaps* detail = MapWith(mtxFillMaps::kDetail);
    const float scale = detail ? detail->SizeScale(x, y) : 1.0f;
    *low = std::clamp(float(smallest_) * scale, float(finest_), float(coarsest_));
    *high = std::clamp(float(largest_) * scale, *low, float(coarsest_));
}

// Within the jitter of a size, so a range narrower than the step between
// passes still takes the pass nearest it.
bool mtxFineEngine::TakesPass(int x, int y, int size) const {
    if (!MapWith(mtxFillMaps::kDetail)) return true;
    float low, high;
    RangeAt(x, y, &low, &high);
    return float(size) <= high * 1.15f && float(size) >= low * 0.85f;
}

// Each protected pixel under the stamp's quad is turned back into the
// sample's texture; the stamp leaves a mark there when a texel with alpha
// lies within the filtering's reach of that point. The device draws no pixel
// whose centre lies outside the quad, whatever the filtering.
bool mtxFineEngine::ClearOfProtection(const mtxStamp& stamp,
                                      const mtxSampleShapes::Shape& shape) const {
    const mtxFillMaps* protect = MapWith(mtxFillMaps::kProtect);
    if (!protect) return true;
    mtxStampReach reach;
    if (!reach.Set(stamp, shape)) return false;
    const int x0 = int(std::floor(reach.left - 1)), x1 = int(std::ceil(reach.right + 1));
    const int y0 = int(std::floor(reach.top - 1)), y1 = int(std::ceil(reach.bottom + 1));
    return !protect->FindProtected(x0, y0, x1, y1,
                                   [&](int x, int y) { return reach.Marks(x + 0.5, y + 0.5); });
}

bool mtxFineEngine::NextPass() {
    if (pass_ + 1 >= int(sizes_.size())) return false;
    ++pass_;
    Making& m = making_;
    m.spacing = std::max(1.0f, float(sizes_[size_t(pass_)]) * kSpacing);
    m.across = int(std::ceil(float(source_.width) / m.spacing));
    m.down = int(std::ceil(float(source_.height) / m.spacing));
    m.stage = Making::kGrid;
    m.at = 0;
    points_.clear();
    points_.reserve(size_t(m.across) * size_t(m.down));
    m.keys.clear();
    m.keys.reserve(points_.capacity());
    cursor_ = 0;
    return true;
}

// A pass is made in slices of steps: the grid's points with their contrast
// keys, then the shuffle, then the order. The keys are read in grid order,
// where neighbouring points read neighbouring rows of the means' table; in
// the shuffled order each point's eight reads miss the cache.
bool mtxFineEngine::MakePass() {
    Making& m = making_;
    const int width = source_.width, height = source_.height;
    const size_t goal = points_.size() + kMakingSlice;
    switch (m.stage) {
        case Making::kReady:
            return true;
        case Making::kGrid: {
            const int size = sizes_[size_t(pass_)];
            for (; m.at < size_t(m.down) && points_.size() < goal; ++m.at) {
                const int j = int(m.at);
                for (int i = 0; i < m.across; ++i) {
                    float jx = float(random_.Below(1024)) / 1024,
                          jy = float(random_.Below(1024)) / 1024;
                    int x = std::min(int((float(i) + jx) * m.spacing), width - 1);
                    int y = std::min(int((float(j) + jy) * m.spacing), height - 1);
                    if (!TakesPass(x, y, size)) continue;
                    points_.push_back(uint32_t(y) * uint32_t(width) + uint32_t(x));
                    m.keys.push_back(ContrastKey(x, y, size));
                }
            }
            if (m.at == size_t(m.down)) m.stage = Making::kShuffle, m.at = points_.size();
            return false;
        }
        case Making::kShuffle: {
            const size_t end = m.at > 4 * kMakingSlice ? m.at - 4 * kMakingSlice : 1;
            for (size_t k = m.at; k > end; --k) {
                const uint32_t other = random_.Below(uint32_t(k));
                std::swap(points_[k - 1], points_[other]);
                std::swap(m.keys[k - 1], m.keys[other]);
            }
            m.at = end;
            if (m.at > 1) return false;
            OrderByContrast();
            m.stage = Making::kReady;
            return true;
        }
    }
    return true;
}

// How far the photo about the point stands out from its surroundings.
uint8_t mtxFineEngine::ContrastKey(int x, int y, int size) const {
    Box inner = CellsAround(x, y, kColorSpan * float(size) / 2);
    Box outer = CellsAround(x, y, float(size));
    float contrast = MeanDifference(means_.Query(inner.x0, inner.y0, inner.x1, inner.y1),
                                    means_.Query(outer.x0, outer.y0, outer.x1, outer.y1));
    return uint8_t(std::min(255.0f, contrast));
}

// Points where the photo stands out from its surroundings come last in the
// pass, so their stamps lie on top of their neighbours' and small details
// keep their colour. Points of equal contrast keep their shuffled order.
void mtxFineEngine::OrderByContrast() {
    const std::vector<uint8_t>& keys = making_.keys;
    // A counting sort on the byte: stable, and linear where a pass of a
    // large photo holds hundreds of thousands of points.
    size_t start[257] = {};
    for (uint8_t key : keys) ++start[key + 1];
    for (int k = 0; k < 256; ++k) start[k + 1] += start[k];
    std::vector<uint32_t> ordered(points_.size());
    for (size_t i = 0; i < points_.size(); ++i) ordered[start[keys[i]]++] = points_[i];
    points_.swap(ordered);
    making_.keys.clear();
}

void mtxFineEngine::EnterCover() {
    phase_ = Phase::kCover;
    tries_.assign(size_t(canvas_.Width()) * size_t(canvas_.Height()), 0);
    canvas_.CollectUncovered(points_);
    cursor_ = 0;
}

mtxPlaceResult mtxFineEngine::PlaceSample(uint32_t now, mtxStamp* out) {
    const int width = target_.Width(), height = target_.Height();
    if (width <= 0 || height <= 0) return mtxPlaceResult::kNotPrepared;
    if (now % 3000 == 0) target_.Refresh();
    if (!Prepared()) return mtxPlaceResult::kNotPrepared;
    if (samples_.count <= 0) return mtxPlaceResult::kNoSamples;
    if (!started_) {
        if (!starting_ && !BeginStart()) return mtxPlaceResult::kNotPrepared;
        if (!StartSlice()) return mtxPlaceResult::kNoRoom;  // nothing placed yet
    }
    if (phase_ == Phase::kPasses && !MakePass()) return mtxPlaceResult::kNoRoom;
    for (int visit = 0; visit < kVisitsPerStep && phase_ != Phase::kDone; ++visit) {
        // A pass begun by this step is made by the next ones.
        if (phase_ == Phase::kPasses && making_.stage != Making::kReady) break;
        mtxStamp stamp;
        bool made = phase_ == Phase::kPasses ? VisitPassPoint(stamp) : VisitGap(stamp);
        if (!made) continue;
        if (drawing_ && !target_.Draw(stamp, samples_)) return mtxPlaceResult::kDrawFailed;
        Paint(stamp, lastRgb_);
        paintedRgb_.push_back(lastRgb_);
        if (out) *out = stamp;
        return mtxPlaceResult::kPlaced;
    }
    return phase_ == Phase::kDone ? mtxPlaceResult::kFinished : mtxPlaceResult::kNoRoom;
}

bool mtxFineEngine::VisitPassPoint(mtxStamp& stamp) {
    if (cursor_ >= points_.size()) {
        if (!NextPass()) EnterCover();
        return false;
    }
    const uint32_t at = points_[cursor_++];
    const int x = int(at % uint32_t(source_.width)), y = int(at / uint32_t(source_.width));
    // Sizes vary a little within a pass, so the stamps do not look stamped.
    float jitter = 0.85f + 0.3f * float(random_.Below(1024)) / 1023.0f;
    int size = int(std::lround(float(sizes_[size_t(pass_)]) * jitter));
    size = std::clamp(size, sizes_.back(), std::max(sizes_.front(), sizes_.back()));
    // Asked again: a stroke since the pass was made counts from its next stamp.
    if (!TakesPass(x, y, sizes_[size_t(pass_)])) return false;
    return Compose(x, y, size, false, stamp);
}

bool mtxFineEngine::VisitGap(mtxStamp& stamp) {
    if (cursor_ >= points_.size()) {
        // Another round over what is still uncovered; cells tried enough are given up.
        std::vector<uint32_t> open;
        canvas_.CollectUncovered(open);
        points_.clear();
        givenUp_ = 0;
        for (uint32_t cell : open) {
            if (tries_[cell] < kCoverTries)
                points_.push_back(cell);
            else
                ++givenUp_;
        }
        cursor_ = 0;
        if (points_.empty()) phase_ = Phase::kDone;
        return false;
    }
    const uint32_t cell = points_[cursor_++];
    const int cx = int(cell % uint32_t(canvas_.Width())),
              cy = int(cell / uint32_t(canvas_.Width()));
    if (!canvas_.Uncovered(cx, cy) || tries_[cell] >= kCoverTries) return false;
    const int c = canvas_.Cell();
    int x = std::min(cx * c + c / 2, source_.width - 1),
        y = std::min(cy * c + c / 2, source_.height - 1);
    // Protected since the run began: nothing may cover it.
    const mtxFillMaps* protect = MapWith(mtxFillMaps::kProtect);
    if (protect && protect->Protected(x, y)) {
        tries_[cell] = kCoverTries;
        return false;
    }
    ++tries_[cell];
    float low, high;
    RangeAt(x, y, &low, &high);
    const int size = MapWith(mtxFillMaps::kDetail) ? int(std::lround(low)) : sizes_.back();
    return Compose(x, y, size, true, stamp);
}

mtxFineEngine::Box mtxFineEngine::CellsAround(int x, int y, float half) const {
    const int c = means_.Cell();
    int left = int(std::ceil(float(x) - half)), right = int(std::floor(float(x) + half));
    int top = int(std::ceil(float(y) - half)), bottom = int(std::floor(float(y) + half));
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
    auto cellOf = [c](int p) { return p >= 0 ? p / c : -1 - (-1 - p) / c; };
    return {cellOf(left), cellOf(top), cellOf(right), cellOf(bottom)};
}

// The stamp's bounding square lies on pixels with alpha, inside the photo.
bool mtxFineEngine::OnPhoto(int x, int y, float radius) const {
    Box box = CellsAround(x, y, radius);
    if (box.x0 < 0 || box.y0 < 0 || box.x1 >= means_.Width() || box.y1 >= means_.Height())
        return false;
    mtxPhotoMeans::Sums sums = means_.Query(box.x0, box.y0, box.x1, box.y1);
    return sums.count == sums.pixels;
}

// Somewhere under the stamp nothing is covered yet, or the picture there,
// averaged, differs visibly from the photo averaged the same way.
bool mtxFineEngine::NeedsStamp(const Box& box, const mtxPhotoMeans::Sums& photo) const {
    mtxStampCanvas::Sums drawn = canvas_.Query(box.x0, box.y0, box.x1, box.y1);
    if (drawn.uncovered > 0) return true;
    if (drawn.covered == 0) return false;
    const float p[3] = {float(photo.red) / float(photo.count),
                        float(photo.green) / float(photo.count),
                        float(photo.blue) / float(photo.count)};
    const float q[3] = {float(drawn.red) / float(drawn.covered),
                        float(drawn.green) / float(drawn.covered),
                        float(drawn.blue) / float(drawn.covered)};
    return Difference(p, q) > kDetail;
}

float mtxFineEngine::RadiusOf(int32_t index, int size) const {
    float scale = samples_.samples[index].scale;
    return scale > 0 ? float(size) / (1.4142135f * scale) : float(size) / 2;
}

int32_t mtxFineEngine::ChooseSample(const float key[3], bool cover) {
    if (samples_.chooseMode != SampleCollection::kChooseColorMatch) {
        int32_t index = int32_t(random_.Below(uint32_t(samples_.count)));
        if (!cover) return index;
        // Covering a cell takes a sample whose centre is opaque, the next one after index.
        for (int32_t k = 0; k < samples_.count; ++k) {
            int32_t i = (index + k) % samples_.count;
            const mtxSampleShapes::Shape* shape = shapes_.Get(samples_, i);
            if (shape && shape->opaqueCentre) return i;
        }
        return index;
    }
    int32_t best = -1, fallback = -1;
    float bestDistance = 1e30f, fallbackDistance = 1e30f;
    for (int32_t i = 0; i < samples_.count; ++i) {
        const float* k = samples_.samples[i].key;
        float d = (k[0] - key[0]) * (k[0] - key[0]) + (k[1] - key[1]) * (k[1] - key[1]) +
                  (k[2] - key[2]) * (k[2] - key[2]);
        if (d < fallbackDistance) fallbackDistance = d, fallback = i;
        if (cover) {
            const mtxSampleShapes::Shape* shape = shapes_.Get(samples_, i);
            if (!shape || !shape->opaqueCentre) continue;
        }
        if (d < bestDistance) bestDistance = d, best = i;
    }
    return best >= 0 ? best : fallback;
}

bool mtxFineEngine::Compose(int x, int y, int size, bool cover, mtxStamp& stamp) {
    // The photo's mean over the middle of the stamp, where its colour shows
    // most: the stamp's edges lie under its neighbours, and a small detail
    // under the middle keeps its colour.
    Box box = CellsAround(x, y, kColorSpan * float(size) / 2);
    mtxPhotoMeans::Sums photo = means_.Query(box.x0, box.y0, box.x1, box.y1);
    if (photo.count == 0) return false;
    if (!cover && !NeedsStamp(box, photo)) return false;
    float rgb[3] = {float(photo.red) / float(photo.count) / 255.0f,
                    float(photo.green) / float(photo.count) / 255.0f,
                    float(photo.blue) / float(photo.count) / 255.0f};
    float key[3];
    YCbCrOf(rgb, key);
    int32_t index = ChooseSample(key, cover);
    const mtxSampleShapes::Shape* shape = shapes_.Get(samples_, index);
    if (index < 0 || !shape) return false;
    float radius = RadiusOf(index, size);
    if (cover) {
        // Smaller until the stamp stays on the photo's pixels; one pixel always does.
        while (size > 1 && !OnPhoto(x, y, radius)) {
            size = std::max(1, int(float(size) * kPassRatio));
            radius = RadiusOf(index, size);
        }
    } else {
        // Room in the segmentation, or a photo that one colour stands for at
        // this scale. Where the detail plane asks for coarser stamps, the
        // borders within count for less in the same measure.
        float room = segmentation_.distance.At(x, y);
        if (const mtxFillMaps* detail = MapWith(mtxFillMaps::kDetail))
            room *= std::max(1.0f, detail->SizeScale(x, y));
        bool fits = radius <= room + float(samples_.overlap) || Smooth(box, photo);
        if (!fits || !OnPhoto(x, y, radius)) return false;
    }

    const SampleCollection::Sample& sample = samples_.samples[index];
    stamp.sample = index;
    stamp.x = x, stamp.y = y;
    stamp.size = size;
    stamp.angle = samples_.rotate ? random_.Below(360) : 0;
    stamp.SizeTo(sample.width, sample.height);
    bool mirrored = samples_.mirror && (random_.Next() & 1);
    bool flipped = samples_.flip && (random_.Next() & 1);
    stamp.Shape(mirrored, flipped);
    if (!ClearOfProtection(stamp, *shape)) {
        // The last phase tries smaller stamps, down to a pixel, before it gives the cell up.
        if (!cover) return false;
        while (stamp.size > 1 && !ClearOfProtection(stamp, *shape)) {
            stamp.size = std::max(1, int(float(stamp.size) * kPassRatio));
            stamp.SizeTo(sample.width, sample.height);
            stamp.Shape(mirrored, flipped);
        }
        if (!ClearOfProtection(stamp, *shape)) return false;
    }
    stamp.c0[0] = key[0], stamp.c0[1] = key[1], stamp.c0[2] = key[2];
    stamp.c0[3] = mtxSampleShapes::BrightnessFor(*shape, key[0]);
    stamp.SetPhotoPixel(source_.At(x, y));
    bool recolor = samples_.colorMode == SampleCollection::kColorRecolor;
    stamp.shader = recolor ? mtxStamp::kRecolorShader : mtxStamp::kPlainShader;
    lastRgb_ = recolor ? Pack(rgb) : Pack(sample.meanColor);
    return true;
}

void mtxFineEngine::Paint(const mtxStamp& stamp, uint32_t rgb) {
    const mtxSampleShapes::Shape* shape = shapes_.Get(samples_, stamp.sample);
    if (!shape) return;
    float corner[3][2];
    for (int i = 0; i < 3; ++i)
        if (!stamp.quad.Corner(i, &corner[i][0], &corner[i][1])) return;
    canvas_.Paint(corner, stamp.quad.u, stamp.quad.v, shape->alpha.data(), shape->width,
                  shape->height, rgb);
}

void mtxFineEngine::Forget(const std::function<bool(size_t k)>& gone,
                           const std::function<mtxStamp(size_t k)>& stamp) {
    if (!started_) return;  // nothing painted yet
    bool any = false;
    for (size_t k = 0; k < paintedRgb_.size() && !any; ++k) any = gone(k);
    if (!any) return;
    const mtxFillMaps* protect = MapWith(mtxFillMaps::kProtect);
    if (!canvas_.Reset(source_, canvas_.Cell(),
                       protect ? protect->Data(mtxFillMaps::kProtect) : nullptr))
        return;
    for (size_t k = 0; k < paintedRgb_.size(); ++k)
        if (!gone(k)) Paint(stamp(k), paintedRgb_[k]);
    // The passes' points ahead find the open cells by themselves; the last
    // phase collects them again, each with its tries anew.
    if (phase_ != Phase::kPasses) EnterCover();
}
