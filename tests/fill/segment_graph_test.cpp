#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <random>

#include "fill/segment_graph.h"
#include "image/io/image_load.h"
#include "image/resample.h"
#include "tests/fill/segment_reference.h"

namespace {

namespace ref = segment_reference;

using Picture = std::unique_ptr<mtxImage>;

Picture MakeImage(int w, int h, const std::function<mtxColor(int, int)>& colour) {
    auto image = std::make_unique<mtxImage>(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image->At(x, y) = colour(x, y);
    return image;
}

// Something like a photograph in small: smooth shading, a few shapes, some noise.
Picture Scene(int w, int h, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::array<int, 6>> disks;  // x, y, radius, r, g, b
    for (int i = 0; i < 6; ++i)
        disks.push_back({int(random() % w), int(random() % h), int(2 + random() % (w / 3 + 2)),
                         int(random() % 256), int(random() % 256), int(random() % 256)});
    return MakeImage(w, h, [&](int x, int y) {
        int r = 40 + x * 150 / w, g = 90 + y * 100 / h, b = 120;
        for (auto& d : disks)
            if ((x - d[0]) * (x - d[0]) + (y - d[1]) * (y - d[1]) < d[2] * d[2])
                r = d[3], g = d[4], b = d[5];
        auto noisy = [&](int v) { return std::clamp(v + int(random() % 13) - 6, 0, 255); };
        return mtxArgb(255, noisy(r), noisy(g), noisy(b));
    });
}

// The smoothed picture a run works on.
Picture Smoothed(const Picture& picture) {
    auto work = std::make_unique<mtxImage>();
    work->Assign(*picture);
    work->Blur(0.8f);
    return work;
}

struct RunStats {
    int calls = 0;
};

// Runs Advance to the end, checking after every call that the percentage never falls and stays
// below 100 until the work is reported done.
RunStats RunToEnd(mcvSegmentGraph& s, uint64_t budget) {
    s.budget = budget;
    RunStats run;
    uint32_t last = 0;
    while (!s.Advance()) {
        ++run.calls;
        EXPECT_GE(s.status, last);
        EXPECT_LT(s.status, 100u);
        last = s.status;
        if (run.calls > 100000000) {
            ADD_FAILURE() << "no end";
            break;
        }
    }
    return run;
}

int GroupIndex(const mcvSegmentGraph& s, const ColorGroup* g) {
    for (size_t i = 0; i < s.groups.size(); ++i)
        if (s.groups[i].get() == g) return int(i);
    return -1;
}

// Everything the run leaves for the engine must equal the literal analysis.
void ExpectEqualsReference(const mcvSegmentGraph& s, const ref::Result& r) {
    ASSERT_EQ(s.regions.size(), r.regions.size());
    EXPECT_EQ(s.components, r.regions.size());
    for (uint32_t i = 0; i < s.pixelCount; ++i) {
        const SegmentNode& n = s.nodes[i];
        const ref::Node& e = r.nodes[i];
        ASSERT_EQ(n.parent, e.parent) << "node " << i;
        ASSERT_EQ(n.next, e.next) << "node " << i;
        ASSERT_EQ(n.rank, e.rank) << "node " << i;
        ASSERT_EQ(n.size, e.size) << "node " << i;
    }
    for (size_t i = 0; i < r.regions.size(); ++i) {
        const SegmentRegion& g = s.regions[i];
        const ref::Region& e = r.regions[i];
        ASSERT_EQ(g.root, e.root) << "region " << i;
        EXPECT_EQ(g.pixels, e.pixels) << "region " << i;
        EXPECT_EQ(0, std::memcmp(g.bounds, e.bounds, sizeof g.bounds)) << "region " << i;
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(g.key[c], e.key[c]) << "region " << i << " channel " << c;
            EXPECT_EQ(g.meanColor[c], e.meanColor[c]) << "region " << i << " channel " << c;
        }
        EXPECT_EQ(g.sample, -1);
        EXPECT_EQ(GroupIndex(s, g.group), e.group) << "region " << i;
    }
    ASSERT_EQ(s.groups.size(), r.groups.size());
    for (size_t g = 0; g < r.groups.size(); ++g) EXPECT_EQ(s.groups[g]->members, r.groups[g]);
    ASSERT_EQ(s.distance.width, int(s.width));
    ASSERT_EQ(s.distance.height, int(s.height));
    for (uint32_t y = 0; y < s.height; ++y)
        for (uint32_t x = 0; x < s.width; ++x)
            ASSERT_EQ(s.distance.At(int(x), int(y)), r.distance[y * s.width + x])
                << "pixel " << x << "," << y;
}

// Two runs on one picture left the same result, node for node.
void ExpectSameResult(const mcvSegmentGraph& whole, const mcvSegmentGraph& other) {
    ASSERT_EQ(whole.pixelCount, other.pixelCount);
    for (uint32_t i = 0; i < whole.pixelCount; ++i)
        ASSERT_EQ(0, std::memcmp(&whole.nodes[i], &other.nodes[i], sizeof(SegmentNode)));
    ASSERT_EQ(whole.regions.size(), other.regions.size());
    for (size_t i = 0; i < whole.regions.size(); ++i) {
        const SegmentRegion &a = whole.regions[i], &b = other.regions[i];
        EXPECT_EQ(a.root, b.root);
        EXPECT_EQ(a.pixels, b.pixels);
        EXPECT_EQ(0, std::memcmp(a.key, b.key, sizeof a.key));
        EXPECT_EQ(0, std::memcmp(a.meanColor, b.meanColor, sizeof a.meanColor));
        EXPECT_EQ(0, std::memcmp(a.bounds, b.bounds, sizeof a.bounds));
        EXPECT_EQ(GroupIndex(whole, a.group), GroupIndex(other, b.group));
    }
    ASSERT_EQ(whole.groups.size(), other.groups.size());
    for (size_t g = 0; g < whole.groups.size(); ++g)
        EXPECT_EQ(whole.groups[g]->members, other.groups[g]->members);
    for (int y = 0; y < int(whole.height); ++y)
        for (int x = 0; x < int(whole.width); ++x)
            ASSERT_EQ(whole.distance.At(x, y), other.distance.At(x, y));
}

void ExpectMatchesReference(const Picture& picture, uint64_t budget, uint32_t threads = 0,
                            bool bandMerges = false) {
    mcvSegmentGraph s;
    s.threads = threads;
    s.bandMerges = bandMerges;
    ASSERT_EQ(s.StartSegmentation(*picture), 1);
    RunToEnd(s, budget);
    ref::Result r = ref::Segment(*Smoothed(picture));
    ExpectEqualsReference(s, r);
    // Without the nodes every pixel still finds its region.
    ASSERT_EQ(s.KeepRegionIndexOnly(), 1);
    EXPECT_FALSE(s.nodes);
    for (uint32_t i = 0; i < s.pixelCount; ++i) ASSERT_EQ(s.RegionIndex(i), r.nodes[i].rank);
}

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

TEST(SegmentGraph, MatchesLiteralAnalysisOnScenes) {
    ExpectMatchesReference(Scene(64, 48, 1), kUnlimited);
    ExpectMatchesReference(Scene(150, 97, 2), kUnlimited);
    ExpectMatchesReference(Scene(31, 200, 3), kUnlimited);
}

TEST(SegmentGraph, MatchesLiteralAnalysisOnAPictureOfPhotoSize) {
    // Large enough that every per-pixel array comes from whole pages.
    ExpectMatchesReference(Scene(640, 420, 4), kUnlimited);
}

TEST(SegmentGraph, MatchesLiteralAnalysisOnStripsAndTinyPictures) {
    for (auto [w, h] : {std::pair{1, 1},
                        {1, 2},
                        {2, 2},
                        {1, 4},
                        {4, 1},
                        {1, 57},
                        {57, 1},
                        {2, 40},
                        {40, 2},
                        {3, 3},
                        {5, 1}})
        ExpectMatchesReference(Scene(w, h, uint32_t(w * 100 + h)), kUnlimited);
}

TEST(SegmentGraph, MatchesLiteralAnalysisOnLargeUniformAreas) {
    // Regions stop growing at the cap, so flat areas of more than 10000 pixels split up.
    ExpectMatchesReference(
        MakeImage(230, 130, [](int x, int) { return x < 120 ? 0xFF406080u : 0xFF406090u; }),
        kUnlimited);
}

TEST(SegmentGraph, SameResultWhateverTheBudget) {
    Picture picture = Scene(41, 29, 7);
    mcvSegmentGraph whole, sliced;
    whole.StartSegmentation(*picture);
    sliced.StartSegmentation(*picture);
    RunStats one = RunToEnd(whole, kUnlimited);
    EXPECT_EQ(one.calls, 8);  // one call per stage
    // With no time at all every resumable stage does exactly one unit per call.
    sliced.budget = 0;
    uint32_t previousStages = 0, previousPosition = 0;
    int calls = 0;
    auto position = [&] {
        uint32_t st = sliced.stages;
        if (!(st & mcvSegmentGraph::kEdgesBuilt))
            return sliced.cursorY * sliced.width + sliced.cursorX;
        if (!(st & mcvSegmentGraph::kMerged) || !(st & mcvSegmentGraph::kSmallMerged))
            return sliced.edgeCursor;
        return uint32_t(sliced.itemCursor);
    };
    while (!sliced.Advance()) {
        ++calls;
        uint32_t st = sliced.stages;
        bool resumable =
            !(st & mcvSegmentGraph::kEdgesBuilt) ||
            ((st & mcvSegmentGraph::kEdgesSorted) &&
             !((st & mcvSegmentGraph::kMerged) && (st & mcvSegmentGraph::kSmallMerged))) ||
            ((st & mcvSegmentGraph::kRegionsListed) && !(st & mcvSegmentGraph::kStatistics)) ||
            ((st & mcvSegmentGraph::kGrouped) && !(st & mcvSegmentGraph::kDistance));
        // Stage 3 first sets up its per-pixel arrays, a pixel per call.
        bool allocating = st == (mcvSegmentGraph::kEdgesBuilt | mcvSegmentGraph::kEdgesSorted) &&
                          sliced.edgeCursor == 0;
        if (st == previousStages && resumable && !allocating) {
            ASSERT_EQ(position(), previousPosition + 1) << "stages " << st << " call " << calls;
        }
        previousStages = st;
        previousPosition = position();
    }
    EXPECT_GT(calls, 4 * 41 * 29);
    ExpectSameResult(whole, sliced);
}

TEST(SegmentGraph, ProgressRisesAndStaysBelowHundredOnAShortBudget) {
    Picture picture = Scene(120, 90, 11);
    mcvSegmentGraph s;
    s.StartSegmentation(*picture);
    EXPECT_EQ(s.status, 0u);
    // A budget of a few thousand ticks cuts every resumable stage into many slices.
    RunStats run = RunToEnd(s, 3000);
    EXPECT_GT(run.calls, 20);
    EXPECT_EQ(s.stages, uint32_t(mcvSegmentGraph::kAllStages));
}

TEST(SegmentGraph, UniformPictureSplitsAtTheCapIntoOneGroup) {
    Picture picture = MakeImage(200, 200, [](int, int) { return 0xFF336699u; });
    mcvSegmentGraph s;
    s.StartSegmentation(*picture);
    RunToEnd(s, kUnlimited);
    ASSERT_GE(s.regions.size(), 3u);
    uint32_t total = 0;
    for (const SegmentRegion& r : s.regions) {
        // No stage-3 merge takes a region of 10000 pixels or more, so none reaches 20000.
        EXPECT_LT(r.pixels, 20000u);
        EXPECT_GE(r.pixels, 5u);
        total += r.pixels;
        EXPECT_FLOAT_EQ(r.meanColor[0], 0x33 / 255.0f);
        EXPECT_FLOAT_EQ(r.meanColor[2], 0x99 / 255.0f);
    }
    EXPECT_EQ(total, 40000u);
    ASSERT_EQ(s.groups.size(), 1u);
    EXPECT_EQ(s.groups[0]->members.size(), s.regions.size());
    // One group touching the border everywhere has no source: every pixel is far away.
    const float far = float(0x3FFFFFFF) / 262144.0f;
    for (int y = 0; y < 200; y += 7) {
        for (int x = 0; x < 200; x += 7) ASSERT_EQ(s.distance.At(x, y), far);
    }
}

TEST(SegmentGraph, TwoFlatHalves) {
    Picture picture =
        MakeImage(60, 30, [](int x, int) { return x < 30 ? 0xFFE02010u : 0xFF1040D0u; });
    mcvSegmentGraph s;
    s.StartSegmentation(*picture);
    RunToEnd(s, kUnlimited);
    const SegmentRegion& left = s.RegionOf(0);
    const SegmentRegion& right = s.RegionOf(59);
    EXPECT_NE(&left, &right);
    EXPECT_NE(left.group, right.group);
    // Far from the seam the halves keep their own colour.
    EXPECT_EQ(&s.RegionOf(29 * 60), &left);
    EXPECT_EQ(&s.RegionOf(29 * 60 + 59), &right);
    EXPECT_FLOAT_EQ(left.meanColor[0] * 255.0f, 0xE0);
    EXPECT_EQ(left.key[0], 88 / 255.0f);  // Y of (224, 32, 16)
    // The picture's outer border is no source: the distance grows towards the seam only.
    for (int y = 0; y < 30; ++y) {
        EXPECT_GT(s.distance.At(0, y), s.distance.At(20, y));
        EXPECT_GT(s.distance.At(59, y), s.distance.At(40, y));
    }
    EXPECT_EQ(s.distance.At(0, 15), s.distance.At(0, 3));
}

TEST(SegmentGraph, CheckerboardOfSmallBlocksLeavesNoRegionBelowMinimum) {
    Picture picture = MakeImage(
        48, 36, [](int x, int y) { return ((x / 2 + y / 2) & 1) ? 0xFFFFFFFFu : 0xFF000000u; });
    mcvSegmentGraph s;
    s.StartSegmentation(*picture);
    RunToEnd(s, kUnlimited);
    for (const SegmentRegion& r : s.regions) EXPECT_GE(r.pixels, 5u);
    ExpectEqualsReference(s, ref::Segment(*Smoothed(picture)));
}

TEST(SegmentGraph, SmallRegionsMergeAlikeInSlicesOfOneUnit) {
    // Blocks of two pixels: many regions below the minimum size after the segmentation merge,
    // and every step of their merge cut at each unit.
    Picture picture = MakeImage(
        37, 23, [](int x, int y) { return ((x / 2 + y / 2) & 1) ? 0xFFF0F0F0u : 0xFF101010u; });
    mcvSegmentGraph s;
    s.StartSegmentation(*picture);
    RunToEnd(s, 0);
    ExpectEqualsReference(s, ref::Segment(*Smoothed(picture)));
}

TEST(SegmentGraph, GradientRegionsFollowTheRamp) {
    Picture picture = MakeImage(256, 12, [](int x, int) {
        uint32_t v = uint32_t(x);
        return 0xFF000000u | v << 16 | v << 8 | v;
    });
    mcvSegmentGraph s;
    s.StartSegmentation(*picture);
    RunToEnd(s, kUnlimited);
    // Every region is a band of columns, whatever it spans in rows.
    uint32_t covered = 0;
    for (const SegmentRegion& r : s.regions) covered += r.pixels;
    EXPECT_EQ(covered, 256u * 12u);
    for (int x = 1; x < 256; ++x)
        EXPECT_LE(s.RegionOf(uint32_t(x - 1)).meanColor[0], s.RegionOf(uint32_t(x)).meanColor[0]);
    ExpectEqualsReference(s, ref::Segment(*Smoothed(picture)));
}

TEST(SegmentGraph, SinglePixelAndFewerThanFivePixels) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {1, 3}, {4, 1}}) {
        Picture picture = Scene(w, h, 5);
        mcvSegmentGraph s;
        s.StartSegmentation(*picture);
        RunToEnd(s, kUnlimited);
        ASSERT_EQ(s.regions.size(), 1u) << w << "x" << h;
        EXPECT_EQ(s.regions[0].pixels, uint32_t(w * h));
        EXPECT_EQ(s.groups.size(), 1u);
        EXPECT_EQ(s.distance.At(0, 0), float(0x3FFFFFFF) / 262144.0f);
    }
}

