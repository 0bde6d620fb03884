#include "fill/segment_graph.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>

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

}  // namespace

mcvSegmentGraph::mcvSegmentGraph() = default;
mcvSegmentGraph::~mcvSegmentGraph() = default;

int mcvSegmentGraph::StartSegmentation(mtxImage& picture) {
    k = 300.0f;
    work.Free();
    int ok = 1;
    outOfMemory = 0;
    if (uint64_t(std::max(picture.width, 0)) * uint64_t(std::max(picture.height, 0)) > kMaxPixels) {
        ok = 0;
    } else if (!work.Assign(picture)) {
        work.Free();
        ok = 0;
        outOfMemory = 1;
    }
    try {
        work.Blur(0.8f);
    } catch (const std::bad_alloc&) {
        work.Free();
        ok = 0;
        outOfMemory = 1;
    }
    width = uint32_t(std::max(work.width, 0));
    height = uint32_t(std::max(work.height, 0));
    if (work.IsEmpty()) width = height = 0;
    pixelCount = width * height;
    minSize = 5;
    stages = 0;
    groups.clear();
    regions.clear();
    nodes.reset();
    edges_.Release();
    links_.reset();
    thresholds_.reset();
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
    ReleaseWork();
    groups.clear();
    groups.shrink_to_fit();
    regions.clear();
    regions.shrink_to_fit();
    nodes.reset();
    distance.Free();
    distanceStore_.reset();
    width = height = pixelCount = 0;
    components = edgeCount = cursorX = cursorY = edgeCursor = 0;
    itemCursor = 0;
    sortCursor_ = setupCursor_ = 0;
    stages = kAllStages;
    outOfMemory = 1;
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
    thresholds_.reset();
    work.Free();
}

// Stage 1: counts every edge of the grid by weight, pixel by pixel.
void mcvSegmentGraph::BuildEdges() {
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

// join of two roots: the absorbed root hangs from the last member of the absorbing list, and the
// absorbed list continues the absorbing one, so walking next from a root visits its whole region.
// Returns the absorbing root.
inline uint32_t mcvSegmentGraph::Join(uint32_t a, uint32_t b) {
    SegmentNode* n = nodes.get();
    components -= 1;
    // While the merges run, a root's parent field holds the last member of its list (its real
    // parent link is in links_), so appending needs no walk.
    if (n[a].rank > n[b].rank) {
        uint32_t t = n[a].parent;
        links_[b] = t;
        n[t].next = b;
        n[a].parent = n[b].parent;
        n[a].size += n[b].size;
        return a;
    }
    uint32_t t = n[b].parent;
    links_[a] = t;
    n[t].next = a;
    n[b].parent = n[a].parent;
    n[b].size += n[a].size;
    if (n[a].rank == n[b].rank) n[b].rank += 1;
    return b;
}

// join, except that the absorbed root links to the absorbing root. Returns the joined set's root.
inline uint32_t mcvSegmentGraph::JoinToRoot(uint32_t a, uint32_t b) {
    uint32_t root = Join(a, b);
    links_[root == a ? b : a] = root;
    return root;
}

// Stage 3: the segmentation merge over the sorted edges.
void mcvSegmentGraph::MergeRegions() {
    // The per-pixel arrays are set up in slices too: at tens of megapixels that alone takes
    // longer than a slice.
    if (!nodes) {
        nodes.allocate(pixelCount);
        links_.allocate(pixelCount);
        thresholds_.allocate(pixelCount);
        components = pixelCount;
        setupCursor_ = 0;
    }
    while (setupCursor_ < pixelCount) {
        uint32_t allowed = Allowance(kPixelStride);
        if (!allowed) return;
        uint32_t end = setupCursor_ + std::min(allowed, pixelCount - setupCursor_);
        for (uint32_t p = setupCursor_; p < end; ++p) {
            nodes[p] = {p, p, 0, 1};
            links_[p] = p;
            thresholds_[p] = k;
        }
        setupCursor_ = end;
    }
    const uint32_t* list = edges_.Edges();
    const uint32_t* up = links_.get();
    const SegmentNode* n = nodes.get();
    float* thresholds = thresholds_.get();
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
                if (w <= thresholds[a] && w <= thresholds[b] && n[a].size < kSizeCap &&
                    n[b].size < kSizeCap) {
                    a = JoinToRoot(a, b);
                    thresholds[a] = w + k / float(n[a].size);
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
    // The merges' per-pixel buffers are free now and have the size stage 8 needs: the links
    // become its fixed-point work area, the thresholds the distance field. Reusing them spares
    // the system handing out (and zeroing) fresh pages.
    distanceStore_ = std::move(thresholds_);
    std::fill_n(distanceStore_.get(), pixelCount, 0.0f);
    distance.Attach(distanceStore_.get(), int(width), int(height), int(width * sizeof(float)));
    stages |= kGrouped;
}

// Stage 8: the distance of every pixel to the border of its colour group, one forward and one
// backward sweep over the label image, row by row.
void mcvSegmentGraph::MeasureDistances() {
    // The links are 32-bit words like the sweep's fixed-point values.
    int32_t* scratch = reinterpret_cast<int32_t*>(links_.get());
    mcvLabelDistance sweep(work.data, work.pitch, scratch, width, height, ChamferWeights());
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
