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
#include "image/distance_transform.h"

namespace {

// Budgets below this many ticks (a fraction of a millisecond) are for callers that want the
// clock read before every single unit; above it, units are cheap enough (well under a
// microsecond each) that reading the clock once per stride of them keeps every slice within a
// few microseconds of its budget while the reads themselves cost nothing measurable.
constexpr uint64_t kFineBudget = 1000000;
constexpr uint32_t kPixelStride = 4096;
constexpr uint32_t kEdgeStride = 4096;
constexpr uint32_t kRegionStride = 16;
constexpr uint32_t kRowStride = 1;
// How many edges ahead of the one being merged the links of its successors are fetched.
constexpr uint32_t kLookAhead = 48;

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
    bandSeam_.assign(bands_, 0);
    bandDone_.assign(bands_, 0);
    spans_.reset();
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
    spans_.reset();
    distance.Free();
    distanceStore_.reset();
    width = height = pixelCount = 0;
    components = edgeCount = cursorX = cursorY = edgeCursor = 0;
    itemCursor = 0;
    sortCursor_ = setupCursor_ = 0;
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
    } else if (!(stages & kMerged) || !(stages & kSmallMerged)) {
        if (edgeCount) f = double(edgeCursor) / edgeCount;
    } else if (!(stages & kRegionsListed)) {
    } else if (!(stages & kStatistics)) {
        if (!regions.empty()) f = double(itemCursor) / double(regions.size());
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

// find: the root of x's set; only x itself is relinked to the root.
inline uint32_t mcvSegmentGraph::Find(uint32_t x) {
    uint32_t* up = links_.get();
    uint32_t r = x;
    while (up[r] != r) r = up[r];
    if (up[x] != r) up[x] = r;
    return r;
}

// Stage 3 uses its parent links only to find roots. Which node is a set's root, and its rank,
// size and member list, follow from the joins alone; and stage 4 rewrites the parent link of
// every node (each pixel ends some edge, and stage 4 finds from both ends of every edge, leaving
// exactly the links its own find and join define) before anything else reads them. So stage 3
// compresses whole paths and hangs an absorbed root straight from the absorbing one, which keeps
// its finds short; the links after stage 4 are the same as with the plain find and join.
inline uint32_t mcvSegmentGraph::FindCompressing(uint32_t x) {
    uint32_t* up = links_.get();
    uint32_t r = x;
    while (up[r] != r) r = up[r];
    while (up[x] != r) {
        uint32_t next = up[x];
        up[x] = r;
        x = next;
    }
    return r;
}

inline uint32_t mcvSegmentGraph::FindShared(uint32_t x) {
    uint32_t* up = links_.get();
    uint32_t r = x;
    for (uint32_t u; (u = Load(up[r])) != r;) r = u;
    if (Load(up[x]) != r) Store(up[x], r);
    return r;
}

inline uint32_t mcvSegmentGraph::FindCompressingShared(uint32_t x) {
    uint32_t* up = links_.get();
    uint32_t r = x;
    for (uint32_t u; (u = Load(up[r])) != r;) r = u;
    for (uint32_t u; (u = Load(up[x])) != r;) {
        Store(up[x], r);
        x = u;
    }
    return r;
}

// Links every node on the path from x to its root r straight to r.
inline void mcvSegmentGraph::Compress(uint32_t x, uint32_t r) {
    uint32_t* up = links_.get();
    for (uint32_t u; (u = Load(up[x])) != r;) {
        Store(up[x], r);
        x = u;
    }
}

// The root of x's set, read without writing: what a band reads of a region another band may be
// changing.
inline uint32_t mcvSegmentGraph::RootOf(uint32_t x) const {
    uint32_t* up = links_.get();
    for (uint32_t u; (u = Load(up[x])) != x;) x = u;
    return x;
}

inline bool mcvSegmentGraph::Spans(uint32_t root) const {
    return std::atomic_ref<uint8_t>(spans_[root]).load(std::memory_order_relaxed);
}

// Stage 4: whether another band can change nothing about the root's region that this band's
// finds and joins depend on: a region of this band alone, or a spanning region whose root keeps
// its place for good. Stage 4 only joins a region below the minimum size (for 5: at most four
// pixels, rank at most 2) with another, and union by rank never hangs a root of higher rank from
// such a region: that root stays the root, and its region (of 2^rank pixels or more, not small)
// takes no join but with a small region.
inline bool mcvSegmentGraph::Settled(uint32_t root) const {
    return !Spans(root) || (Load(nodes[root].rank) & kRankMask) >=
                               uint32_t(std::bit_width(std::max(minSize, 2u) - 1));
}

// join of two roots: the absorbed root hangs from the last member of the absorbing list, and the
// absorbed list continues the absorbing one, so walking next from a root visits its whole region.
// Returns the absorbing root. kShared: other bands may be reading the links and sizes; the joined
// set spans bands when either set did or the edge is a seam edge, and the mark is made before the
// links that lead other bands to the new root.
template <bool kShared>
inline uint32_t mcvSegmentGraph::Join(uint32_t a, uint32_t b, bool seam) {
    SegmentNode* n = nodes.get();
    if constexpr (!kShared) components -= 1;
    auto link = [&](uint32_t from, uint32_t to) {
        if constexpr (kShared)
            Store(links_[from], to);
        else
            links_[from] = to;
    };
    auto grow = [&](uint32_t root, uint32_t other) {
        if constexpr (kShared) {
            if (seam || Spans(root) || Spans(other))
                std::atomic_ref<uint8_t>(spans_[root]).store(1, std::memory_order_relaxed);
            Store(n[root].size, n[root].size + n[other].size);
        } else {
            n[root].size += n[other].size;
        }
    };
    // While the merges run, a root's parent field holds the last member of its list (its real
    // parent link is in links_), so appending needs no walk.
    if ((n[a].rank & kRankMask) > (n[b].rank & kRankMask)) {
        uint32_t t = n[a].parent;
        grow(a, b);
        link(b, t);
        n[t].next = b;
        n[a].parent = n[b].parent;
        return a;
    }
    uint32_t t = n[b].parent;
    grow(b, a);
    link(a, t);
    n[t].next = a;
    n[b].parent = n[a].parent;
    if ((n[a].rank & kRankMask) == (n[b].rank & kRankMask)) {
        if constexpr (kShared)
            Store(n[b].rank, n[b].rank + 1);
        else
            n[b].rank += 1;
    }
    return b;
}

// join, except that the absorbed root links to the absorbing root. Returns the joined set's root.
template <bool kShared>
inline uint32_t mcvSegmentGraph::JoinToRoot(uint32_t a, uint32_t b, bool seam) {
    uint32_t root = Join<kShared>(a, b, seam);
    if constexpr (kShared)
        Store(links_[root == a ? b : a], root);
    else
        links_[root == a ? b : a] = root;
    return root;
}

// Every pixel its own set, before the merge.
void mcvSegmentGraph::SetUpNodes(uint32_t first, uint32_t count) {
    for (uint32_t p = first; p < first + count; ++p) {
        nodes[p] = {p, p, 0, 1};
        links_[p] = p;
    }
}

// Stage 3: the segmentation merge over the sorted edges.
void mcvSegmentGraph::MergeRegions() {
    // The per-pixel arrays are set up in slices too: at tens of megapixels that alone takes
    // longer than a slice.
    if (!nodes) {
        nodes.allocate(pixelCount);
        links_.allocate(pixelCount);
        if (bands_ > 1 && bandMerges) spans_.allocate(pixelCount);
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
    if (bands_ > 1 && bandMerges) return MergeInBands<false>();
    const uint32_t* list = edges_.Edges();
    const uint32_t* up = links_.get();
    const SegmentNode* n = nodes.get();
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
                // of later edges while this one is merged.
                uint32_t ahead = list[std::min(i + kLookAhead, edgeCount - 1)];
                __builtin_prefetch(&up[edges_.From(ahead)]);
                __builtin_prefetch(&up[edges_.To(ahead)]);
                uint32_t id = list[i];
                uint32_t a = edges_.From(id), b = edges_.To(id);
                // Neighbours hanging from the same node share their root: nothing to do.
                if (up[a] == up[b]) continue;
                a = FindCompressing(a);
                b = FindCompressing(b);
                if (a == b) continue;
                if (n[a].size < kSizeCap && n[b].size < kSizeCap && w <= Threshold(a) &&
                    w <= Threshold(b)) {
                    a = JoinToRoot(a, b);
                    SetThresholdKey(a, key);
                }
            }
        }
    }
    edgeCursor = i;
    if (i >= edgeCount) {
        stages |= kMerged;
        edgeCursor = 0;
    }
}