TEST(SegmentGraph, TransparentRegionTakesBlacksKey) {
    Picture picture = MakeImage(30, 20, [](int x, int y) {
        return x < 15 ? mtxArgb(0, 200, 100 + y, 50) : mtxArgb(255, 30, 60, 200 + x / 4);
    });
    mcvSegmentGraph s;
    s.StartSegmentation(*picture);
    RunToEnd(s, kUnlimited);
    const SegmentRegion& clear = s.RegionOf(0);
    EXPECT_EQ(clear.meanColor[0], 0.0f);
    EXPECT_EQ(clear.meanColor[1], 0.0f);
    EXPECT_EQ(clear.meanColor[2], 0.0f);
    EXPECT_EQ(clear.key[0], 0.0f);
    EXPECT_EQ(clear.key[1], 128 / 255.0f);
    EXPECT_EQ(clear.key[2], 128 / 255.0f);
    const SegmentRegion& opaque = s.RegionOf(29);
    EXPECT_GT(opaque.key[0], 0.0f);
}

TEST(SegmentGraph, KeysExactlyTwoTenthsApartStaySeparate) {
    float black[3] = {0, 128 / 255.0f, 128 / 255.0f};
    float grey[3] = {51 / 255.0f, 128 / 255.0f, 128 / 255.0f};
    float nearer[3] = {50 / 255.0f, 128 / 255.0f, 128 / 255.0f};
    EXPECT_FALSE(mcvSegmentGraph::KeysNear(black, grey));
    EXPECT_TRUE(mcvSegmentGraph::KeysNear(black, nearer));
}

