#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "fill/fill_engine.h"
#include "fill/fill_maps.h"
#include "fill/fill_random.h"
#include "fill/photo_means.h"
#include "fill/sample_shapes.h"
#include "fill/stamp_canvas.h"

#include "fill/sample_collection.h"
class mcvSegmentGraph;
class mtxImage;

// The "Fine" filling: coarse to fine passes of shrinking stamp sizes, each
// visiting a jittered grid of points in a shuffled order, so the whole photo
// is roughly there early and later, smaller stamps (drawn on top) add the
// detail. A point gets a stamp where the picture there is not yet covered,
// or where the picture at the stamp's scale still differs from the photo;
// and only where the segmentation leaves room for the stamp (it may reach
// over a border by the overlap) and the stamp stays on pixels with alpha.
// Each stamp takes the photo's mean colour under it, keeping the sample's
// light and shade. A last phase stamps every cell still uncovered with the
// smallest size, so the run ends with the whole photo covered.
//
// Painted maps steer it (mtxFillMaps): no stamp leaves a mark on a protected
// pixel, and the detail plane moves each point's range of sizes, so a point
// takes only the passes whose size lies in its own range and the last phase
// covers it at its own smallest size.
//
// A step places at most one stamp, and everything a run depends on (the
// generator, the pass, the place in it) lives in the object, so the same seed
// gives the same stamps however the steps are paced.
class mtxFineEngine {
  public:
    static constexpr int kVisitsPerStep = 2048;        // points looked at by one step, at most
    static constexpr int kCoverTries = 3;              // stamps tried on one uncovered cell
    static constexpr float kLargestShare = 1.0f / 12;  // of the photo's shorter side
    static constexpr float kPassRatio = 0.7f;          // of one pass's size to the last's
    static constexpr int kSmallest = 5;  // pixels, the smallest automatic size at least
    // Grid spacing over the size: stamps of a pass overlap well, so the
    // gaps between a sample's petals are mostly covered by its neighbours.
    static constexpr float kSpacing = 0.5f;
    static constexpr float kColorSpan =
        0.6f;                               // the square a stamp's colour comes from, of its side
    static constexpr float kDetail = 7.0f;  // colour difference (CIE76) that asks for a stamp
    static constexpr float kSmooth = 8.0f;  // difference within a stamp one colour stands for
    static constexpr int kFinest = 3;       // pixels, the smallest size a detail plane asks for

    mtxFineEngine(mcvSegmentGraph& segmentation, SampleCollection& samples,
                  const mtxImage& sourceCopy, mtxStampTarget& target, mtxSampleShapes& shapes)
        : segmentation_(segmentation),
          samples_(samples),
          source_(sourceCopy),
          target_(target),
          shapes_(shapes) {}

    // Y, Cb, Cr (each 0..1) of red, green, blue (each 0..1): the colour key
    // a stamp's recolouring takes.
    static void KeyOf(const float rgb[3], float key[3]);

    // Starts the run again from an empty picture, with the generator seeded by seed.
    void Restart(uint64_t seed);
    // Maps in the memory of the photo's tables for a photo of width x
    // height, on a thread that has the time (the preparation's): a run's
    // start then builds them without faulting their pages in, which on a
    // large photo took it longer than building them.
    void ReadyMemory(int width, int height);
    // One step at millisecond clock now (a multiple of 3000 refreshes the
    // target first); the stamp drawn, when placed, in *stamp. kFinished once
    // every cell with alpha is covered (or given up) after the last pass.
    mtxPlaceResult PlaceSample(uint32_t now, mtxStamp* stamp = nullptr);

    // Off: steps place stamps in the engine's own account of the picture but
    // draw nothing, so a run can be caught up with the stamps a log holds.
    void SetDrawing(bool on) { drawing_ = on; }
    // The painted maps, read while the run goes on (null: none). A plane of
    // another size than the photo counts as none. The caller keeps them
    // alive; the same maps give the same stamps.
    void SetMaps(const mtxFillMaps* maps) { maps_ = maps; }

    // The stamp sizes of the passes, largest first; empty until the first step.
    const std::vector<int32_t>& Sizes() const { return sizes_; }
    int Pass() const { return pass_; }
    bool Finished() const { return phase_ == Phase::kDone; }
    // Cells left uncovered after kCoverTries stamps each.
    int64_t GivenUp() const { return givenUp_; }
    // The counting cells of the engine's account of the picture no stamp
    // covers (all of them before the first step).
    int64_t Uncovered() const { return canvas_.UncoveredCount(); }

    // Stamps placed (painted into the account) since the run began.
    size_t PaintedCount() const { return paintedRgb_.size(); }
    // Takes painted stamps out of the account, as erased: those k (counting
    // the painted stamps from 0) for which gone(k) holds; stamp(k) gives each
    // kept one back as placed. The account is made again from the kept ones,
    // so what the erased stamps covered is open again: a run in its last
    // phase, or finished, covers it anew.
    void Forget(const std::function<bool(size_t k)>& gone,
                const std::function<mtxStamp(size_t k)>& stamp);

  private:
    enum class Phase { kPasses, kCover, kDone };
    struct Box {
        int x0, y0, x1, y1;  // cells, inclusive
    };

    bool Prepared() const;
    // Starting a run: BeginStart makes room for the photo's tables, then each
    // StartSlice builds a slice of them; true once the run has started.
    bool BeginStart();
    bool StartSlice();
    void ChooseSizes(int width, int height);
    // Begins the next pass, whose points MakePass then makes a slice at a
    // time; false after the last pass.
    bool NextPass();
    // One slice of making the pass's points: the jittered grid with the
    // points' contrast keys, its shuffle, then their order. True once the
    // pass is ready.
    bool MakePass();
    uint8_t ContrastKey(int x, int y, int size) const;
    void OrderByContrast();
    void EnterCover();
    bool VisitPassPoint(mtxStamp& stamp);
    bool VisitGap(mtxStamp& stamp);
    // Makes the stamp of the given size at pixel (x, y); false when the point
    // does not need it or cannot take it. cover: the last phase, which needs
    // neither room nor a difference, only a cell to cover.
    bool Compose(int x, int y, int size, bool cover, mtxStamp& stamp);
    int32_t ChooseSample(const float key[3], bool cover);
    // The opaque radius in pixels of sample index drawn at size.
    float RadiusOf(int32_t index, int size) const;
    // The cells under the square of half side half around pixel (x, y).
    Box CellsAround(int x, int y, float half) const;
    bool OnPhoto(int x, int y, float radius) const;
    bool NeedsStamp(const Box& box, const mtxPhotoMeans::Sums& photo) const;
    bool Smooth(const Box& box, const mtxPhotoMeans::Sums& whole) const;
    // The maps when they hold the plane at the photo's size, else null.
    const mtxFillMaps* MapWith(mtxFillMaps::Plane plane) const;
    // The sizes the detail plane gives pixel (x, y): the smallest and the largest.
    void RangeAt(int x, int y, float* low, float* high) const;
    // Whether a pass of stamps of size takes pixel (x, y).
    bool TakesPass(int x, int y, int size) const;
    // Whether the stamp leaves no mark on a protected pixel.
    bool ClearOfProtection(const mtxStamp& stamp, const mtxSampleShapes::Shape& shape) const;
    void Paint(const mtxStamp& stamp, uint32_t rgb);

    mcvSegmentGraph& segmentation_;
    SampleCollection& samples_;
    const mtxImage& source_;
    mtxStampTarget& target_;
    mtxSampleShapes& shapes_;

    uint64_t seed_ = 0;
    mtxFillRandom random_;
    bool started_ = false;
    bool starting_ = false;                          // the tables are being built
    static constexpr int64_t kStartSlice = 1 << 16;  // photo pixels a starting step reads
    Phase phase_ = Phase::kPasses;
    mtxPhotoMeans means_;
    mtxStampCanvas canvas_;
    std::vector<int32_t> sizes_;
    // The neutral range of sizes, and the bounds any point's range keeps.
    int smallest_ = 1, largest_ = 1, finest_ = 1, coarsest_ = 1;
    const mtxFillMaps* maps_ = nullptr;
    int pass_ = -1;
    std::vector<uint32_t> points_;  // the pass's points (pixel indices) or the uncovered cells
    size_t cursor_ = 0;
    // The pass being made: a slice per step, so a pass of a large photo does
    // not hold a step for long. The generator is drawn in the same order as
    // making it at once would.
    struct Making {
        enum Stage { kReady, kGrid, kShuffle } stage = kReady;
        size_t at = 0;  // the grid row or the shuffle's remaining count
        int across = 0, down = 0;
        float spacing = 1;
        std::vector<uint8_t> keys;
    };
    static constexpr size_t kMakingSlice = 32768;  // points a slice handles
    Making making_;
    std::vector<uint8_t> tries_;  // per cell, stamps tried in the last phase
    int64_t givenUp_ = 0;
    uint32_t lastRgb_ = 0;              // the colour the stamp being made stands for
    std::vector<uint32_t> paintedRgb_;  // the colour each painted stamp stands for
    bool drawing_ = true;
};