// Stage 4: every region still below the minimum size joins its neighbour across the lightest
// edge that leaves it.
void mcvSegmentGraph::MergeSmallRegions() {
    if (bands_ > 1 && bandMerges) return MergeInBands<true>();
    const uint32_t* list = edges_.Edges();
    const uint32_t* up = links_.get();
    SegmentNode* n = nodes.get();
    uint32_t i = edgeCursor;
    while (i < edgeCount) {
        uint32_t allowed = Allowance(kEdgeStride);
        if (!allowed) break;
        uint32_t end = i + std::min(allowed, edgeCount - i);
        for (; i < end; ++i) {
            uint32_t id = list[i];
            uint32_t a = edges_.From(id), b = edges_.To(id);
            // Both ends hang straight from the same root: find would change nothing.
            uint32_t p = up[a];
            if (p == up[b] && up[p] == p) continue;
            a = Find(a);
            b = Find(b);
            if (a != b && (n[a].size < minSize || n[b].size < minSize)) Join(a, b);
        }
    }
    edgeCursor = i;
    if (i >= edgeCount) {
        stages |= kSmallMerged;
        edges_.Release();
        for (uint32_t p = 0; p < pixelCount; ++p) n[p].parent = up[p];
    }
}

// Stage 5: one region per root, in descending order of root index.
void mcvSegmentGraph::ListRegions() {
    regions.reserve(components);
    for (uint32_t i = pixelCount; i-- > 0;) {
        if (nodes[i].parent != i) continue;
        SegmentRegion& r = regions.emplace_back();
        r.root = i;
    }
    stages |= kRegionsListed;
}

