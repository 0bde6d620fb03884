#include "fill/fill_session.h"

#include <algorithm>
#include <cstring>

#include "fill/sample_collection.h"
#include "fill/stamp_reach.h"
#include "image/image_stack.h"
#include "platform/device.h"
#include "render/image_editor_device.h"
#include "render/layers/viewer_layer.h"

namespace {

constexpr uint32_t kSliceMs = 100;

}  // namespace

mtxFillSession::mtxFillSession(mtxImageEditorDevice& editor, SampleCollection& samples,
                               mtxIEViewerLayer& layer)
    : random(mtxFillRandom::FromCycleCounter()),
      editor_(editor),
      samples_(samples),
      layer_(layer),
      layerTarget_(editor, layer),
      target_(layerTarget_, log),
      engine_(segmentation, samples, random, sourceCopy, target_),
      fine_(segmentation, samples, sourceCopy, target_, shapes_) {
    segmentation.SetTimeBudget(kSliceMs);
    fine_.SetMaps(&maps);
}

int mtxFillSession::BeginPreparation() {
    prepared = 0;
    stop = 0;
    progress_ = 0;
    mtxImage* picture = reopened_ ? &sourceCopy : layer_.source;
    if (!picture || picture->width <= 0 || picture->height <= 0) return 0;
    mtxFieldLock<mtxImage> lock(*picture);
    if (!lock) return 0;
    segmentation.SetTimeBudget(kSliceMs);
    readyFine_ = samples_.fillMode == SampleCollection::kModeFine;
    return segmentation.StartSegmentation(*picture);
}

int mtxFillSession::PrepareSlice() {
    if (stop) return 1;
    int done = segmentation.Advance();
    // The engines read only each pixel's region, never the member lists: a quarter of the
    // nodes' memory for the whole run. Where memory is short the nodes simply stay.
    if (done && Analysed()) {
        segmentation.KeepRegionIndexOnly();
        ReadyCopyMemory();
        if (readyFine_) fine_.ReadyMemory(int(segmentation.width), int(segmentation.height));
    }
    progress_.store(done ? 100 : segmentation.status, std::memory_order_relaxed);
    return done;
}

int mtxFillSession::AdoptAnalysis(mcvSegmentGraph& analysis) {
    prepared = 0;
    stop = 0;
    const mtxImage* picture = layer_.source;
    if (reopened_ || !picture || analysis.width != uint32_t(std::max(picture->width, 0)) ||
        analysis.height != uint32_t(std::max(picture->height, 0)) ||
        !segmentation.Adopt(analysis) || !Analysed())
        return 0;
    segmentation.KeepRegionIndexOnly();
    progress_ = 100;
    return 1;
}

bool mtxFillSession::Analysed() const {
    return segmentation.stages == mcvSegmentGraph::kAllStages && !segmentation.outOfMemory &&
           segmentation.width > 0 && segmentation.height > 0 && !stop;
}

int mtxFillSession::FinishPreparation() {
    if (reopened_ && Analysed()) {
        reopened_ = false;
        prepared = 1;
        fineBehind_ = true;
        KeepBackgroundChosen();
        return 1;
    }
    if (!Analysed() || !SaveSourceCopy()) return 0;
    if (samples_.background != 1) {
        if (!PrepareBackground()) return 0;
    } else {
        // The layer's own content is the picture the copy was just taken of.
        KeepBackgroundChosen();
        StartBaseRun(mtxStampLog::kPhoto, 0);
        ForgetCoverage();
    }
    prepared = 1;
    return 1;
}

// The picture stands on the background the options choose now: they change
// later, with the background as it was, and the picture stays.
void mtxFillSession::KeepBackgroundChosen() {
    appliedBackground = samples_.background;
    appliedBackgroundColor = samples_.backgroundColor;
}

// On the preparing thread; the picture is of the analysis's size. Nothing
// else reads the spare until the preparation has ended.
void mtxFillSession::ReadyCopyMemory() {
    if (reopened_ || !spareCopy_.CreateUnset(int(segmentation.width), int(segmentation.height)))
        return;
    for (int y = 0; y < spareCopy_.height; ++y)
        std::memset(spareCopy_.Row(y), 0, size_t(spareCopy_.width) * sizeof(mtxColor));
}

