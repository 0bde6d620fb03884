#include "fill/segment_graph.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#include "fill/color_key.h"
#include "fill/label_distance.h"
#include "fill/word_pipe.h"
#include "image/distance_transform.h"

namespace {

// Budgets below this many ticks (a fraction of a millisecond) are for callers that want the
// clock read before every single unit; above it, units are cheap enough (well under a
// microsecond each) that reading the clock once per stride of them keeps every slice within a
// few microseconds of its budget while the reads themselves cost nothing measurable.
constexpr uint64_t kFineBudget = 1000000;
constexpr uint32_t kPixelStride = 4096;
constexpr uint32_t kEdgeStride = 4096;
constexpr uint32_t kRowStride = 1;
// How many edges ahead of the one being merged the links of its successors are fetched.
constexpr uint32_t kLookAhead = 48;
// Stage 3 on two threads: the joins' ring (2^19 joins, 4 MB, some tens of milliseconds of the
// merge: a second thread that gets its processor only now and then still keeps up), a flag on the
// absorbed root for a rank that rises (pixel numbers stay below 2^30), and how many joins ahead
// of the one applied the nodes, then the tails, are fetched.
constexpr uint32_t kJoinPipeLog2 = 19;
constexpr uint32_t kEqualRanks = 1u << 31;
constexpr uint32_t kJoinsAhead = 16;
constexpr uint32_t kTailsAhead = 6;

// The weights of the 5 x 5 chamfer transform, so the field equals what that transform gives
// one colour group at a time.
mcvLabelDistance::Weights ChamferWeights() {
    mtxDistanceTransform chamfer;
    int32_t w[3];
    chamfer.FixedWeights(w);
    return {w[0], w[1], w[2]};
}

// How often a band waiting for another polls before it yields the processor.
constexpr uint32_t kSpins = 2000;
// How many edges a band merges between publishing its position (a power of two).
constexpr uint32_t kPublishStride = 32;

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Atomic access to per-pixel words that band threads may read while another writes them; plain
// moves on the usual processors.
template <class T>
T Load(T& x) {
    return std::atomic_ref<T>(x).load(std::memory_order_acquire);
}
template <class T>
void Store(T& x, T v) {
    std::atomic_ref<T>(x).store(v, std::memory_order_release);
}

}  // namespace

mcvSegmentGraph::mcvSegmentGraph() = default;
mcvSegmentGraph::~mcvSegmentGraph() = default;

int mcvSegmentGraph::StartSegmentation(mtxImage& picture) {
    k = 300.0f;
    work.Free();
    int ok = 1;
    outOfMemory = 0;
    uint64_t pixels = uint64_t(std::max(picture.width, 0)) * uint64_t(std::max(picture.height, 0));
    uint32_t want = threads;
    if (!want) want = pixels >= kParallelPixels ? std::thread::hardware_concurrency() : 1;
    bands_ = std::max(1u, std::min({want, uint32_t(std::max(picture.height, 0)), 64u}));
    if (pixels > kMaxPixels) {
        ok = 0;
    } else if (bands_ > 1) {
        if (!SmoothInBands(picture)) {
            work.Free();
            ok = 0;
            outOfMemory = 1;
        }
    } else if (!work.Assign(picture)) {
        work.Free();
        ok = 0;
        outOfMemory = 1;
    }
    if (bands_ == 1) {
        try {
            work.Blur(kSigma);
        } catch (const std::bad_alloc&) {
            work.Free();
            ok = 0;
            outOfMemory = 1;
        }
    }
    width = uint32_t(std::max(work.width, 0));
    height = uint32_t(std::max(work.height, 0));
    if (work.IsEmpty()) width = height = 0;
    pixelCount = width * height;
    bands_ = std::max(1u, std::min(bands_, height));
    bandCursor_.assign(bands_, 0);
    bandKey_.assign(bands_, 0);
    minSize = 5;
    stages = 0;
    groups.clear();
    regions.clear();
    nodes.reset();
    edges_.Release();
    links_.reset();
    regionIndex_.reset();
    distance.Free();
    distanceStore_.reset();
    status = 0;
    components = 0;
    edgeCount = cursorX = cursorY = edgeCursor = 0;
    itemCursor = 0;
    sortCursor_ = 0;
    setupCursor_ = 0;
    smallPhase_ = kMark;
    smallCursor_ = 0;
    smallMark_.reset();
    smallKeys_ = {};
    smallEdges_ = {};
    smallSorted_ = {};
    smallJoins_ = {};
    bandEdges_ = {};
    regionSums_ = {};
    return ok;
}

int mcvSegmentGraph::Advance() {
    // The large arrays of the stages throw std::bad_alloc when memory is short; a picture too
    // large for this machine ends its run, never the program.
    try {
        return AdvanceStage();
    } catch (const std::bad_alloc&) {
        Abandon();
        return 0;
    }
}

void mcvSegmentGraph::Abandon() {
    Release();
    stages = kAllStages;
    outOfMemory = 1;
}

void mcvSegmentGraph::Release() {
    ReleaseWork();
    groups.clear();
    groups.shrink_to_fit();
    regions.clear();
    regions.shrink_to_fit();
    nodes.reset();
    regionIndex_.reset();
    smallKeys_ = {};
    smallEdges_ = {};
    smallSorted_ = {};
    smallJoins_ = {};
    bandEdges_ = {};
    regionSums_ = {};
    distance.Free();
    distanceStore_.reset();
    width = height = pixelCount = 0;
    components = edgeCount = cursorX = cursorY = edgeCursor = 0;
    itemCursor = 0;
    sortCursor_ = setupCursor_ = 0;
    smallPhase_ = kMark;
    smallCursor_ = 0;
    smallMark_.reset();
    stages = 0;
}

