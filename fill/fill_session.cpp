#include "fill/fill_session.h"

#include "fill/sample_collection.h"
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
      target_(editor, layer),
      engine_(segmentation, samples, random, sourceCopy, target_),
      fine_(segmentation, samples, sourceCopy, target_, shapes_) {
    segmentation.SetTimeBudget(kSliceMs);
}

int mtxFillSession::BeginPreparation() {
    prepared = 0;
    stop = 0;
    progress_ = 0;
    mtxImage* picture = layer_.source;
    if (!picture || picture->width <= 0 || picture->height <= 0) return 0;
    mtxFieldLock<mtxImage> lock(*picture);
    if (!lock) return 0;
    segmentation.SetTimeBudget(kSliceMs);
    return segmentation.StartSegmentation(*picture);
}

int mtxFillSession::PrepareSlice() {
    if (stop) return 1;
    int done = segmentation.Advance();
    progress_.store(done ? 100 : segmentation.status, std::memory_order_relaxed);
    return done;
}

bool mtxFillSession::Analysed() const {
    return segmentation.stages == mcvSegmentGraph::kAllStages && !segmentation.outOfMemory &&
           segmentation.width > 0 && segmentation.height > 0 && !stop;
}

int mtxFillSession::FinishPreparation() {
    if (!Analysed() || !SaveSourceCopy()) return 0;
    if (samples_.background != 1) {
        if (!PrepareBackground()) return 0;
    } else {
        ForgetCoverage();
    }
    prepared = 1;
    return 1;
}

int mtxFillSession::SaveSourceCopy() {
    mtxImage* picture = layer_.source;
    if (!picture) return 0;
    mtxFieldLock<mtxImage> lock(*picture);
    if (!lock || !picture->data) return 0;
    sourceCopy.Free();
    if (!sourceCopy.Create(picture->width, picture->height, 0xFF000000u)) return 0;
    sourceCopy.Blit(*picture, mtxRect{}, 0, 0);
    return 1;
}

int mtxFillSession::PrepareBackground() {
    mtxImage* picture = layer_.source;
    if (!picture || !layer_.stackLayer) return 0;
    appliedBackground = samples_.background;
    appliedBackgroundColor = samples_.backgroundColor;
    {
        mtxFieldLock<mtxImage> lock(*picture);
        if (!lock || !picture->data) return 0;
        if (samples_.background != 0) {
            picture->Blit(sourceCopy, mtxRect{}, 0, 0);
        } else {
            for (int y = 0; y < picture->height; ++y) {
                mtxColor* row = picture->Row(y);
                for (int x = 0; x < picture->width; ++x) row[x] = samples_.backgroundColor;
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

void mtxFillSession::ForgetCoverage() {
    coverage_.Reset(sourceCopy);
    stamps = steps = 0;
    // The seed's sequence for the first run after preparation; the
    // generator's own state stays for the Classic mode.
    fine_.Restart(random.state + fineRuns_++);
}

mtxPlaceResult mtxFillSession::Step(uint32_t now, mtxStamp* placed) {
    if (!prepared) return mtxPlaceResult::kNotPrepared;
    mtxStamp stamp;
    mtxPlaceResult result = samples_.fillMode == SampleCollection::kModeFine
                                ? fine_.PlaceSample(now, &stamp)
                                : engine_.PlaceSample(now, &stamp);
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