int mtxFillSession::SaveSourceCopy() {
    mtxImage* picture = layer_.source;
    if (!picture) return 0;
    mtxFieldLock<mtxImage> lock(*picture);
    if (!lock || !picture->data) return 0;
    if (spareCopy_.width == picture->width && spareCopy_.height == picture->height)
        sourceCopy.TakeOver(spareCopy_);
    spareCopy_.Free();
    // Every pixel is copied over: nothing to clear first. A copy of the
    // same size keeps its memory.
    if (!sourceCopy.CreateUnset(picture->width, picture->height)) return 0;
    sourceCopy.Blit(*picture, mtxRect{}, 0, 0);
    return 1;
}

int mtxFillSession::PrepareBackground() {
    if (!layer_.source || !layer_.stackLayer) return 0;
    KeepBackgroundChosen();
    mtxStampLog::Base base = samples_.background != 0 ? mtxStampLog::kPhoto : mtxStampLog::kColor;
    if (!FillLayer(base, samples_.backgroundColor)) return 0;
    StartBaseRun(base, samples_.backgroundColor);
    RestartFine();  // its sequence is the new base's
    return 1;
}

int mtxFillSession::FillLayer(mtxStampLog::Base base, uint32_t color) {
    mtxImage* picture = layer_.source;
    if (!picture || !layer_.stackLayer) return 0;
    {
        mtxFieldLock<mtxImage> lock(*picture);
        if (!lock || !picture->data) return 0;
        if (base == mtxStampLog::kPhoto) {
            picture->Blit(sourceCopy, mtxRect{}, 0, 0);
        } else {
            for (int y = 0; y < picture->height; ++y) {
                mtxColor* row = picture->Row(y);
                for (int x = 0; x < picture->width; ++x) row[x] = color;
            }
        }
    }
    // Every tile shows the new picture; what was drawn and not committed goes.
    for (int row = 0; row < layer_.rows; ++row)
        for (int column = 0; column < layer_.columns; ++column)
            layer_.stackLayer->viewerData.push_back({column, row, 0});
    ForgetCoverage();
    return layer_.UploadChanges();
}

void mtxFillSession::StartBaseRun(mtxStampLog::Base base, uint32_t color) {
    mtxStampLog::Run run;
    run.startState = random.state;
    run.options = mtxStampLog::Options::Of(samples_);
    run.mode = target_.mode;
    run.base = base;
    run.baseColor = base == mtxStampLog::kColor ? color : 0;
    log.BeginRun(run);
}

void mtxFillSession::KeepRunCurrent() {
    target_.mode = static_cast<uint8_t>(samples_.fillMode);
    size_t runs = log.RunCount();
    mtxStampLog::Options options = mtxStampLog::Options::Of(samples_);
    if (runs > 0 && random.state == log.EndState() && log.RunAt(runs - 1).options == options &&
        log.RunAt(runs - 1).mode == target_.mode)
        return;
    StartBaseRun(mtxStampLog::kContinue, 0);
}

// The quad's corners land scale times farther from the picture's origin:
// the transform's X and Y columns are multiplied by it.
void mtxFillSession::Enlarge(mtxStamp& stamp, float scale) {
    float* t = stamp.quad.transform;
    for (int row = 0; row < 3; ++row) t[row * 3] *= scale, t[row * 3 + 1] *= scale;
}

int mtxFillSession::Reopen(const mtxStampLog& from) {
    prepared = 0;
    if (!SaveSourceCopy()) return 0;
    // A log that puts in no base of its own is drawn over the photo.
    ForgetCoverage();
    if (!Replay(from)) return 0;
    reopened_ = true;
    return 1;
}

int mtxFillSession::Replay(const mtxStampLog& from, float scale) {
    if (!BeginReplay(from) || !ReplayUntil(log.Count(), scale)) return 0;
    random.state = log.EndState();
    fineBehind_ = true;
    return 1;
}