int mcvSegmentGraph::AdvanceStage() {
    StartSlice();
    sliceBegun_ = false;
    if (stages == kAllStages) {
        ReleaseWork();
        return 1;
    }
    if (!(stages & kEdgesBuilt)) {
        BuildEdges();
    } else if (!(stages & kEdgesSorted)) {
        SortEdges();
    } else if (!(stages & kMerged)) {
        MergeRegions();
    } else if (!(stages & kSmallMerged)) {
        MergeSmallRegions();
    } else if (!(stages & kRegionsListed)) {
        ListRegions();
    } else if (!(stages & kStatistics)) {
        MeasureRegions();
    } else if (!(stages & kGrouped)) {
        GroupRegions();
    } else {
        MeasureDistances();
    }
    // The call that finishes the last stage leaves the percentage where it was; the caller
    // reports 100 when the next call says the work is done.
    if (stages != kAllStages) UpdateProgress();
    return 0;
}

uint32_t mcvSegmentGraph::Allowance(uint32_t stride) {
    if (sliceBegun_ && BudgetSpent()) return 0;
    sliceBegun_ = true;
    return budget < kFineBudget ? 1 : stride;
}

void mcvSegmentGraph::UpdateProgress() {
    double f = 0;
    if (!(stages & kEdgesBuilt)) {
        if (pixelCount) f = (double(cursorY) * width + cursorX) / pixelCount;
    } else if (!(stages & kEdgesSorted)) {
    } else if (!(stages & kMerged)) {
        if (edgeCount) f = double(edgeCursor) / edgeCount;
    } else if (!(stages & kSmallMerged)) {
        // A third for each sweep over the pixels.
        double pixels = pixelCount ? double(smallCursor_) / pixelCount : 0;
        f = smallPhase_ == kMark      ? pixels / 3
            : smallPhase_ == kCollect ? (1 + pixels) / 3
            : smallPhase_ == kLinks   ? (2 + pixels) / 3
                                      : 2.0 / 3;
    } else if (!(stages & kRegionsListed)) {
    } else if (!(stages & kStatistics)) {
        if (pixelCount) f = double(itemCursor) / pixelCount;
    } else if (!(stages & kGrouped)) {
    } else {
        // Two sweeps over the rows.
        if (height) f = double(itemCursor) / (2.0 * height);
    }
    double percent = std::nearbyint(100.0 * f / 8.0 + std::popcount(stages) * 12.5);
    // Until Advance reports the end, the bar must not show a finished run.
    status = uint32_t(std::min(percent, 99.0));
}

void mcvSegmentGraph::ReleaseWork() {
    edges_.Release();
    links_.reset();
    ranks_.reset();
    work.Free();
}