TEST(SegmentGraph, RestartDiscardsThePreviousRun) {
    Picture first = Scene(50, 40, 21), second = Scene(33, 27, 22);
    mcvSegmentGraph s;
    EXPECT_EQ(s.KeepRegionIndexOnly(), 0);  // nothing to keep yet
    s.StartSegmentation(*first);
    RunToEnd(s, 5000);
    ASSERT_EQ(s.KeepRegionIndexOnly(), 1);
    // Restarting half-way through a run, too.
    s.StartSegmentation(*first);
    s.budget = 0;
    for (int i = 0; i < 500; ++i) s.Advance();
    s.StartSegmentation(*second);
    RunToEnd(s, kUnlimited);
    ExpectEqualsReference(s, ref::Segment(*Smoothed(second)));
}

TEST(SegmentGraph, EmptyPictureFinishesWithNothing) {
    mtxImage empty;
    mcvSegmentGraph s;
    EXPECT_EQ(s.StartSegmentation(empty), 1);
    RunToEnd(s, kUnlimited);
    EXPECT_TRUE(s.regions.empty());
    EXPECT_TRUE(s.groups.empty());
    EXPECT_EQ(s.pixelCount, 0u);
}

}  // namespace

// Threads: the rows are cut into a band per thread; whatever the count, with the merges and the
// distance field on the bands or not, the result must be the literal analysis, node for node.
// Pictures of a few rows give bands of one row; the uniform picture has regions at the size cap
// across every seam; few colours give many equal weights.
TEST(SegmentGraph, EveryThreadCountMatchesTheLiteralAnalysis) {
    std::mt19937 random(5);
    Picture fewColours = MakeImage(97, 61, [&](int, int) {
        static const mtxColor kColours[3] = {0xFF102030u, 0xFF112233u, 0xFF405060u};
        return kColours[random() % 3];
    });
    Picture uniform =
        MakeImage(230, 130, [](int x, int) { return x < 120 ? 0xFF406080u : 0xFF406090u; });
    for (bool bandMerges : {false, true}) {
        for (uint32_t threads : {1u, 2u, 3u, 7u}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, band merges " << bandMerges);
            ExpectMatchesReference(Scene(150, 97, 2), kUnlimited, threads, bandMerges);
            ExpectMatchesReference(Scene(64, 48, threads), kUnlimited, threads, bandMerges);
            ExpectMatchesReference(fewColours, kUnlimited, threads, bandMerges);
            ExpectMatchesReference(uniform, kUnlimited, threads, bandMerges);
            for (auto [w, h] : {std::pair{1, 2}, {4, 1}, {1, 57}, {40, 2}, {3, 3}, {5, 7}})
                ExpectMatchesReference(Scene(w, h, uint32_t(w * 100 + h)), kUnlimited, threads,
                                       bandMerges);
        }
    }
}