int mtxFillSession::BeginReplay(const mtxStampLog& from) {
    if (&from != &log) log = from;
    replayed_ = 0;
    if (log.RunCount() == 0) return 1;
    const mtxStampLog::Run& base = log.RunAt(log.LastBase());
    if (base.base != mtxStampLog::kContinue && !FillLayer(base.base, base.baseColor)) return 0;
    replayed_ = base.firstStamp;
    return 1;
}

int mtxFillSession::ReplayUntil(uint64_t end, float scale) {
    OpenBatch();
    for (end = std::min(end, log.Count()); replayed_ < end; ++replayed_) {
        if (log.Erased(replayed_)) continue;
        mtxStamp stamp = log.At(replayed_);
        if (stamp.sample < 0 || stamp.sample >= samples_.count) return CloseBatch(), 0;
        if (scale != 1.0f) Enlarge(stamp, scale);
        if (!layerTarget_.Draw(stamp, samples_)) return CloseBatch(), 0;
        NoteCoverage(stamp);
        ++stamps;
    }
    return CloseBatch();
}

void mtxFillSession::OpenBatch(size_t limit) {
    layer_.OpenBatch(limit);
}

int mtxFillSession::CloseBatch() {
    return layer_.CloseBatch();
}

void mtxFillSession::PlaceOnly(bool on) {
    // A step reads the shapes of the samples it places, and a shape not read
    // yet comes from the sample's texture: the device's, not the placing
    // thread's.
    shapes_.knownOnly = false;
    if (on) ReadShapes();
    shapes_.knownOnly = on;
    layerTarget_.drawing = !on;
}

void mtxFillSession::ReadShapes() {
    const bool knownOnly = shapes_.knownOnly;
    shapes_.knownOnly = false;
    for (int32_t i = 0; i < samples_.count; ++i) shapes_.Get(samples_, i);
    shapes_.knownOnly = knownOnly;
}

int mtxFillSession::DrawPlaced(std::span<const mtxStamp> stamps) {
    // The layer target's own switch is the placing thread's: it may be
    // placing the next stamps meanwhile.
    int result = 1;
    for (const mtxStamp& stamp : stamps)
        if (!layerTarget_.DrawNow(stamp, samples_)) result = 0;
    return result;
}

const uint8_t* mtxFillSession::CountedProtect() const {
    // Protected pixels are meant to stay bare: they do not count as uncovered.
    const bool fine = samples_.fillMode == SampleCollection::kModeFine;
    const bool sameSize = maps.Width() == sourceCopy.width && maps.Height() == sourceCopy.height;
    return fine && sameSize ? maps.Data(mtxFillMaps::kProtect) : nullptr;
}

void mtxFillSession::ProtectChanged(const mtxRect& pixels) {
    if (pixels.IsEmpty())
        coverage_.Protect(CountedProtect(), 0, 0, sourceCopy.width - 1, sourceCopy.height - 1);
    else
        coverage_.Protect(CountedProtect(), pixels.left, pixels.top, pixels.right - 1,
                          pixels.bottom - 1);
}

void mtxFillSession::ForgetCoverage() {
    coverage_.Reset(sourceCopy, CountedProtect());
    stamps = steps = 0;
    // The generator's own state stays for the Classic mode.
    RestartFine();
}

void mtxFillSession::RestartFine() {
    fineBehind_ = false;
    if (catchUp_.active) fine_.SetDrawing(true);
    catchUp_.active = false;
    fineRestarts_ = 0;
    RestartFineSequence(FineSeed(0), FirstShown());
}

void mtxFillSession::RestartFineSequence(uint64_t seed, uint64_t from) {
    fine_.Restart(seed);
    fineFrom_ = from;
}

void mtxFillSession::RecountCoverage() {
    ForgetCoverage();
    random.state = log.EndState();
    if (log.RunCount() == 0) return;
    for (uint64_t i = log.RunAt(log.LastBase()).firstStamp; i < log.Count(); ++i) {
        if (log.Erased(i)) continue;
        mtxStamp stamp = log.At(i);
        if (stamp.sample < 0 || stamp.sample >= samples_.count) continue;
        NoteCoverage(stamp);
        ++stamps;
    }
    fineBehind_ = true;
}