int mcvSegmentGraph::KeepRegionIndexOnly() {
    if (stages != kAllStages || !nodes) return 0;
    try {
        regionIndex_.allocate(pixelCount);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    for (uint32_t p = 0; p < pixelCount; ++p) regionIndex_[p] = nodes[p].rank;
    nodes.reset();
    return 1;
}

int mcvSegmentGraph::Adopt(mcvSegmentGraph& other) {
    if (&other == this || other.stages != kAllStages || other.outOfMemory) return 0;
    Release();
    regions = std::move(other.regions);
    groups = std::move(other.groups);
    nodes = std::move(other.nodes);
    regionIndex_ = std::move(other.regionIndex_);
    distanceStore_ = std::move(other.distanceStore_);
    if (distanceStore_)
        distance.Attach(distanceStore_.get(), other.distance.width, other.distance.height,
                        other.distance.pitch);
    width = other.width, height = other.height, pixelCount = other.pixelCount;
    components = other.components;
    k = other.k, minSize = other.minSize;
    stages = kAllStages;
    status = other.status;
    other.Release();
    return 1;
}

// Stage 1: counts every edge of the grid by weight, pixel by pixel.
void mcvSegmentGraph::BuildEdges() {
    if (bands_ > 1) return BuildEdgesInBands();
    if (!edges_.Begun()) edges_.Begin(work.data, width, height, work.pitch);
    uint32_t p = cursorY * width + cursorX;
    while (p < pixelCount) {
        uint32_t n = Allowance(kPixelStride);
        if (!n) break;
        uint32_t end = std::min(pixelCount, p + std::min(n, pixelCount - p));
        edgeCount += edges_.Count(p, end);
        p = end;
    }
    if (width) {
        cursorY = p / width;
        cursorX = p % width;
    }
    if (p >= pixelCount) stages |= kEdgesBuilt;
}

// Stage 2: places the edges in ascending order of weight. On pictures of tens of megapixels
// this takes longer than a slice, so it too stops between pixels when the budget is spent, and
// a Stop during it is answered in time; it adds nothing to the progress.
void mcvSegmentGraph::SortEdges() {
    if (bands_ > 1) return SortEdgesInBands();
    if (!edges_.Begun()) edges_.Begin(work.data, width, height, work.pitch);
    if (!edges_.Edges()) {
        edges_.Prepare(edgeCount);
        sortCursor_ = 0;
    }
    uint32_t p = sortCursor_;
    while (p < pixelCount) {
        uint32_t n = Allowance(kPixelStride);
        if (!n) break;
        uint32_t end = p + std::min(n, pixelCount - p);
        edges_.Scatter(p, end);
        p = end;
    }
    sortCursor_ = p;
    if (p >= pixelCount) stages |= kEdgesSorted;
}

// The root of x's set, every node on the way linked straight to it. Stage 3 uses its parent
// links only to find roots: which node is a set's root, and its rank, size and member list,
// follow from the joins alone, and stage 4 sets every node's final link from the roots and its
// own joins (see MergeSmallRegions). So the paths may be compressed whole.
inline uint32_t mcvSegmentGraph::RootOf(uint32_t x) {
    uint32_t* up = links_.get();
    uint32_t r = x;
    while (!(up[r] & kRoot)) r = up[r];
    for (uint32_t next; x != r && (next = up[x]) != r; x = next) up[x] = r;
    return r;
}

// join of two roots in the nodes: the absorbed list continues the absorbing one, so walking next
// from a root visits its whole region. Returns the absorbing root, and in tail the last member of
// its list before the join, which the absorbed root hangs from. While the merges run, a root's
// parent field holds the last member of its list (its parent link is in links_), so appending
// needs no walk.
inline uint32_t mcvSegmentGraph::Join(uint32_t a, uint32_t b, uint32_t& tail) {
    SegmentNode* n = nodes.get();
    components -= 1;
    bool equal = n[a].rank == n[b].rank;
    if (n[a].rank <= n[b].rank) std::swap(a, b);  // a absorbs b; on equal ranks the second root
    tail = Absorb(a, b, equal);
    return a;
}

// The nodes' side of a join: root a absorbs root b, a's rank rising when theirs were equal.
// Returns the tail b hangs from.
inline uint32_t mcvSegmentGraph::Absorb(uint32_t a, uint32_t b, bool equal) {
    SegmentNode* n = nodes.get();
    uint32_t tail = n[a].parent;
    n[a].size += n[b].size;
    n[tail].next = b;
    n[a].parent = n[b].parent;
    if (equal) n[a].rank += 1;
    return tail;
}

// Every pixel its own set, before the merge.
void mcvSegmentGraph::SetUpNodes(uint32_t first, uint32_t count) {
    for (uint32_t p = first; p < first + count; ++p) {
        nodes[p] = {p, p, 0, 1};
        links_[p] = RootWord(1, 0);
    }
}

// Stage 3: the segmentation merge over the sorted edges.
void mcvSegmentGraph::MergeRegions() {
    // The per-pixel arrays are set up in slices too: at tens of megapixels that alone takes
    // longer than a slice.
    if (!nodes) {
        nodes.allocate(pixelCount);
        links_.allocate(pixelCount);
        components = pixelCount;
        setupCursor_ = 0;
    }
    if (bands_ > 1 && setupCursor_ < pixelCount) {
        setupCursor_ = InChunks(setupCursor_, pixelCount, kPixelStride * 16,
                                [&](uint32_t first, uint32_t n) { SetUpNodes(first, n); });
        if (setupCursor_ < pixelCount) return;
    }
    while (setupCursor_ < pixelCount) {
        uint32_t allowed = Allowance(kPixelStride);
        if (!allowed) return;
        uint32_t n = std::min(allowed, pixelCount - setupCursor_);
        SetUpNodes(setupCursor_, n);
        setupCursor_ += n;
    }
    if (bands_ > 1)
        MergeHandingOffJoins();
    else
        MergeEdges([&](uint32_t a, uint32_t b) {
            uint32_t tail;
            return Join(a, b, tail);
        });
    if (edgeCursor >= edgeCount) {
        stages |= kMerged;
        edgeCursor = 0;
        // Stage 4 reads the sorted list no more; its count per key starts.
        edges_.Release();
        ranks_.reset();
        smallPhase_ = kMark;
        smallCursor_ = 0;
        smallMark_.allocate(pixelCount);
        smallKeys_.assign(mcvEdgeOrder::kKeys, 0);
        smallEdges_.clear();
        smallJoins_.clear();
        bandEdges_.assign(bands_, {});
        for (uint32_t b = 0; b < bands_; ++b) bandCursor_[b] = BandFirstPixel(b);
    }
}

// Stage 3's sweep over the sorted edges from edgeCursor until the slice ends; join(a, b) joins
// two roots whose sets merge and returns the absorbing one.
template <class Joins>
void mcvSegmentGraph::MergeEdges(Joins&& join) {
    const uint32_t* list = edges_.Edges();
    uint32_t* up = links_.get();
    uint32_t i = edgeCursor;
    uint32_t key = i < edgeCount ? edges_.KeyAt(i) : 0;
    while (i < edgeCount) {
        uint32_t allowed = Allowance(kEdgeStride);
        if (!allowed) break;
        uint32_t end = i + std::min(allowed, edgeCount - i);
        while (i < end) {
            // All edges of one bucket share their weight.
            key = edges_.KeyAt(i, key);
            uint32_t bucketEnd = std::min(end, edges_.BucketEnd(key));
            float w = std::sqrt(float(key));
            for (; i < bucketEnd; ++i) {
                // Edges far apart in the picture follow each other in the list: fetch the links
                // of later edges while this one is merged. (Fetching what those links lead to as
                // well measured slower: most edges need no more than their own links, and the
                // extra lines take the place of the ones needed.)
                uint32_t ahead = list[std::min(i + kLookAhead, edgeCount - 1)];
                __builtin_prefetch(&up[edges_.From(ahead)]);
                __builtin_prefetch(&up[edges_.To(ahead)]);
                uint32_t id = list[i];
                uint32_t a = edges_.From(id), b = edges_.To(id);
                // Neighbours hanging from the same node, or one from the other, share their
                // root: nothing to do.
                uint32_t la = up[a], lb = up[b];
                if ((la == lb && !(la & kRoot)) || la == b || lb == a) continue;
                a = RootOf(a);
                b = RootOf(b);
                if (a == b) continue;
                // The roots' words, just read, hold what the test needs: no visit to the nodes
                // unless the sets join.
                uint32_t sa = RootSize(up[a]), sb = RootSize(up[b]);
                if (sa < kSizeCap && sb < kSizeCap && w <= Threshold(up[a], sa) &&
                    w <= Threshold(up[b], sb)) {
                    // Below the cap the words' sizes are whole.
                    uint32_t root = join(a, b);
                    up[root == a ? b : a] = root;
                    up[root] = RootWord(sa + sb, key);
                }
            }
        }
    }
    edgeCursor = i;
}

// Stage 3 on two threads. The sweep's finds and tests read only links_, so the calling thread
// decides every join there, keeping the roots' ranks in a byte array of its own, and hands the
// joins over in order to a second thread, which applies them to the nodes: the nodes, four times
// the size of the links and read at random, leave the sweep's caches. The nodes end as the joins
// on one thread leave them.
void mcvSegmentGraph::MergeHandingOffJoins() {
    if (!ranks_) ranks_.allocate(pixelCount);
    uint8_t* rank = ranks_.get();
    mcvWordPipe pipe(kJoinPipeLog2);
    auto apply = [this](const uint64_t* joins, uint32_t count) { ApplyJoins(joins, count); };
    std::thread applier;
    try {
        applier = std::thread([&] { pipe.Drain(apply); });
    } catch (const std::system_error&) {
        throw std::bad_alloc();
    }
    MergeEdges([&](uint32_t a, uint32_t b) {
        bool equal = rank[a] == rank[b];
        if (rank[a] <= rank[b]) std::swap(a, b);  // as Join decides
        rank[a] += equal;
        components -= 1;
        pipe.Put(uint64_t(a) << 32 | b | (equal ? kEqualRanks : 0), apply);
        return a;
    });
    pipe.Close();
    applier.join();
}

// Joins handed over by the merging thread, each the absorbing root above the absorbed one. The
// nodes of later joins are fetched ahead, and the tails of nearer ones (the tail read early may
// yet change; it is only a fetch).
void mcvSegmentGraph::ApplyJoins(const uint64_t* joins, uint32_t count) {
    SegmentNode* n = nodes.get();
    for (uint32_t i = 0; i < count; ++i) {
        if (i + kJoinsAhead < count) {
            uint64_t later = joins[i + kJoinsAhead];
            __builtin_prefetch(&n[later >> 32]);
            __builtin_prefetch(&n[uint32_t(later) & ~kEqualRanks]);
        }
        if (i + kTailsAhead < count) __builtin_prefetch(&n[n[joins[i + kTailsAhead] >> 32].parent]);
        uint64_t join = joins[i];
        Absorb(uint32_t(join >> 32), uint32_t(join) & ~kEqualRanks, join & kEqualRanks);
    }
}

// Stage 4: every region still below the minimum size joins its neighbour across the lightest edge
// that leaves it, the edges taken in the sorted order, find and join as in stage 3 but without
// the weights, and each end of every edge linked to its root when the edge is taken. Regions only
// grow, so an edge whose two ends lie in regions of the minimum size when stage 3 ends never
// joins anything: only the few edges with an end in a small region are taken (kMark, kCollect,
// kSort, kJoin). Every node's parent link is then set to what the finds of the whole list would
// have left (kLinks). Each pixel, collected edge and sorted edge is one unit of the slices, counted
// in edgeCursor.
void mcvSegmentGraph::MergeSmallRegions() {
    while (smallPhase_ != kLinksDone) {
        bool done = false;
        switch (smallPhase_) {
            case kMark:
                done = MarkSmallPixels();
                break;
            case kCollect:
                done = CollectSmallEdges();
                break;
            case kSort:
                done = SortSmallEdges();
                break;
            case kJoin:
                done = JoinSmallRegions();
                break;
            default:
                done = SetFinalLinks();
                break;
        }
        if (!done) return;
        smallPhase_ += 1;
        smallCursor_ = 0;
    }
    stages |= kSmallMerged;
    edgeCursor = 0;
    smallKeys_ = {};
    smallEdges_ = {};
    smallJoins_ = {};
}

// The edges with an end in a small region, in the order they were built (each pixel's own four),
// and their count per key.
// Every pixel linked straight to its stage-3 root, for the steps to come, and marked when its
// region is small.
bool mcvSegmentGraph::MarkSmallPixels() {
    const SegmentNode* n = nodes.get();
    uint32_t* up = links_.get();
    uint8_t* mark = smallMark_.get();
    uint32_t done = OverPixels([&](uint32_t, uint32_t first, uint32_t last) {
        for (uint32_t p = first; p < last; ++p) {
            // Other bands link their own pixels meanwhile: the links are read and written whole.
            uint32_t r = p;
            for (uint32_t w; !((w = Load(up[r])) & kRoot);) r = w;
            if (r != p && Load(up[p]) != r) Store(up[p], r);
            // The sizes in the roots' words serve up to the cap.
            mark[p] = minSize <= kSizeCap ? RootSize(Load(up[r])) < minSize : n[r].size < minSize;
        }
    });
    return done == pixelCount;
}

bool mcvSegmentGraph::CollectSmallEdges() {
    const uint8_t* mark = smallMark_.get();
    const int32_t offset[4] = {1, int32_t(width), int32_t(width) + 1, 1 - int32_t(width)};
    uint32_t done = OverPixels([&](uint32_t band, uint32_t first, uint32_t last) {
        std::vector<uint32_t>& found = bandEdges_[band];
        for (uint32_t p = first, x = p % width, y = p / width; p < last; ++p) {
            bool has[4] = {x + 1 < width, y + 1 < height, x + 1 < width && y + 1 < height,
                           x + 1 < width && y > 0};
            for (uint32_t d = 0; d < 4; ++d)
                if (has[d] && (mark[p] || mark[p + uint32_t(offset[d])]))
                    found.push_back(p * 4 + d);
            if (++x == width) x = 0, ++y;
        }
    });
    if (done < pixelCount) return false;
    smallMark_.reset();
    // The bands' edges in the order of building, and each key's first position among them.
    for (std::vector<uint32_t>& found : bandEdges_) {
        smallEdges_.insert(smallEdges_.end(), found.begin(), found.end());
        found = {};
    }
    for (uint32_t id : smallEdges_) ++smallKeys_[EdgeKey(id >> 2, mcvEdgeOrder::To(id, width))];
    uint32_t start = 0;
    for (uint32_t& k : smallKeys_) start += std::exchange(k, start);
    smallSorted_.assign(smallEdges_.size(), 0);
    return true;
}

// OverBands for stage 4's sweeps, each pixel a unit of its count; the bands start again at their
// first pixels once a sweep is done.
template <class Work>
uint32_t mcvSegmentGraph::OverPixels(Work&& work) {
    uint32_t done = OverBands(work);
    edgeCursor += done - smallCursor_;
    smallCursor_ = done;
    if (done == pixelCount)
        for (uint32_t b = 0; b < bands_; ++b) bandCursor_[b] = BandFirstPixel(b);
    return done;
}

// A counting sort by key: equal keys keep the order of building, as in the whole list.
bool mcvSegmentGraph::SortSmallEdges() {
    const uint32_t count = uint32_t(smallEdges_.size());
    uint32_t i = smallCursor_;
    while (i < count) {
        uint32_t allowed = Allowance(kEdgeStride);
        if (!allowed) break;
        for (uint32_t end = i + std::min(allowed, count - i); i < end; ++i, ++edgeCursor) {
            uint32_t id = smallEdges_[i];
            smallSorted_[smallKeys_[EdgeKey(id >> 2, mcvEdgeOrder::To(id, width))]++] = id;
        }
    }
    smallCursor_ = i;
    if (i < count) return false;
    smallEdges_ = {};
    smallKeys_ = {};
    return true;
}

// The joins of stage 4. An absorbed root links to the absorbing root in links_ (so the links
// there lead every pixel to its region's root) and, in its parent field, to the last member of
// the absorbing list; its rank is marked, and the position of the edge that joined it noted.
bool mcvSegmentGraph::JoinSmallRegions() {
    const uint32_t count = uint32_t(smallSorted_.size());
    uint32_t* up = links_.get();
    SegmentNode* n = nodes.get();
    uint32_t i = smallCursor_;
    while (i < count) {
        uint32_t allowed = Allowance(kEdgeStride);
        if (!allowed) break;
        for (uint32_t end = i + std::min(allowed, count - i); i < end; ++i, ++edgeCursor) {
            // As in stage 3, the links of later edges are fetched.
            uint32_t ahead = smallSorted_[std::min(i + kLookAhead, count - 1)];
            __builtin_prefetch(&up[ahead >> 2]);
            __builtin_prefetch(&up[mcvEdgeOrder::To(ahead, width)]);
            uint32_t id = smallSorted_[i];
            uint32_t a = id >> 2, b = mcvEdgeOrder::To(id, width);
            uint32_t ra = FinalRoot(a), rb = FinalRoot(b);
            if (ra == rb || (n[ra].size >= minSize && n[rb].size >= minSize)) continue;
            uint32_t tail, root = Join(ra, rb, tail);
            uint32_t absorbed = root == ra ? rb : ra;
            up[absorbed] = root;
            n[absorbed].parent = tail;
            n[absorbed].rank |= kAbsorbed;
            smallJoins_.push_back({absorbed, Position(id)});
        }
    }
    smallCursor_ = i;
    if (i < count) return false;
    smallSorted_ = {};
    std::sort(smallJoins_.begin(), smallJoins_.end(),
              [](const SmallJoin& l, const SmallJoin& r) { return l.root < r.root; });
    return true;
}

// The root of x's set in stage 4, without compressing: links_ keep each stage-3 root's pixels
// and each absorbed root's place.
inline uint32_t mcvSegmentGraph::FinalRoot(uint32_t x) const {
    const uint32_t* up = links_.get();
    while (!(up[x] & kRoot)) x = up[x];
    return x;
}

// Every node's parent link, as the finds from both ends of every edge of the whole list leave
// it. The last edge to reach a pixel links it to its root at that time, before that edge's join;
// a root absorbed at or after its own last edge keeps the link of its join instead.
bool mcvSegmentGraph::SetFinalLinks() {
    const uint32_t* up = links_.get();
    SegmentNode* n = nodes.get();
    uint32_t done = OverPixels([&](uint32_t, uint32_t first, uint32_t last) {
        for (uint32_t p = first; p < last; ++p) {
            uint32_t w = up[p];
            if (w & kRoot) {
                n[p].parent = p;
                continue;
            }
            bool absorbed = n[p].rank & kAbsorbed;
            // Most pixels: their stage-3 root is still a root.
            if (!absorbed && (up[w] & kRoot)) {
                n[p].parent = w;
                continue;
            }
            uint64_t last = LastPosition(p);
            uint32_t r = absorbed ? p : w;
            while ((n[r].rank & kAbsorbed) && JoinedAt(r) < last) r = up[r];
            if (r != p) n[p].parent = r;  // else the link of its join stays
        }
    });
    return done == pixelCount;
}

// The position in the sorted list, as a number that orders like it: key, then edge id.
inline uint64_t mcvSegmentGraph::Position(uint32_t id) const {
    return uint64_t(EdgeKey(id >> 2, mcvEdgeOrder::To(id, width))) << 32 | id;
}

// The position of the last edge in the sorted list with p as an end.
uint64_t mcvSegmentGraph::LastPosition(uint32_t p) const {
    uint32_t x = p % width, y = p / width;
    bool left = x > 0, right = x + 1 < width, up = y > 0, down = y + 1 < height;
    uint64_t last = 0;
    auto take = [&](bool has, uint32_t from, uint32_t direction) {
        if (has) last = std::max(last, Position(from * 4 + direction));
    };
    take(right, p, mcvEdgeOrder::kRight);
    take(down, p, mcvEdgeOrder::kDown);
    take(right && down, p, mcvEdgeOrder::kDownRight);
    take(right && up, p, mcvEdgeOrder::kUpRight);
    take(left, p - 1, mcvEdgeOrder::kRight);
    take(up, p - width, mcvEdgeOrder::kDown);
    take(left && up, p - width - 1, mcvEdgeOrder::kDownRight);
    take(left && down, p + width - 1, mcvEdgeOrder::kUpRight);
    return last;
}

uint64_t mcvSegmentGraph::JoinedAt(uint32_t root) const {
    auto at = std::lower_bound(smallJoins_.begin(), smallJoins_.end(), root,
                               [](const SmallJoin& j, uint32_t r) { return j.root < r; });
    return at->position;
}

inline uint32_t mcvSegmentGraph::EdgeKey(uint32_t p, uint32_t q) const {
    return mcvEdgeOrder::Key(work.data[p], work.data[q]);
}

// Stage 5: one region per root, in descending order of root index. Each root's word in links_
// now holds its region's index.
void mcvSegmentGraph::ListRegions() {
    regions.reserve(components);
    for (uint32_t i = pixelCount; i-- > 0;) {
        if (nodes[i].parent != i) continue;
        links_[i] = kRoot | uint32_t(regions.size());
        SegmentRegion& r = regions.emplace_back();
        r.root = i;
    }
    regionSums_.assign(bands_, {});
    for (uint32_t b = 0; b < bands_; ++b) {
        regionSums_[b].assign(regions.size(), RegionSums{});
        bandCursor_[b] = BandFirstPixel(b);
    }
    stages |= kRegionsListed;
}

uint32_t mcvSegmentGraph::BandFirstPixel(uint32_t band) const {
    return uint32_t(uint64_t(height) * band / bands_) * width;
}

// Stage 6: size, bounds and mean colour of every region, in pixel order: each pixel's links lead
// to its root, whose word holds the region's index. Each band adds up its own rows in sums of
// its own, which add up the same in any order.
void mcvSegmentGraph::MeasureRegions() {
    uint32_t done = OverBands([&](uint32_t b, uint32_t first, uint32_t last) {
        MeasurePixels(first, last, regionSums_[b].data());
    });
    itemCursor = int32_t(done);
    if (done < pixelCount) return;
    for (uint32_t i = 0; i < regions.size(); ++i) {
        RegionSums& s = regionSums_[0][i];
        for (uint32_t b = 1; b < bands_; ++b) {
            const RegionSums& t = regionSums_[b][i];
            s.minX = std::min(s.minX, t.minX);
            s.minY = std::min(s.minY, t.minY);
            s.maxX = std::max(s.maxX, t.maxX);
            s.maxY = std::max(s.maxY, t.maxY);
            for (int c = 0; c < 3; ++c) s.sum[c] += t.sum[c];
            s.opaque += t.opaque;
            s.count += t.count;
        }
        FinishRegion(regions[i], s);
    }
    regionSums_ = {};
    stages |= kStatistics;
    itemCursor = 0;
}

// Pixels first..last-1 into the sums of their regions; each node's rank becomes its region's
// index.
void mcvSegmentGraph::MeasurePixels(uint32_t first, uint32_t last, RegionSums* sums) {
    SegmentNode* n = nodes.get();
    const uint32_t* up = links_.get();
    const mtxColor* pixels = work.data;  // rows are width pixels apart
    int32_t x = int32_t(first % width), y = int32_t(first / width);
    for (uint32_t p = first; p < last; ++p) {
        uint32_t r = p;
        while (!(up[r] & kRoot)) r = up[r];
        uint32_t index = up[r] & ~kRoot;
        n[p].rank = index;
        RegionSums& s = sums[index];
        ++s.count;
        s.minX = std::min(s.minX, x);
        s.maxX = std::max(s.maxX, x);
        s.minY = std::min(s.minY, y);
        s.maxY = std::max(s.maxY, y);
        mtxColor c = pixels[p];
        if (mtxAlpha(c)) {
            ++s.opaque;
            s.sum[0] += mtxRed(c);
            s.sum[1] += mtxGreen(c);
            s.sum[2] += mtxBlue(c);
        }
        if (++x == int32_t(width)) x = 0, ++y;
    }
}

void mcvSegmentGraph::FinishRegion(SegmentRegion& region, const RegionSums& s) {
    uint32_t count = s.count, opaque = s.opaque;
    const uint64_t* sum = s.sum;
    int32_t minX = s.minX, minY = s.minY, maxX = s.maxX, maxY = s.maxY;
    region.pixels = count;
    region.bounds[0] = minX;
    region.bounds[1] = minY;
    region.bounds[2] = maxX;
    region.bounds[3] = maxY;
    // A region without an opaque pixel has no mean colour; it takes black's, so it matches the
    // darkest sample and the run goes on.
    for (int c = 0; c < 3; ++c) {
        // The mean of the opaque pixels' histogram: sum of value x count over the count.
        region.meanColor[c] = opaque ? float(sum[c]) / float(opaque) / 255.0f : 0.0f;
    }
    mcvColorKey(region.meanColor, region.key);
    region.group = nullptr;
}

bool mcvSegmentGraph::KeysNear(const float a[3], const float b[3]) {
    float d0 = a[0] - b[0], d1 = a[1] - b[1], d2 = a[2] - b[2];
    return std::sqrt(d0 * d0 + d1 * d1 + d2 * d2) < 0.2f;
}

// Stage 7: seeds and their colour groups, then the label image, in one call.
void mcvSegmentGraph::GroupRegions() {
    std::vector<uint32_t> open(regions.size());
    for (uint32_t i = 0; i < open.size(); ++i) open[i] = i;
    std::vector<uint32_t> left;
    while (!open.empty()) {
        auto& group = groups.emplace_back(std::make_unique<ColorGroup>());
        SegmentRegion& seed = regions[open[0]];
        group->members.push_back(open[0]);
        seed.group = group.get();
        left.clear();
        for (size_t j = 1; j < open.size(); ++j) {
            SegmentRegion& r = regions[open[j]];
            // Always against the seed, never the group's running mean.
            if (KeysNear(r.key, seed.key)) {
                group->members.push_back(open[j]);
                r.group = group.get();
            } else {
                left.push_back(open[j]);
            }
        }
        open.swap(left);
    }
    // The work picture's colours are no longer needed: it becomes the label image. Every pixel
    // already names its region, so one pass in pixel order labels them all; walking the member
    // lists would give the same image through scattered reads.
    std::vector<uint32_t> groupOf(regions.size());
    for (uint32_t g = 0; g < groups.size(); ++g)
        for (uint32_t r : groups[g]->members) groupOf[r] = g;
    const SegmentNode* n = nodes.get();
    mtxColor* labels = work.data;
    for (uint32_t p = 0; p < pixelCount; ++p) labels[p] = groupOf[n[p].rank];
    // The merges' links are free now and have the size stage 8 needs for its fixed-point work
    // area; reusing them spares the system handing out (and zeroing) fresh pages.
    distanceStore_.allocate(pixelCount);
    distance.Attach(distanceStore_.get(), int(width), int(height), int(width * sizeof(float)));
    std::fill(bandCursor_.begin(), bandCursor_.end(), 0u);
    std::fill(bandKey_.begin(), bandKey_.end(), 0u);
    stages |= kGrouped;
}

// Stage 8: the distance of every pixel to the border of its colour group, one forward and one
// backward sweep over the label image, row by row.
void mcvSegmentGraph::MeasureDistances() {
    // The links are 32-bit words like the sweep's fixed-point values.
    int32_t* scratch = reinterpret_cast<int32_t*>(links_.get());
    mcvLabelDistance sweep(work.data, work.pitch, scratch, width, height, ChamferWeights());
    if (bandMerges && std::min(bands_, width / 2) > 1) return MeasureDistancesInBlocks(sweep);
    uint32_t rows = 2 * height;
    uint32_t i = uint32_t(itemCursor);
    while (i < rows) {
        if (!Allowance(kRowStride)) break;
        if (i < height) {
            sweep.ForwardRow(i);
        } else {
            uint32_t y = rows - 1 - i;
            sweep.BackwardRow(y, distance.Row(int(y)));
        }
        ++i;
    }
    itemCursor = int32_t(i);
    if (i >= rows) stages |= kDistance;
}

// The band threads. Band 0 runs on the calling thread, every other band on a thread of its own,
// each for one slice; all have returned when this does. A thread the system refuses counts as
// memory running short.
template <class Work>
void mcvSegmentGraph::OnBands(BandSync& sync, Work&& work) {
    std::vector<std::thread> helpers;
    helpers.reserve(bands_ - 1);
    try {
        for (uint32_t b = 1; b < bands_; ++b) helpers.emplace_back([&work, b] { work(b); });
    } catch (const std::system_error&) {
        sync.stop.store(true);
        for (std::thread& t : helpers) t.join();
        throw std::bad_alloc();
    }
    work(0);
    for (std::thread& t : helpers) t.join();
}

// Runs work(band, first, last) over the pixels each band has still to do, on the band threads
// (on the calling thread alone with one band), a stride of pixels at a time, until the slice
// ends. The bands' next pixels stay in bandCursor_. Returns how many pixels the bands have done
// in all.
template <class Work>
uint32_t mcvSegmentGraph::OverBands(Work&& work) {
    BandSync sync;
    OnBands(sync, [&](uint32_t b) {
        uint32_t p = bandCursor_[b], last = BandFirstPixel(b + 1);
        // A step that begins after another in the same call has no first unit of its own.
        bool begun = b == 0 && sliceBegun_;
        uint32_t left = 0;
        while (p < last && !SliceOver(sync, begun, left, 1)) {
            uint32_t end = p + std::min(budget < kFineBudget ? 1 : kPixelStride, last - p);
            work(b, p, end);
            p = end;
        }
        bandCursor_[b] = p;
    });
    sliceBegun_ = true;
    uint32_t done = 0;
    for (uint32_t b = 0; b < bands_; ++b) done += bandCursor_[b] - BandFirstPixel(b);
    return done;
}

// Whether a band must stop before its next unit of work: once the slice's time is spent, seen by
// this band or another. Every band's first unit of a call runs, so every call makes progress.
// The clock is read once per stride of units.
bool mcvSegmentGraph::SliceOver(BandSync& sync, bool& begun, uint32_t& left,
                                uint32_t stride) const {
    if (left) {
        --left;
        return false;
    }
    if (begun && (sync.stop.load(std::memory_order_relaxed) || BudgetSpent())) {
        sync.stop.store(true, std::memory_order_relaxed);
        return true;
    }
    begun = true;
    left = (budget < kFineBudget ? 1 : stride) - 1;
    return false;
}

// The smoothed copy of the picture, a band of rows per thread. Each band blurs a copy of its rows
// and of the rows the blur reads beyond them (as far as the picture goes), so its rows come out
// as the whole picture's blur makes them.
bool mcvSegmentGraph::SmoothInBands(mtxImage& picture) {
    if (!work.CreateUnset(picture.width, picture.height)) return false;
    const int h = picture.height;
    std::vector<uint8_t> failed(bands_);
    BandSync sync;
    // Each band blurs its own rows straight from the picture, which it only reads.
    OnBands(sync, [&](uint32_t b) {
        int first = int(int64_t(h) * b / bands_), last = int(int64_t(h) * (b + 1) / bands_);
        failed[b] = !work.BlurRowsOf(picture, kSigma, first, last);
    });
    return std::find(failed.begin(), failed.end(), 1) == failed.end();
}

// Stage 1 in bands: each band counts its own rows' edges.
void mcvSegmentGraph::BuildEdgesInBands() {
    if (!edges_.Begun()) {
        edges_.Begin(work.data, width, height, work.pitch, bands_);
        for (uint32_t b = 0; b < bands_; ++b) bandCursor_[b] = edges_.BandFirstPixel(b);
    }
    std::vector<uint32_t> counted(bands_);
    uint32_t done = OverBands([&](uint32_t b, uint32_t first, uint32_t last) {
        counted[b] += edges_.Count(first, last, b);
    });
    for (uint32_t b = 0; b < bands_; ++b) edgeCount += counted[b];
    cursorY = done / width;
    cursorX = done % width;
    if (done < pixelCount) return;
    stages |= kEdgesBuilt;
    for (uint32_t b = 0; b < bands_; ++b) bandCursor_[b] = edges_.BandFirstPixel(b);
}

// Stage 2 in bands: each band places its own edges, in its share of every bucket.
void mcvSegmentGraph::SortEdgesInBands() {
    if (!edges_.Edges()) edges_.Prepare(edgeCount);
    uint32_t done = OverBands(
        [&](uint32_t b, uint32_t first, uint32_t last) { edges_.Scatter(first, last, b); });
    if (done == pixelCount) stages |= kEdgesSorted;
}

// Runs work(first, count) over items start..total-1 in chunks that the band threads take in turn,
// until the slice ends, and returns the first item not done. Every chunk taken is finished, so
// the chunks done are always the first ones.
template <class Work>
uint32_t mcvSegmentGraph::InChunks(uint32_t start, uint32_t total, uint32_t chunk, Work&& work) {
    std::atomic<uint32_t> taken{0};
    BandSync sync;
    OnBands(sync, [&](uint32_t) {
        bool begun = false;
        uint32_t left = 0;
        while (!SliceOver(sync, begun, left, 1)) {
            uint64_t first = start + uint64_t(taken.fetch_add(1)) * chunk;
            if (first >= total) break;
            work(uint32_t(first), uint32_t(std::min<uint64_t>(chunk, total - first)));
        }
    });
    return uint32_t(std::min<uint64_t>(start + uint64_t(taken.load()) * chunk, total));
}

// Stage 8 in column blocks, one per thread (each at least two columns wide, as far as a pixel
// reads). A block sweeps its columns row by row, forward then backward: a forward row once the
// block on its left has done that row and the block on its right the row above; a backward row
// once the block on its right has done that row and the block on its left the row below. The
// blocks run a row apart, and the field is the one the whole rows give. Each block's rows done
// stay in bandCursor_ (forward) and bandKey_ (backward) between calls.
void mcvSegmentGraph::MeasureDistancesInBlocks(mcvLabelDistance& sweep) {
    const uint32_t blocks = std::min(bands_, width / 2);
    BandSync sync;
    sync.next.reset(new BandPosition[blocks]);
    sync.seam.reset(new BandPosition[blocks]);
    for (uint32_t b = 0; b < blocks; ++b) {
        sync.next[b].value.store(bandCursor_[b]);
        sync.seam[b].value.store(bandKey_[b]);
    }
    // Waits until a block has done at least rows; false when the slice ends meanwhile.
    auto reached = [&](std::atomic<uint32_t>& done, uint32_t rows) {
        for (uint32_t spins = 0; done.load(std::memory_order_acquire) < rows; ++spins) {
            if (sync.stop.load(std::memory_order_relaxed)) return false;
            if (spins < kSpins)
                Pause();
            else
                std::this_thread::yield();
        }
        return true;
    };
    OnBands(sync, [&](uint32_t b) {
        if (b >= blocks) return;
        uint32_t first = uint32_t(uint64_t(width) * b / blocks);
        uint32_t last = uint32_t(uint64_t(width) * (b + 1) / blocks);
        bool begun = false;
        uint32_t left = 0;
        uint32_t forward = bandCursor_[b], backward = bandKey_[b];
        while (backward < height && !SliceOver(sync, begun, left, kRowStride)) {
            if (forward < height) {
                if ((b > 0 && !reached(sync.next[b - 1].value, forward + 1)) ||
                    (b + 1 < blocks && !reached(sync.next[b + 1].value, forward)))
                    break;
                sweep.ForwardSpan(forward, first, last);
                sync.next[b].value.store(++forward, std::memory_order_release);
            } else {
                if ((b + 1 < blocks && !reached(sync.seam[b + 1].value, backward + 1)) ||
                    (b > 0 && !reached(sync.seam[b - 1].value, backward)))
                    break;
                uint32_t y = height - 1 - backward;
                sweep.BackwardSpan(y, first, last, distance.Row(int(y)));
                sync.seam[b].value.store(++backward, std::memory_order_release);
            }
        }
        bandCursor_[b] = forward;
        bandKey_[b] = backward;
    });
    uint64_t done = 0;
    for (uint32_t b = 0; b < blocks; ++b) done += bandCursor_[b] + bandKey_[b];
    itemCursor = int32_t(done / blocks);
    if (done == uint64_t(2) * height * blocks) stages |= kDistance;
}
