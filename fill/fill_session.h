#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "fill/coverage_mask.h"
#include "fill/fill_engine.h"
#include "fill/fill_maps.h"
#include "fill/fill_random.h"
#include "fill/fine_engine.h"
#include "fill/layer_stamp_target.h"
#include "fill/logging_stamp_target.h"
#include "fill/sample_shapes.h"
#include "fill/segment_graph.h"
#include "fill/stamp_log.h"
#include "image/image.h"
#include "render/layers/viewer_layer.h"

class SampleCollection;
class mtxIEViewerLayer;
class mtxImageEditorDevice;

// What one run of filling needs, for the interface's tool and for batch work
// alike: the segmentation of the picture, the saved copy of it, the
// generator, the prepared state, the background last applied, the coverage
// and the counts. The picture is the image of a viewer layer (the result
// layer); the session draws into that layer's tiles.
//
// Preparation runs in slices (PrepareSlice), which may run on a worker
// thread while the caller's thread only reads Progress() and may set the
// stop flag; everything else belongs to the thread that owns the device.
class mtxFillSession {
  public:
    mtxFillSession(mtxImageEditorDevice& editor, SampleCollection& samples,
                   mtxIEViewerLayer& layer);
    mtxFillSession(const mtxFillSession&) = delete;
    mtxFillSession& operator=(const mtxFillSession&) = delete;

    // The generator from the cycle counter (the default) or from a number.
    void Seed(uint64_t n) { random = mtxFillRandom::Seeded(n); }

    // Starts preparing the layer's picture: a new segmentation (the picture
    // is copied, so the caller may go on showing it). prepared drops to 0.
    // After Reopen the saved copy (the photo) is analysed instead, the layer
    // showing the picture drawn from the log. 1, or 0 when the picture
    // cannot be analysed.
    int BeginPreparation();
    // One slice (about 100 ms) of the analysis. 0 while work remains, 1 when
    // the analysis ended (check Analysed()), also when the stop flag was set.
    // Its last slice also makes the memory for the saved copy ready, so
    // FinishPreparation only copies.
    int PrepareSlice();
    // 0..100.
    uint32_t Progress() const { return progress_.load(std::memory_order_relaxed); }
    // The analysis of the layer's picture finished elsewhere (batch work
    // analyses the photo before the device is started) taken as this
    // session's, in place of BeginPreparation and PrepareSlice. 1, or 0 when
    // it is unfinished or not of the layer's picture's size.
    int AdoptAnalysis(mcvSegmentGraph& analysis);
    // Whether the analysis finished with a usable result.
    bool Analysed() const;
    // After a finished analysis, on the device's thread: saves the copy of
    // the picture, applies the background (unless it is the layer's own
    // content) and counts the run as prepared. After Reopen the picture, the
    // copy and the log stay as they are, so placing goes on where the log
    // ended. 0 when the copy cannot be made.
    int FinishPreparation();
    // A saved run taken up again before its preparation: the layer's picture
    // (its photo) becomes the saved copy and the log is drawn over it
    // (Replay), so the layer shows the picture at once; the preparation then
    // analyses the photo. 1, or 0 as Replay fails.
    int Reopen(const mtxStampLog& from);

    // Copies the layer's picture into sourceCopy.
    int SaveSourceCopy();
    void KeepBackgroundChosen();
    // Rewrites the layer's picture by the background option (a colour, or
    // the saved copy) and has the layer upload all its tiles again. Clears
    // the coverage.
    int PrepareBackground();

    // One placement by the collection's mode, at millisecond clock now; the
    // stamp, when one was placed, in placed (may be null).
    mtxPlaceResult Step(uint32_t now, mtxStamp* placed = nullptr);
    // Takes what was drawn back into the layer's picture.
    void Commit() { target_.Refresh(); }
    // Stamps placed between these are drawn together, tile by tile, when the
    // batch closes or anything reads the layer: the same picture with far
    // fewer draws; at most limit stamps wait. CloseBatch gives 0 when a stamp
    // could not be drawn.
    void OpenBatch(size_t limit = mtxIEViewerLayer::kBatchLimit);
    int CloseBatch();
    // Placing apart from drawing, for steps taken on a thread without the
    // device: while on, Step places and logs its stamps but draws none, and
    // DrawPlaced, on the device's thread, draws the stamps Step gave, in
    // their order (the picture a drawing Step gives), also while the next
    // ones are being placed. Switch it only while no step runs. DrawPlaced
    // gives 0 when a stamp could not be drawn. Switching it on reads every
    // sample's shape from its texture first, on the device's thread.
    void PlaceOnly(bool on);
    // Reads every sample's shape from its texture now, on the device's
    // thread, so the steps after it read none.
    void ReadShapes();
    int DrawPlaced(std::span<const mtxStamp> stamps);