// Stage 6: size, bounds and mean colour of every region, region by region.
void mcvSegmentGraph::MeasureRegions() {
    if (bands_ > 1) return MeasureRegionsInBands();
    uint32_t count = uint32_t(regions.size());
    uint32_t i = uint32_t(itemCursor);
    while (i < count) {
        uint32_t allowed = Allowance(kRegionStride);
        if (!allowed) break;
        uint32_t end = i + std::min(allowed, count - i);
        MeasureRegionBatch(i, end - i);
        i = end;
    }
    itemCursor = int32_t(i);
    if (i >= count) {
        stages |= kStatistics;
        itemCursor = 0;
    }
}

// Walks the member lists of regions first..first+count-1 side by side: each step of a list waits
// for a scattered read, and independent lists let those reads overlap.
void mcvSegmentGraph::MeasureRegionBatch(uint32_t first, uint32_t count) {
    constexpr uint32_t kDone = 0xFFFFFFFF;
    SegmentNode* n = nodes.get();
    const mtxColor* pixels = work.data;  // a copy made by Assign: rows are width pixels apart
    RegionSums sums[kRegionStride];
    uint32_t at[kRegionStride];
    for (uint32_t j = 0; j < count; ++j) at[j] = regions[first + j].root;
    for (uint32_t active = count; active;) {
        for (uint32_t j = 0; j < count; ++j) {
            uint32_t m = at[j];
            if (m == kDone) continue;
            RegionSums& s = sums[j];
            n[m].rank = first + j;
            ++s.count;
            int32_t x = int32_t(m % width), y = int32_t(m / width);
            s.minX = std::min(s.minX, x);
            s.maxX = std::max(s.maxX, x);
            s.minY = std::min(s.minY, y);
            s.maxY = std::max(s.maxY, y);
            mtxColor c = pixels[m];
            if (mtxAlpha(c)) {
                ++s.opaque;
                s.sum[0] += mtxRed(c);
                s.sum[1] += mtxGreen(c);
                s.sum[2] += mtxBlue(c);
            }
            uint32_t next = n[m].next;
            at[j] = next == m ? kDone : next;
            active -= next == m;
        }
    }
    for (uint32_t j = 0; j < count; ++j) FinishRegion(regions[first + j], sums[j]);
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
    BandSync sync;
    std::vector<uint32_t> counted(bands_);
    OnBands(sync, [&](uint32_t b) {
        uint32_t p = bandCursor_[b], last = edges_.BandFirstPixel(b + 1);
        bool begun = false;
        uint32_t left = 0;
        while (p < last && !SliceOver(sync, begun, left, 1)) {
            uint32_t end = p + std::min(budget < kFineBudget ? 1 : kPixelStride, last - p);
            counted[b] += edges_.Count(p, end, b);
            p = end;
        }
        bandCursor_[b] = p;
    });
    uint32_t done = 0;
    for (uint32_t b = 0; b < bands_; ++b) {
        edgeCount += counted[b];
        done += bandCursor_[b] - edges_.BandFirstPixel(b);
    }
    cursorY = done / width;
    cursorX = done % width;
    if (done < pixelCount) return;
    stages |= kEdgesBuilt;
    for (uint32_t b = 0; b < bands_; ++b) bandCursor_[b] = edges_.BandFirstPixel(b);
}