void mtxFillSession::GoOn() {
    if (samples_.fillMode != SampleCollection::kModeFine) return;
    // Behind the log, whether the run had ended is known once caught up.
    if (fineBehind_ || catchUp_.active)
        goOnPending_ = true;
    else if (fine_.Finished())
        RestartFineSequence(FineSeed(++fineRestarts_), log.Count());
}

uint64_t mtxFillSession::FineSeed(uint64_t restart) const {
    uint64_t base = 0, index = 0;
    if (log.RunCount() > 0) {
        index = log.LastBase();
        base = log.RunAt(index).startState;
    }
    return base + (index << 20) + restart;
}

namespace {

bool SameStamp(const mtxStamp& a, const mtxStamp& b) {
    return a.sample == b.sample && a.x == b.x && a.y == b.y && a.angle == b.angle &&
           a.size == b.size;
}

}  // namespace

void mtxFillSession::BeginCatchUp() {
    RestartFine();
    fine_.SetDrawing(false);
    catchUp_ = CatchUp{};
    catchUp_.active = true;
    catchUp_.next = log.RunCount() > 0 ? log.RunAt(log.LastBase()).firstStamp : 0;
}

void mtxFillSession::ForgetErasedBefore(uint64_t stamp) {
    size_t made = catchUp_.erasures;
    while (made < log.ErasedCount() && log.ErasureMadeAt(made) <= stamp) ++made;
    if (made == catchUp_.erasures) return;
    catchUp_.erasures = made;
    std::vector<uint64_t> gone(made);
    for (size_t k = 0; k < made; ++k) gone[k] = log.ErasureStamp(k);
    std::sort(gone.begin(), gone.end());
    // The engine's stamps: those of the Fine mode since its sequence began.
    const auto fine = static_cast<uint8_t>(SampleCollection::kModeFine);
    std::vector<uint64_t> painted;
    for (uint64_t i = fineFrom_; i < log.Count() && painted.size() < fine_.PaintedCount(); ++i)
        if (log.ModeOf(i) == fine) painted.push_back(i);
    auto erased = [&](size_t k) {
        return std::binary_search(gone.begin(), gone.end(), painted[k]);
    };
    if (painted.size() == fine_.PaintedCount())
        fine_.Forget(erased, [&](size_t k) { return log.At(painted[k]); });
}

int mtxFillSession::ContinueCatchUp(uint64_t budget) {
    const auto fine = static_cast<uint8_t>(SampleCollection::kModeFine);
    for (; catchUp_.next < log.Count() && catchUp_.same && budget > 0; ++catchUp_.next) {
        if (log.ModeOf(catchUp_.next) != fine) continue;  // the Fine engine never saw these
        --budget;
        // What was erased before this stamp was placed no longer counted when it was.
        ForgetErasedBefore(catchUp_.next);
        const mtxStamp logged = log.At(catchUp_.next);
        for (int restarts = 0;;) {
            mtxStamp made;
            mtxPlaceResult result = fine_.PlaceSample(1, &made);
            if (result == mtxPlaceResult::kPlaced) {
                catchUp_.same = SameStamp(made, logged);
                break;
            }
            if (result == mtxPlaceResult::kFinished && restarts++ == 0) {
                RestartFineSequence(FineSeed(++fineRestarts_), catchUp_.next);
                continue;
            }
            if (result != mtxPlaceResult::kNoRoom) {
                catchUp_.same = false;
                break;
            }
        }
    }
    if (catchUp_.same && catchUp_.next < log.Count()) return 0;
    catchUp_.active = false;
    fine_.SetDrawing(true);
    // Stamps from other samples or options: a sequence no run used yet.
    if (!catchUp_.same)
        RestartFineSequence(FineSeed(fineRestarts_ += log.Count() + 1), log.Count());
    else
        ForgetErasedBefore(log.Count());
    if (goOnPending_ && fine_.Finished())
        RestartFineSequence(FineSeed(++fineRestarts_), log.Count());
    goOnPending_ = false;
    return 1;
}