// The test photographs: every thread count, whole stages or short slices (the band threads
// stopping and resuming mid-stage), gives what one thread gives.
// The last is scaled up past a megapixel, so stage 3 hands over more joins than its ring holds.
TEST(SegmentGraph, PhotosGiveTheSameResultOnEveryThreadCount) {
    for (const char* name :
         {"photos/coffee.png", "photos/astronaut.png", "segmentation/chelsea.jpg",
          "segmentation/coffee.jpg", "segmentation/astronaut.jpg"}) {
        SCOPED_TRACE(name);
        mtxImage photo;
        ASSERT_TRUE(mtxImageLoad(photo, std::string(DAUBRY_TEST_DATA "/") + name, 0));
        if (std::string(name) == "segmentation/astronaut.jpg") {
            mtxImage large(1200, 1200);
            ASSERT_EQ(ScaleImage(photo, large), 1);
            photo.Assign(large);
        }
        mcvSegmentGraph one;
        one.threads = 1;
        one.StartSegmentation(photo);
        RunToEnd(one, kUnlimited);
        for (uint32_t threads : {2u, 3u, 7u}) {
            SCOPED_TRACE(threads);
            mcvSegmentGraph many;
            many.threads = threads;
            many.bandMerges = threads != 2;
            many.StartSegmentation(photo);
            // Slices of a fraction of a millisecond, some thousand units each.
            RunToEnd(many, threads == 3 ? 2000000 : kUnlimited);
            ExpectSameResult(one, many);
        }
    }
}