// Stage 2 in bands: each band places its own edges, in its share of every bucket.
void mcvSegmentGraph::SortEdgesInBands() {
    if (!edges_.Edges()) edges_.Prepare(edgeCount);
    BandSync sync;
    OnBands(sync, [&](uint32_t b) {
        uint32_t p = bandCursor_[b], last = edges_.BandFirstPixel(b + 1);
        bool begun = false;
        uint32_t left = 0;
        while (p < last && !SliceOver(sync, begun, left, 1)) {
            uint32_t end = p + std::min(budget < kFineBudget ? 1 : kPixelStride, last - p);
            edges_.Scatter(p, end, b);
            p = end;
        }
        bandCursor_[b] = p;
    });
    for (uint32_t b = 0; b < bands_; ++b)
        if (bandCursor_[b] < edges_.BandFirstPixel(b + 1)) return;
    edges_.FinishSeams();
    StartBandMerge();
    stages |= kEdgesSorted;
}

void mcvSegmentGraph::StartBandMerge() {
    std::fill(bandCursor_.begin(), bandCursor_.end(), 0u);
    std::fill(bandKey_.begin(), bandKey_.end(), 0u);
    std::fill(bandSeam_.begin(), bandSeam_.end(), 0u);
    std::fill(bandDone_.begin(), bandDone_.end(), 0u);
}

// Waits until every other band's next edge (seams: its next seam edge) lies after position, and
// returns the lowest of those positions; 0 when the slice ends meanwhile.
uint32_t mcvSegmentGraph::WaitForBands(uint32_t band, uint32_t position, BandSync& sync,
                                       bool seams) const {
    uint32_t lowest = kNone;
    for (uint32_t t = 0; t < bands_; ++t) {
        if (t == band) continue;
        std::atomic<uint32_t>& v = (seams ? sync.seam : sync.next)[t].value;
        uint32_t x;
        // The other band is usually a few microseconds away: spin a little before giving the
        // processor up, which costs a system call each time.
        for (uint32_t spins = 0; (x = v.load(std::memory_order_acquire)) <= position; ++spins) {
            if (sync.stop.load(std::memory_order_relaxed)) return 0;
            if (spins < kSpins)
                Pause();
            else
                std::this_thread::yield();
        }
        lowest = std::min(lowest, x);
    }
    return lowest;
}

// One edge of stage 3 (kSmall false) or 4 (true), exactly as the one-band loops take it. The
// caller has made sure that no other band touches the edge's regions meanwhile. Returns 1 when
// the edge joined two regions.
template <bool kSmall>
uint32_t mcvSegmentGraph::MergeEdge(uint32_t a, uint32_t b, uint32_t key, bool seam) {
    SegmentNode* n = nodes.get();
    if constexpr (kSmall) {
        uint32_t* up = links_.get();
        uint32_t p = Load(up[a]);
        if (p == Load(up[b]) && Load(up[p]) == p) return 0;
        a = FindShared(a);
        b = FindShared(b);
        if (a == b || (Load(n[a].size) >= minSize && Load(n[b].size) >= minSize)) return 0;
        Join<true>(a, b, seam);
        return 1;
    } else {
        a = FindCompressingShared(a);
        b = FindCompressingShared(b);
        return a == b ? 0 : MergeRoots(a, b, key, seam);
    }
}

// Stage 3's test and join of two different roots, for the bands.
uint32_t mcvSegmentGraph::MergeRoots(uint32_t a, uint32_t b, uint32_t key, bool seam) {
    const SegmentNode* n = nodes.get();
    float w = std::sqrt(float(key));
    if (n[a].size >= kSizeCap || n[b].size >= kSizeCap || w > Threshold(a) || w > Threshold(b))
        return 0;
    a = JoinToRoot<true>(a, b, seam);
    SetThresholdKey(a, key);
    return 1;
}

// Stages 3 and 4 in bands. Every band takes its own edges in the one sorted order (its share of
// each bucket), so the merges must happen as if the whole list were taken in order. A region
// whose pixels all lie in one band is only ever touched by that band, and the order of merges in
// different regions does not matter: such edges go ahead at once. Regions join across bands only
// over seam edges; a band takes its seam edge once every other band has taken all edges before
// it (and waits there), and marks the joined region as spanning. Any edge that reaches a spanning
// region waits likewise until every other band has passed it, unless nothing another band could
// do before it changes its outcome (stage 3: the two ends already in one region, or a region at
// the size cap, which takes no more joins; stage 4: see Settled). Stage 3's parent links only lead
// to roots (stage 4 rewrites every one), so which paths are compressed does not matter.
template <bool kSmall>
uint32_t mcvSegmentGraph::MergeBand(uint32_t u, BandSync& sync) {
    const uint32_t* list = edges_.Edges();
    const uint32_t* seams = edges_.Seams(u);
    const uint32_t seamCount = edges_.SeamCount(u);
    uint32_t* up = links_.get();
    SegmentNode* n = nodes.get();
    uint32_t s = bandSeam_[u];
    uint32_t nextSeam = s < seamCount ? seams[s] : kNone;
    uint32_t key = bandKey_[u], i = bandCursor_[u];
    // Every other band's next edge and next seam edge lie at or after these.
    uint32_t othersBelow = 0, seamsBelow = 0;
    uint32_t joins = 0, left = 0;
    uint64_t done = 0;
    bool begun = false, stopped = false;
    auto Wait = [&](bool seamsOnly) {
        sync.next[u].value.store(i, std::memory_order_release);
        return WaitForBands(u, i, sync, seamsOnly);
    };
    for (; key < mcvEdgeOrder::kKeys && !stopped; key += !stopped) {
        uint32_t end = edges_.BandEnd(u, key);
        i = std::max(i, edges_.BandBegin(u, key));
        for (; i < end; ++i, ++done) {
            if (SliceOver(sync, begun, left, kEdgeStride)) {
                stopped = true;
                break;
            }
            // Other bands poll this band's position while they wait: publishing it at every edge
            // would pull its cache line away from this band all the time. A position published
            // late only holds them up a little; before it waits itself, a band publishes its own.
            if (!(i & (kPublishStride - 1))) sync.next[u].value.store(i, std::memory_order_release);
            // As in the one-band merge: fetch the links of later edges meanwhile.
            uint32_t ahead = list[std::min(i + kLookAhead, end - 1)];
            __builtin_prefetch(&up[edges_.From(ahead)]);
            __builtin_prefetch(&up[edges_.To(ahead)]);
            uint32_t id = list[i];
            uint32_t a = edges_.From(id), b = edges_.To(id);
            if (i == nextSeam) {
                if (i >= othersBelow && !(othersBelow = Wait(false))) {
                    stopped = true;
                    break;
                }
                joins += MergeEdge<kSmall>(a, b, key, true);
                nextSeam = ++s < seamCount ? seams[s] : kNone;
                sync.seam[u].value.store(nextSeam, std::memory_order_release);
                continue;
            }
            // Another band's seam edge before this one could join this band's regions.
            if (i >= seamsBelow && !(seamsBelow = Wait(true))) {
                stopped = true;
                break;
            }
            bool shared;
            if constexpr (kSmall) {
                uint32_t p = Load(up[a]);
                if (p == Load(up[b]) && Load(up[p]) == p && Settled(p)) continue;
                uint32_t ra = RootOf(a), rb = RootOf(b);
                shared = !Settled(ra) || !Settled(rb);
                // A join with a spanning region changes its member list: only in order.
                if (!shared && ra != rb && (Spans(ra) || Spans(rb)))
                    shared = Load(n[ra].size) < minSize || Load(n[rb].size) < minSize;
            } else {
                if (Load(up[a]) == Load(up[b])) continue;
                uint32_t ra = RootOf(a), rb = RootOf(b);
                shared = Spans(ra) || Spans(rb);
                if (shared &&
                    (ra == rb || Load(n[ra].size) >= kSizeCap || Load(n[rb].size) >= kSizeCap))
                    continue;
                if (!shared) {
                    // This band's alone: compress towards the roots just found, and merge.
                    Compress(a, ra);
                    Compress(b, rb);
                    if (ra != rb) joins += MergeRoots(ra, rb, key, false);
                    continue;
                }
            }
            if (shared && i >= othersBelow && !(othersBelow = Wait(false))) {
                stopped = true;
                break;
            }
            joins += MergeEdge<kSmall>(a, b, key, false);
        }
    }
    if (!stopped) {
        sync.next[u].value.store(kNone, std::memory_order_release);
        sync.seam[u].value.store(kNone, std::memory_order_release);
    }
    bandKey_[u] = key;
    bandCursor_[u] = i;
    bandSeam_[u] = s;
    bandDone_[u] += done;
    return joins;
}

template <bool kSmall>
void mcvSegmentGraph::MergeInBands() {
    BandSync sync;
    sync.next.reset(new BandPosition[bands_]);
    sync.seam.reset(new BandPosition[bands_]);
    for (uint32_t t = 0; t < bands_; ++t) {
        // Each band's true next edge, so the band furthest behind never waits.
        uint32_t key = bandKey_[t], i = bandCursor_[t], next = kNone;
        for (; key < mcvEdgeOrder::kKeys && next == kNone; ++key) {
            i = std::max(i, edges_.BandBegin(t, key));
            if (i < edges_.BandEnd(t, key)) next = i;
        }
        sync.next[t].value.store(next);
        uint32_t s = bandSeam_[t];
        sync.seam[t].value.store(s < edges_.SeamCount(t) ? edges_.Seams(t)[s] : kNone);
    }
    std::vector<uint32_t> joins(bands_);
    OnBands(sync, [&](uint32_t b) { joins[b] = MergeBand<kSmall>(b, sync); });
    uint64_t done = 0;
    bool finished = true;
    for (uint32_t t = 0; t < bands_; ++t) {
        components -= joins[t];
        done += bandDone_[t];
        finished = finished && bandKey_[t] == mcvEdgeOrder::kKeys;
    }
    edgeCursor = uint32_t(std::min<uint64_t>(done, edgeCount));
    if (!finished) return;
    edgeCursor = 0;
    StartBandMerge();
    if constexpr (!kSmall) {
        stages |= kMerged;
    } else {
        stages |= kSmallMerged;
        edges_.Release();
        spans_.reset();
        SegmentNode* n = nodes.get();
        for (uint32_t p = 0; p < pixelCount; ++p) n[p].parent = links_[p];
    }
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

// Stage 6 in bands: the threads take batches of regions in turn.
void mcvSegmentGraph::MeasureRegionsInBands() {
    uint32_t count = uint32_t(regions.size());
    itemCursor =
        int32_t(InChunks(uint32_t(itemCursor), count, kRegionStride,
                         [&](uint32_t first, uint32_t n) { MeasureRegionBatch(first, n); }));
    if (uint32_t(itemCursor) < count) return;
    stages |= kStatistics;
    itemCursor = 0;
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