// Only when a Fine step needs it, so an Undo stays quick; a slice at a time,
// so the window goes on answering while a long run is caught up.
int mtxFillSession::CatchingUpFine() {
    if (fineBehind_) {
        fineBehind_ = false;
        BeginCatchUp();
    }
    return catchUp_.active && !ContinueCatchUp(kCatchUpSlice);
}

mtxPlaceResult mtxFillSession::Step(uint32_t now, mtxStamp* placed) {
    if (!prepared) return mtxPlaceResult::kNotPrepared;
    const bool fine = samples_.fillMode == SampleCollection::kModeFine;
    if (fine && CatchingUpFine()) return mtxPlaceResult::kNoRoom;  // nothing placed yet
    KeepRunCurrent();
    mtxStamp stamp;
    mtxPlaceResult result =
        fine ? fine_.PlaceSample(now, &stamp) : engine_.PlaceSample(now, &stamp);
    log.NoteState(random.state);
    ++steps;
    if (result == mtxPlaceResult::kPlaced) {
        ++stamps;
        NoteCoverage(stamp);
        if (placed) *placed = stamp;
    }
    return result;
}

void mtxFillSession::NoteCoverage(const mtxStamp& stamp) {
    const mtxSampleShapes::Shape* shape = shapes_.Get(samples_, stamp.sample);
    if (!shape) return;
    float corner[3][2];
    for (int i = 0; i < 3; ++i)
        if (!stamp.quad.Corner(i, &corner[i][0], &corner[i][1])) return;
    coverage_.Stamp(corner, stamp.quad.u, stamp.quad.v, shape->alpha.data(), shape->width,
                    shape->height, stamp.c1[3]);
}

// Stamps by hand and erasing.

int mtxFillSession::PlaceHandStamp(const mtxStamp& stamp) {
    if (stamp.sample < 0 || stamp.sample >= samples_.count || sourceCopy.IsEmpty()) return 0;
    const size_t runs = log.RunCount();
    const mtxStampLog::Options options = mtxStampLog::Options::Of(samples_);
    target_.mode = mtxStampLog::kHandMode;
    if (runs == 0 || log.RunAt(runs - 1).mode != mtxStampLog::kHandMode ||
        log.RunAt(runs - 1).options != options || random.state != log.EndState())
        StartBaseRun(mtxStampLog::kContinue, 0);
    if (!target_.Draw(stamp, samples_)) return 0;
    NoteCoverage(stamp);
    ++stamps;
    return 1;
}

uint64_t mtxFillSession::FirstShown() const {
    return log.RunCount() > 0 ? log.RunAt(log.LastBase()).firstStamp : 0;
}

namespace {

// Whether the stamp's sample shows at (x, y): the texel under the point,
// through the quad's corners, is more than faintly opaque.
bool Shows(const mtxStamp& stamp, const mtxSampleShapes::Shape& shape, float x, float y) {
    float c[3][2];
    for (int i = 0; i < 3; ++i)
        if (!stamp.quad.Corner(i, &c[i][0], &c[i][1])) return false;
    const float ax = c[1][0] - c[0][0], ay = c[1][1] - c[0][1];
    const float bx = c[2][0] - c[0][0], by = c[2][1] - c[0][1];
    const float det = ax * by - ay * bx;
    if (det == 0 || shape.width <= 0 || shape.height <= 0) return false;
    const float px = x - c[0][0], py = y - c[0][1];
    const float s = (px * by - py * bx) / det, t = (ax * py - ay * px) / det;
    if (!(s >= 0 && s < 1 && t >= 0 && t < 1)) return false;
    const float u = stamp.quad.u[0] + s * (stamp.quad.u[1] - stamp.quad.u[0]);
    const float v = stamp.quad.v[0] + t * (stamp.quad.v[1] - stamp.quad.v[0]);
    const int tx = std::clamp(int(u * float(shape.width)), 0, shape.width - 1);
    const int ty = std::clamp(int(v * float(shape.height)), 0, shape.height - 1);
    return shape.alpha[size_t(ty) * size_t(shape.width) + size_t(tx)] >= 32;
}

bool Holds(const mtxRect& r, float x, float y) {
    return x >= float(r.left) && x < float(r.right) && y >= float(r.top) && y < float(r.bottom);
}

}  // namespace

int64_t mtxFillSession::StampAt(float x, float y) {
    const uint64_t first = FirstShown();
    for (uint64_t i = log.Count(); i-- > first;) {
        if (log.Erased(i) || !Holds(log.Bounds(i), x, y)) continue;
        const mtxStamp stamp = log.At(i);
        const mtxSampleShapes::Shape* shape = shapes_.Get(samples_, stamp.sample);
        if (shape && Shows(stamp, *shape, x, y)) return int64_t(i);
    }
    return -1;
}

std::vector<uint64_t> mtxFillSession::StampsNear(float x, float y, float radius) {
    std::vector<uint64_t> near;
    const uint64_t first = FirstShown();
    for (uint64_t i = log.Count(); i-- > first;) {
        if (log.Erased(i)) continue;
        int32_t px = 0, py = 0;
        log.PointOf(i, px, py);
        const float dx = float(px) - x, dy = float(py) - y;
        if (dx * dx + dy * dy <= radius * radius) near.push_back(i);
    }
    return near;
}

int64_t mtxFillSession::EraseStamps(const std::vector<uint64_t>& list) {
    std::vector<mtxRect> under;
    const uint64_t first = FirstShown();
    const mtxStampLog::Mark before = log.Here();
    int64_t erased = 0;
    for (uint64_t i : list) {
        if (i < first || !log.Erase(i)) continue;
        ++erased;
        // Only where the stamp may have left a mark: elsewhere its alpha was
        // 0 and it changed no pixel.
        const mtxStamp stamp = log.At(i);
        const mtxSampleShapes::Shape* shape = shapes_.Get(samples_, stamp.sample);
        mtxRect marked;
        if (!shape || !mtxStampMarkedBox(stamp, *shape, marked))
            under.push_back(log.Bounds(i));
        else if (!marked.IsEmpty())
            under.push_back(marked);
    }
    if (erased == 0) return 0;
    if (under.empty() || RedrawPixels(under)) {
        // The Fine engine's account of the picture is made again without them.
        fineBehind_ = true;
        return erased;
    }
    // The stamps stay in the picture's account: the device could not draw without them.
    log.MoveTo(before);
    return -1;
}

int mtxFillSession::RedrawPixels(const std::vector<mtxRect>& rects) {
    mtxImage* picture = layer_.source;
    if (!picture || !layer_.stackLayer) return 0;
    const mtxStampLog::Run* base = log.RunCount() > 0 ? &log.RunAt(log.LastBase()) : nullptr;
    const bool color = base && base->base == mtxStampLog::kColor;
    if (!color && (sourceCopy.width != picture->width || sourceCopy.height != picture->height))
        return 0;
    // The clip's pieces cover the rectangles and may reach past them: the
    // base goes back under every pixel of them.
    layer_.SetClip(rects);
    {
        mtxFieldLock<mtxImage> lock(*picture);
        if (!lock || !picture->data) return layer_.ClearClip(), 0;
        for (const mtxRect& piece : layer_.ClipPieces()) {
            // The pieces lie in picture pixels, the images in the layer's own.
            const int left = piece.left - layer_.bandLeft, right = piece.right - layer_.bandLeft;
            for (int y = piece.top - layer_.bandTop; y < piece.bottom - layer_.bandTop; ++y) {
                mtxColor* to = picture->Row(y);
                if (color)
                    std::fill(to + left, to + right, base->baseColor);
                else
                    std::copy(sourceCopy.Row(y) + left, sourceCopy.Row(y) + right, to + left);
            }
        }
    }
    int drawn = layer_.UploadClip();
    OpenBatch();
    for (uint64_t i = FirstShown(); i < log.Count() && drawn; ++i) {
        if (log.Erased(i) || !layer_.ClipReaches(log.Bounds(i))) continue;
        drawn = layerTarget_.Draw(log.At(i), samples_);
    }
    drawn = CloseBatch() && drawn;
    layer_.ClearClip();
    return drawn;
}