// With no time at all, every call still makes progress, and the band threads stop after their
// first unit: the stages take many calls, as with one thread, so a stop is answered in time.
TEST(SegmentGraph, BandsStopWhenTheSliceIsSpent) {
    Picture picture = Scene(30, 20, 9);
    mcvSegmentGraph whole, sliced;
    whole.threads = 1;
    whole.StartSegmentation(*picture);
    RunToEnd(whole, kUnlimited);
    sliced.threads = 3;
    sliced.bandMerges = true;
    sliced.StartSegmentation(*picture);
    RunStats run = RunToEnd(sliced, 0);
    // Three bands take at most three units per call: stage 1 alone is 600 pixel units.
    EXPECT_GT(run.calls, 30 * 20 / 3);
    ExpectSameResult(whole, sliced);
}

// The sanitizers reserve terabytes of address space, so an address-space limit cannot stand
// for a machine short of memory there.
#if !defined(__SANITIZE_ADDRESS__)
TEST(SegmentGraph, MemoryRunningShortEndsTheRunNotTheProgram) {
    // In a child whose address space is capped just above what it holds once the run starts:
    // the stages' large arrays cannot be had, and the run must end empty, flagged, and finished.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        Picture picture = Scene(1500, 1500, 7);
        mcvSegmentGraph s;
        if (!s.StartSegmentation(*picture)) _exit(3);
        long size = 0;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmSize:", 0) == 0) size = std::stol(line.substr(7)) * 1024;
        rlimit limit{static_cast<rlim_t>(size + (8 << 20)), static_cast<rlim_t>(size + (8 << 20))};
        if (size <= 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(5);
        s.budget = kUnlimited;
        int calls = 0;
        while (!s.Advance() && ++calls < 1000) {
        }
        bool ok = calls < 1000 && s.outOfMemory == 1 && s.regions.empty() && s.pixelCount == 0 &&
                  s.work.IsEmpty();
        _exit(ok ? 0 : 4);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif
