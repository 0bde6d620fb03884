#pragma once
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "fill/edge_order.h"
#include "fill/large_array.h"
#include "image/field.h"
#include "image/image.h"
#include "image/image_converter.h"

struct ColorGroup;
class mcvLabelDistance;

// One pixel of the segmentation's union-find forest, index = y x width + x.
struct SegmentNode {
    uint32_t parent;  // union-find parent link
    uint32_t next;    // next member of the same region; a node whose next is itself ends the list
    uint32_t rank;    // union-by-rank counter in the low 8 bits (while stage 3 runs, the bits
                      // above hold the key of the edge that last grew the set); once the
                      // statistics ran, the index of the node's region in the region list
    uint32_t size;    // pixels in the set, meaningful at roots
};

// One region of similar colour.
struct SegmentRegion {
    uint32_t pixels = 0;
    float key[3] = {};        // Y, Cb, Cr of the mean colour, each / 255: what grouping and
                              // sample matching compare
    float meanColor[3] = {};  // mean red, green, blue of the opaque member pixels, each / 255
    uint32_t root = 0;        // the region's root node
    int32_t bounds[4] = {};   // min x, min y, max x, max y of the member pixels
    int32_t sample = -1;      // the engine's chosen sample, -1 until it chooses
    ColorGroup* group = nullptr;
};

// Regions of nearly the same mean colour, in the order they joined; the first is the seed.
struct ColorGroup {
    std::vector<uint32_t> members;  // indices into the region list
};

// Analyses a picture for the filling engine: a graph-based segmentation of the smoothed picture
// into regions of similar colour, each region's mean colour, colour groups of regions with nearly
// the same colour, and for every pixel the chamfer distance to the border of its colour group.
//
// The work runs in eight stages, and within most stages in slices bounded by the time budget, so
// a background task can report progress and stop between calls of Advance:
//   1 edges counted by weight (resumable by pixel)  2 edges sorted (by pixel)
//   3 segmentation merge (by edge)                  4 small regions merged (by pixel and edge)
//   5 regions listed                                6 region statistics (by region)
//   7 colour groups and label image                 8 distance field (by row, two sweeps)
//
// The smoothing and stages 1, 2, 3's set-up, 4's sweeps over the pixels and 6 run on several
// threads when the picture is large: the rows are cut into bands, one per thread. The merges
// decide their joins on the calling thread; in stage 3 a second thread applies them to the nodes.
// With bandMerges, stage 8 runs in column blocks too. The result is the same, node for node,
// whatever the number of threads.
class mcvSegmentGraph : public mtxImageConverter {
  public:
    enum Stage : uint32_t {
        kEdgesBuilt = 2,
        kEdgesSorted = 4,
        kMerged = 8,
        kSmallMerged = 16,
        kRegionsListed = 32,
        kStatistics = 64,
        kGrouped = 128,
        kDistance = 256,
        kAllStages = 510,
    };

    mcvSegmentGraph();
    ~mcvSegmentGraph() override;

    // Prepares a run on a copy of picture (the caller keeps its picture, locked, for the call
    // only). Returns 1; 0 when the picture has more than kMaxPixels pixels or its copy cannot be
    // made, in which case the object holds no picture and Advance reports the (empty) work done.
    int StartSegmentation(mtxImage& picture);
    // Runs one slice of the first unfinished stage. Returns 0 while work remains (status then
    // holds the progress percentage, 0..99), 1 once every stage is done and the temporary buffers
    // are released. When memory runs short the run is abandoned: everything is released, the
    // object holds no picture (as after a refused start), outOfMemory is set, and the next call
    // returns 1.
    int Advance();
    int Run() override { return Advance(); }

    // The region of a pixel (index y x width + x); valid once Advance returned 1.
    SegmentRegion& RegionOf(uint32_t pixel) { return regions[RegionIndex(pixel)]; }
    const SegmentRegion& RegionOf(uint32_t pixel) const { return regions[RegionIndex(pixel)]; }
    uint32_t RegionIndex(uint32_t pixel) const {
        return nodes ? nodes[pixel].rank : regionIndex_[pixel];
    }

    // After a finished run, for callers that read no member lists: the nodes (16 bytes a pixel)
    // give way to each pixel's region index (4), all RegionOf needs. 0 when memory is short (the
    // nodes are kept) or there is no finished run.
    int KeepRegionIndexOnly();
    // Frees everything the run holds, finished or not, for a caller done with its results: the
    // object is left as before any run.
    void Release();
    // Takes the result of another object's finished run (its picture of the same kind), which is
    // left empty; this object's own run is released. 0, and nothing taken, when the other's run
    // has not finished or ran out of memory.
    int Adopt(mcvSegmentGraph& other);

    // Whether two colour keys are close enough for one colour group: Euclidean distance below
    // 0.2, strictly.
    static bool KeysNear(const float a[3], const float b[3]);

    // Pictures beyond this count would overflow the edge numbering (4 edges per pixel in 32 bits).
    static constexpr uint64_t kMaxPixels = 0x3FFFFFFF;
    // Regions of this size take part in no further merge of stage 3.
    static constexpr uint32_t kSizeCap = 10000;

    // Pictures from this size on use every processor when threads is 0.
    static constexpr uint32_t kParallelPixels = 1u << 18;

    // Threads the next StartSegmentation's run may use; 0 chooses (every processor for pictures
    // of kParallelPixels or more, else one).
    uint32_t threads = 0;
    // Whether stage 8 runs in column blocks, one per band, when there are several; else on the
    // calling thread. The blocks wait for one another at every row, and on the shared 2-core
    // machine measured so far those waits cost more than the second core gave (see
    // bench_preparation), so they are off unless asked for.
    bool bandMerges = false;
    uint32_t stages = 0;
    int outOfMemory = 0;  // 1 when StartSegmentation or Advance ran out of memory
    std::vector<SegmentRegion> regions;
    std::vector<std::unique_ptr<ColorGroup>> groups;
    mtxImage work;           // the smoothed copy of the picture
    mtxFloatField distance;  // the result: distance to the border of the pixel's colour group
    mcvLargeArray<SegmentNode> nodes;
    uint32_t components = 0;
    uint32_t width = 0, height = 0;
    uint32_t minSize = 5;
    float k = 300.0f;
    uint32_t pixelCount = 0;
    uint32_t edgeCount = 0;
    uint32_t cursorX = 0, cursorY = 0;
    uint32_t edgeCursor = 0;
    int32_t itemCursor = 0;

  private:
    // What the band threads of one call share: stage 8's blocks' rows done forward (next) and
    // backward (seam), and whether the slice is over. Each entry on its own cache line, as its
    // band writes it often.
    struct alignas(64) BandPosition {
        std::atomic<uint32_t> value{0};
    };
    struct BandSync {
        std::unique_ptr<BandPosition[]> next, seam;
        std::atomic<bool> stop{false};
    };

    int AdvanceStage();
    // Releases everything and leaves an empty, finished run, out of memory.
    void Abandon();
    void BuildEdges();
    void SortEdges();
    void MergeRegions();
    void MergeSmallRegions();
    void ListRegions();
    void MeasureRegions();
    void GroupRegions();
    void MeasureDistances();
    void UpdateProgress();
    void ReleaseWork();

    uint32_t RootOf(uint32_t x);
    uint32_t Join(uint32_t a, uint32_t b, uint32_t& tail);
    uint32_t Absorb(uint32_t a, uint32_t b, bool equal);
    template <class Joins>
    void MergeEdges(Joins&& join);
    void MergeHandingOffJoins();
    void ApplyJoins(const uint64_t* joins, uint32_t count);

    // Stage 4's steps.
    enum SmallPhase : uint32_t { kMark, kCollect, kSort, kJoin, kLinks, kLinksDone };
    bool MarkSmallPixels();
    bool CollectSmallEdges();
    template <class Work>
    uint32_t OverPixels(Work&& work);
    bool SortSmallEdges();
    bool JoinSmallRegions();
    bool SetFinalLinks();
    uint32_t FinalRoot(uint32_t x) const;
    uint64_t Position(uint32_t id) const;
    uint64_t LastPosition(uint32_t p) const;
    uint64_t JoinedAt(uint32_t root) const;
    uint32_t EdgeKey(uint32_t p, uint32_t q) const;

    // The band threads.
    template <class Work>
    void OnBands(BandSync& sync, Work&& work);
    template <class Work>
    uint32_t OverBands(Work&& work);
    bool SliceOver(BandSync& sync, bool& begun, uint32_t& left, uint32_t stride) const;
    void BuildEdgesInBands();
    void SortEdgesInBands();
    bool SmoothInBands(mtxImage& picture);
    template <class Work>
    uint32_t InChunks(uint32_t start, uint32_t total, uint32_t chunk, Work&& work);
    void SetUpNodes(uint32_t first, uint32_t count);
    void MeasureDistancesInBlocks(mcvLabelDistance& sweep);

    // The blur that smooths the picture before the edges are weighed.
    static constexpr float kSigma = 0.8f;
    // What the pixels of one region add up.
    struct RegionSums {
        int32_t minX = 16777215, minY = 16777215, maxX = -1, maxY = -1;
        uint64_t sum[3] = {0, 0, 0};
        uint32_t opaque = 0, count = 0;
    };
    void MeasurePixels(uint32_t first, uint32_t last, RegionSums* sums);
    uint32_t BandFirstPixel(uint32_t band) const;
    // Stage 6: per band, the sums of every region over the band's rows.
    std::vector<std::vector<RegionSums>> regionSums_;
    void FinishRegion(SegmentRegion& region, const RegionSums& sums);

    // How many units of work a stage may run before it asks again; 0 once the slice's time is
    // spent. The first units of a call always run, so every call makes progress.
    uint32_t Allowance(uint32_t stride);

    mcvEdgeOrder edges_;
    // The parent links while stages 3 and 4 run, densely packed for the sweeps over the sorted
    // edges; copied into the nodes when stage 4 ends, then stage 8's work area.
    mcvLargeArray<uint32_t> links_;
    // Stage 3 on two threads: the roots' union-by-rank counters, for the merging thread alone.
    mcvLargeArray<uint8_t> ranks_;
    mcvLargeArray<float> distanceStore_;
    // Each pixel's region index once KeepRegionIndexOnly released the nodes.
    mcvLargeArray<uint32_t> regionIndex_;

    // While stages 3 and 4 run, a root's word in links_ holds kRoot and, below it, its size (up
    // to the cap: a region at the cap takes no further merge in stage 3) times kKeys plus the key
    // of the edge that last grew it; other pixels' words are parent links (pixel numbers stay
    // below 2^30). A find then ends on the word stage 3's test needs, and the nodes are only
    // visited to join.
    static constexpr uint32_t kRoot = 1u << 31;
    static_assert(uint64_t(kSizeCap + 1) * mcvEdgeOrder::kKeys < kRoot && kMaxPixels < kRoot);
    static uint32_t RootWord(uint32_t size, uint32_t key) {
        return kRoot | (std::min(size, kSizeCap) * mcvEdgeOrder::kKeys + key);
    }
    static uint32_t RootSize(uint32_t word) { return (word & ~kRoot) / mcvEdgeOrder::kKeys; }
    // A root's merge threshold in stage 3: the weight of the edge that last grew its set plus k
    // over its size (k alone for a single pixel).
    float Threshold(uint32_t word, uint32_t size) const {
        uint32_t key = (word & ~kRoot) - size * mcvEdgeOrder::kKeys;
        return std::sqrt(float(key)) + k / float(size);
    }
    // Stage 4 marks the rank of a root it hangs from another (whose rank no join reads again;
    // stage 6 gives every node its region index there).
    static constexpr uint32_t kAbsorbed = 1u << 31;
    bool sliceBegun_ = false;
    uint32_t bands_ = 1;
    // Per band: stages 1 and 2 its next pixel; stage 8's blocks their rows done forward
    // (bandCursor_) and backward (bandKey_).
    std::vector<uint32_t> bandCursor_, bandKey_;
    // Stage 4: its step, the next unit of the step, the count of the collected edges per key
    // (then the first position of each key), the collected edges in the order of building, then
    // in the sorted order, and the roots it hung from others with the position of their join.
    uint32_t smallPhase_ = kMark;
    uint32_t smallCursor_ = 0;
    std::vector<uint32_t> smallKeys_, smallEdges_, smallSorted_;
    struct SmallJoin {
        uint32_t root;
        uint64_t position;
    };
    std::vector<SmallJoin> smallJoins_;
    std::vector<std::vector<uint32_t>> bandEdges_;  // per band, the edges it collected
    mcvLargeArray<uint8_t> smallMark_;              // per pixel, whether its region is small
    uint32_t sortCursor_ = 0;                       // stage 2's next pixel
    uint32_t setupCursor_ = 0;  // stage 3's next pixel to set up before the merge
};