    // The share of the photo covered by stamps of alpha at least one half
    // since the background was last applied, 0..1.
    double Coverage() const { return coverage_.Coverage(); }
    // Starts the coverage, the counts and the Fine run again from nothing (the
    // picture was rewritten: a new background, an undo).
    void ForgetCoverage();
    // The protect plane of maps changed inside pixels (empty: anywhere): what
    // it marks there no longer counts as left to cover, what it no longer
    // marks counts again. The Fine mode alone keeps off protected pixels.
    void ProtectChanged(const mtxRect& pixels = {});
    // As ForgetCoverage, then counts again what the log's stamps since its
    // last base cover: the picture after an Undo or Redo moved the log's end.
    // The generators take the state the log's end had, so Go places what a
    // run that never went back would have placed next.
    void RecountCoverage();
    // A Fine run that reached its end begins another over the picture with
    // the next sequence.
    void GoOn();

    // Draws the picture again from a log of stamps on the samples of this
    // session: the base of its last run that put one in (a colour, or the
    // saved copy of the picture), then every stamp after it. The log becomes
    // this session's and the generator takes the state the log ended with,
    // so placing goes on where the log stopped. With a scale, the layer's
    // picture is the photo that many times larger, and every stamp is drawn
    // that much larger from the same sample pixels. 0 when the log does not
    // fit the samples, or drawing failed.
    int Replay(const mtxStampLog& from, float scale = 1.0f);
    // Replay in steps, for pictures of the way there: the log taken and its
    // base drawn, then its stamps up to end (at most its count) in as many
    // calls as wanted. 0 as Replay fails. The generator is left alone.
    int BeginReplay(const mtxStampLog& from);
    int ReplayUntil(uint64_t end, float scale = 1.0f);
    // The first stamp of the log not drawn yet by the replay.
    uint64_t Replayed() const { return replayed_; }

    // A stamp placed by hand: drawn and logged in a run of the hand's mode
    // (mtxStampLog::kHandMode), begun when the last run is another's. Needs
    // the saved copy of the picture. 1 when drawn.
    int PlaceHandStamp(const mtxStamp& stamp);
    // The topmost stamp shown at layer pixel (x, y) (its sample has alpha
    // there, it is not erased, it lies past the last base), or -1.
    int64_t StampAt(float x, float y);
    // The stamps shown whose point lies within radius of (x, y), topmost first.
    std::vector<uint64_t> StampsNear(float x, float y, float radius);
    // Erases the stamps (those not shown or erased already are passed over)
    // and draws the pixels under them again from the log, into the layer's
    // tiles (Commit takes them into its picture). The number erased, or -1
    // when they could not be drawn (the log then keeps the stamps).
    int64_t EraseStamps(const std::vector<uint64_t>& stamps);
    // Draws the layer's pixels in the rectangles (and at most the rest of
    // the tiles they reach) again from the log: the base of its last run
    // that put one in, then every stamp since that is not erased and reaches
    // them, so each is the bytes a replay of the whole log gives there (in
    // the tiles, as EraseStamps). 1, or 0 when drawing failed.
    int RedrawPixels(const std::vector<mtxRect>& rects);

    mtxFillRandom random;
    mtxImage sourceCopy;
    mcvSegmentGraph segmentation;
    uint32_t prepared = 0;
    int32_t appliedBackground = -1;
    uint32_t appliedBackgroundColor = 0;
    std::atomic<uint32_t> stop{0};
    uint64_t stamps = 0;  // placed since the background was applied
    uint64_t steps = 0;   // tried since the background was applied
    // Every stamp drawn into the layer by this session, in order.
    mtxStampLog log;
    // Where the Fine mode may not stamp and where it stamps finer, at the
    // photo's size. Set them before the preparation finishes; later, the
    // window's brushes paint into maps.Data(plane) and call MarkChanged with
    // the stroke's bounds, and the Fine engine's next stamps honour the
    // stroke. The Classic mode does not read them.
    mtxFillMaps maps;

    const mtxFineEngine& Fine() const { return fine_; }
    // What the session knows of the samples' alpha.
    mtxSampleShapes& Shapes() { return shapes_; }

  private:
    // Makes spareCopy_ ready for the picture's copy, its pages touched.
    void ReadyCopyMemory();
    void NoteCoverage(const mtxStamp& stamp);
    // The protect plane the coverage discounts; null when it does not apply.
    const uint8_t* CountedProtect() const;
    // The first stamp drawn over the log's last base.
    uint64_t FirstShown() const;
    // A new run in the log when the options, the generator or the picture
    // under the stamps changed since its last step.
    void KeepRunCurrent();
    void StartBaseRun(mtxStampLog::Base base, uint32_t color);
    // Rewrites the layer's picture to a colour or to the saved copy.
    int FillLayer(mtxStampLog::Base base, uint32_t color);
    static void Enlarge(mtxStamp& stamp, float scale);
    // The seed of the Fine engine's sequence number `restart` since the log's
    // last base: each base and each new pass over a finished picture gets
    // its own, and the log says which.
    uint64_t FineSeed(uint64_t restart) const;
    void RestartFine();
    // A new Fine sequence, whose stamps may be the log's from stamp from on.
    void RestartFineSequence(uint64_t seed, uint64_t from);
    // Takes the stamps of erasures made when the log held no more than stamp
    // stamps (and not taken yet) out of the Fine engine's account.
    void ForgetErasedBefore(uint64_t stamp);
    // The Fine engine brought to the log's end: its sequence restarted and
    // stepped, drawing nothing, through the Fine stamps since the last base,
    // each checked against the log. When they differ (other samples or
    // options) the engine starts a sequence of its own instead. In slices
    // of at most budget logged stamps; Continue gives 1 once done.
    void BeginCatchUp();
    int ContinueCatchUp(uint64_t budget);
    // Whether a Fine step must wait: a slice of the catching up was done.
    int CatchingUpFine();

    mtxImageEditorDevice& editor_;
    SampleCollection& samples_;
    mtxIEViewerLayer& layer_;
    mtxLayerStampTarget layerTarget_;
    mtxLoggingStampTarget target_;  // what the engines draw through
    mtxStampLog::Base pendingBase_ = mtxStampLog::kContinue;
    uint32_t pendingColor_ = 0;
    mtxFillEngine engine_;
    mtxSampleShapes shapes_;
    mtxFineEngine fine_;
    uint64_t fineRestarts_ = 0;  // Fine sequences begun since the last base
    bool fineBehind_ = false;    // the log went on or back without the Fine engine
    bool goOnPending_ = false;   // Go came while behind: a finished run begins anew
    struct CatchUp {
        bool active = false, same = true;
        uint64_t next = 0;    // the log's next stamp to step through
        size_t erasures = 0;  // of the log's, in the order made, taken out of the account
    } catchUp_;
    uint64_t fineFrom_ = 0;  // the log's first stamp the Fine sequence may have placed
    // Logged stamps stepped through in one step: about 0.1 s on a 4 MP photo.
    static constexpr uint64_t kCatchUpSlice = 2000;
    mtxCoverageMask coverage_;
    std::atomic<uint32_t> progress_{0};
    uint64_t replayed_ = 0;
    bool reopened_ = false;  // the next preparation keeps the replayed picture
    // Memory for sourceCopy, its pages touched on the preparing thread: on a
    // large picture fresh pages cost the device's thread tens of ms.
    mtxImage spareCopy_;
    // The Fine engine's tables are made ready the same way, read when the
    // preparation begins (the options are the window thread's).
    bool readyFine_ = false;
};
