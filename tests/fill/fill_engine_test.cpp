#include "fill/fill_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "fill/fill_random.h"
#include "fill/sample_collection.h"
#include "fill/segment_graph.h"
#include "image/image.h"

namespace {

using Wide = unsigned __int128;

// Records what the engine draws.
class Recorder : public mtxStampTarget {
  public:
    Recorder(int w, int h) : width(w), height(h) {}
    int Width() const override { return width; }
    int Height() const override { return height; }
    int Draw(const mtxStamp& stamp, const SampleCollection&) override {
        stamps.push_back(stamp);
        return drawOk;
    }
    void Refresh() override { ++refreshes; }
    int width, height, drawOk = 1, refreshes = 0;
    std::vector<mtxStamp> stamps;
};

// A picture of three colour areas and its finished analysis.
struct Scene {
    mtxImage photo;
    mcvSegmentGraph segmentation;
    Scene(int w = 90, int h = 60) {
        photo.Create(w, h, 0xFF2060C0u);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (x > w / 3) photo.At(x, y) = 0xFFE0C020u;
                if (y > h / 2 && x > w / 2) photo.At(x, y) = 0xFF30A040u;
            }
        photo.At(5, 5) = 0x00FFFFFFu;  // one transparent pixel
        segmentation.StartSegmentation(photo);
        while (!segmentation.Advance()) {
        }
        // As the filling session leaves it.
        segmentation.KeepRegionIndexOnly();
    }
};

void AddRecord(SampleCollection& c, int w, int h, float scale, float y, float cb, float cr) {
    SampleCollection::Sample& s = c.samples[c.count++];
    s.width = w, s.height = h, s.scale = scale;
    s.key[0] = y, s.key[1] = cb, s.key[2] = cr;
}

void ThreeSamples(SampleCollection& c) {
    AddRecord(c, 64, 64, 0.9f, 0.5f, 0.4f, 0.6f);
    AddRecord(c, 128, 64, 0.7f, 0.7f, 0.3f, 0.5f);  // 2:1
    AddRecord(c, 32, 32, 1.3f, 0.0f, 0.5f, 0.5f);   // black: key Y 0
    c.changed = 1;
}

// The step written out from its definition, with a generator of its own.
struct Reference {
    explicit Reference(uint64_t seed) : state(seed) {}
    Wide state;
    std::map<uint32_t, int32_t> matches;  // region index -> sample
    int draws = 0, tries = 0;
    double span = 0;
    uint32_t Draw() {
        ++draws;
        const Wide word = Wide(1) << 32;
        state = (state % word) * 1554115554u + state / word;
        return uint32_t(state % word);
    }

    mtxPlaceResult Step(const mcvSegmentGraph& seg, const SampleCollection& c,
                        const mtxImage& photo, int w, int h, mtxStamp& s) {
        float threshold = std::max(0.0f, float(c.sizeMin - c.overlap));
        float v = 0;
        int t = 0;
        for (; t < 20; ++t) {
            s.x = int(Draw() % uint32_t(w));
            s.y = int(Draw() % uint32_t(h));
            v = seg.distance.At(s.x, s.y);
            if (v >= threshold) break;
        }
        tries = t + 1;
        if (t == 20) return mtxPlaceResult::kNoRoom;
        s.angle = c.rotate ? Draw() % 360 : 0;
        uint32_t pixel = uint32_t(s.y * w + s.x);
        const SegmentRegion& region = seg.RegionOf(pixel);
        uint32_t regionIndex = seg.RegionIndex(pixel);
        if (c.chooseMode == 0) {
            if (!matches.count(regionIndex)) {
                int best = 0;
                float bestDistance = INFINITY;
                for (int i = 0; i < c.count; ++i) {
                    float d = 0;
                    for (int k = 0; k < 3; ++k)
                        d += (c.samples[i].key[k] - region.key[k]) *
                             (c.samples[i].key[k] - region.key[k]);
                    if (d < bestDistance) bestDistance = d, best = i;
                }
                matches[regionIndex] = best;
            }
            s.sample = matches[regionIndex];
        } else {
            s.sample = int(Draw() % uint32_t(c.count));
        }
        const SampleCollection::Sample& sample = c.samples[s.sample];
        double S = std::nearbyint(double(v + 2.0f * float(c.overlap)) * 1.4142135623730951 *
                                  double(sample.scale));
        double upper = c.sizeMax < S ? c.sizeMax : S;
        span = upper - c.sizeMin;
        if (span < 0) return mtxPlaceResult::kTooSmall;
        s.size = c.sizeMin + (span > 0 ? int(Draw() % uint32_t(span)) : 0);
        int m = std::min(sample.width, sample.height);
        s.extent[0] = sample.width != m ? float(s.size) * 2.0f : float(s.size);
        s.extent[1] = sample.height != m ? float(s.size) * 2.0f : float(s.size);
        s.quad.u[0] = 0, s.quad.u[1] = 1, s.quad.v[0] = 0, s.quad.v[1] = 1;
        if (c.mirror && (Draw() & 1)) s.quad.u[0] = 1, s.quad.u[1] = 0;
        if (c.flip && (Draw() & 1)) s.quad.v[0] = 1, s.quad.v[1] = 0;
        mtxColor p = photo.At(s.x, s.y);
        s.c1[3] = float(mtxAlpha(p)) / 255.0f;
        s.c0[3] = region.key[0] / std::max(sample.key[0], 1.0f / 255.0f);
        return mtxPlaceResult::kPlaced;
    }
};

void ExpectSameStamp(const mtxStamp& a, const mtxStamp& e, int step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(a.x, e.x);
    EXPECT_EQ(a.y, e.y);
    EXPECT_EQ(a.angle, e.angle);
    EXPECT_EQ(a.sample, e.sample);
    EXPECT_EQ(a.size, e.size);
    EXPECT_EQ(a.extent[0], e.extent[0]);
    EXPECT_EQ(a.extent[1], e.extent[1]);
    EXPECT_EQ(a.quad.u[0], e.quad.u[0]);
    EXPECT_EQ(a.quad.v[0], e.quad.v[0]);
    EXPECT_EQ(a.c1[3], e.c1[3]);
    EXPECT_EQ(a.c0[3], e.c0[3]);
    EXPECT_TRUE(std::isfinite(a.c0[3]));
    // The quad is centred on the point, and its corners turn about it.
    float x = 0, y = 0;
    ASSERT_EQ(a.quad.Corner(0, &x, &y), 1);
    float t = float(a.angle) * 3.1415927410125732f / 180.0f;
    float l = -a.extent[0] / 2, top = -a.extent[1] / 2;
    EXPECT_NEAR(x, l * std::cos(t) - top * std::sin(t) + float(a.x), 1e-3);
    EXPECT_NEAR(y, l * std::sin(t) + top * std::cos(t) + float(a.y), 1e-3);
}

struct Fixture {
    SampleCollection samples;
    Scene scene;
    Recorder target{90, 60};
    mtxFillRandom random{0x9E3779B97F4A7C15u};
    mtxFillEngine engine{scene.segmentation, samples, random, scene.photo, target};
    Fixture() { ThreeSamples(samples); }
};

}  // namespace

TEST(FillEngine, EveryStampFollowsTheDefinition) {
    for (uint32_t chooseMode :
         {SampleCollection::kChooseColorMatch, SampleCollection::kChooseRandom}) {
        Fixture run;
        run.samples.chooseMode = chooseMode;
        run.samples.sizeMin = 3, run.samples.sizeMax = 40, run.samples.overlap = 2;
        Reference reference{run.random.state};
        int placed = 0;
        for (int step = 0; step < 400; ++step) {
            mtxStamp got, want;
            mtxPlaceResult result = run.engine.PlaceSample(1, &got);
            mtxPlaceResult expected =
                reference.Step(run.scene.segmentation, run.samples, run.scene.photo, 90, 60, want);
            ASSERT_EQ(result, expected) << "step " << step;
            ASSERT_EQ(run.random.state, uint64_t(reference.state)) << "step " << step;
            if (result != mtxPlaceResult::kPlaced) continue;
            ++placed;
            ExpectSameStamp(got, want, step);
            EXPECT_EQ(got.shader, mtxStamp::kRecolorShader);
        }
        EXPECT_GT(placed, 300);
        EXPECT_EQ(int(run.target.stamps.size()), placed);
    }
}

TEST(FillEngine, DrawsOnlyForPositionSampleAndSizeWithTheExtrasOff) {
    Fixture run;
    run.samples.rotate = run.samples.mirror = run.samples.flip = 0;
    run.samples.chooseMode = SampleCollection::kChooseRandom;
    run.samples.sizeMin = 2, run.samples.sizeMax = 30, run.samples.overlap = 2;
    Reference reference{run.random.state};
    int placed = 0;
    for (int step = 0; step < 300; ++step) {
        reference.draws = 0;
        mtxStamp got, want;
        mtxPlaceResult result = run.engine.PlaceSample(1, &got);
        ASSERT_EQ(result, reference.Step(run.scene.segmentation, run.samples, run.scene.photo, 90,
                                         60, want));
        ASSERT_EQ(run.random.state, uint64_t(reference.state));
        if (result != mtxPlaceResult::kPlaced) continue;
        ++placed;
        // Two per try, one for the sample, one for the size when the span is above 0.
        EXPECT_EQ(reference.draws, 2 * reference.tries + 1 + (reference.span > 0 ? 1 : 0));
        EXPECT_EQ(got.angle, 0u);
        EXPECT_EQ(got.quad.u[0], 0.0f);
        EXPECT_EQ(got.quad.v[0], 0.0f);
    }
    EXPECT_GT(placed, 200);
}

TEST(FillEngine, EqualSmallestAndLargestSizeAndAspectRatio) {
    Fixture run;
    run.samples.sizeMin = run.samples.sizeMax = 6;
    run.samples.overlap = 4;
    for (int step = 0; step < 200; ++step) {
        mtxStamp stamp;
        mtxPlaceResult result = run.engine.PlaceSample(1, &stamp);
        if (result != mtxPlaceResult::kPlaced) continue;
        EXPECT_EQ(stamp.size, 6);
        const auto& s = run.samples.samples[stamp.sample];
        EXPECT_EQ(stamp.extent[0], s.width > s.height ? 12.0f : 6.0f);
        EXPECT_EQ(stamp.extent[1], 6.0f);
    }
}

TEST(FillEngine, ColourMatchesAreKeptPerRegionUntilTheCollectionChanges) {
    Fixture run;
    run.samples.sizeMin = 1, run.samples.overlap = 0;
    std::map<uint32_t, int32_t> seen;
    for (int step = 0; step < 300; ++step) {
        mtxStamp stamp;
        if (run.engine.PlaceSample(1, &stamp) != mtxPlaceResult::kPlaced) continue;
        uint32_t region = run.scene.segmentation.RegionIndex(uint32_t(stamp.y * 90 + stamp.x));
        auto [it, fresh] = seen.emplace(region, stamp.sample);
        EXPECT_EQ(it->second, stamp.sample);
        EXPECT_EQ(run.scene.segmentation.regions[region].sample, stamp.sample);
    }
    EXPECT_EQ(run.samples.changed, 0u);
    // The keys change and the collection says so: every region chooses afresh.
    for (int i = 0; i < run.samples.count; ++i)
        run.samples.samples[i].key[0] = 1.0f - run.samples.samples[i].key[0];
    run.samples.samples[0].key[0] = 5;  // far from everything
    run.samples.changed = 1;
    mtxStamp stamp;
    while (run.engine.PlaceSample(1, &stamp) != mtxPlaceResult::kPlaced) {
    }
    int chosen = 0;
    for (const SegmentRegion& region : run.scene.segmentation.regions)
        chosen += region.sample != -1;
    EXPECT_EQ(chosen, 1);
    EXPECT_NE(stamp.sample, 0);
}

TEST(FillEngine, StepsThatDrawNothing) {
    {
        Fixture run;  // no room anywhere: 20 tries of two draws each
        run.samples.sizeMin = 1000, run.samples.sizeMax = 1024, run.samples.overlap = 0;
        mtxFillRandom expected = run.random;
        EXPECT_EQ(run.engine.PlaceSample(1), mtxPlaceResult::kNoRoom);
        for (int i = 0; i < 40; ++i) expected.Next();
        EXPECT_EQ(run.random.state, expected.state);
        EXPECT_TRUE(run.target.stamps.empty());
    }
    {
        Fixture run;  // room passes the threshold thanks to the overlap, the size does not
        run.samples.sizeMin = 5, run.samples.sizeMax = 50, run.samples.overlap = 4;
        for (int i = 0; i < run.samples.count; ++i) run.samples.samples[i].scale = 0.05f;
        int tooSmall = 0;
        for (int i = 0; i < 50; ++i)
            tooSmall += run.engine.PlaceSample(1) == mtxPlaceResult::kTooSmall;
        EXPECT_GT(tooSmall, 0);
    }
    {
        Fixture run;
        run.samples.count = 0;
        EXPECT_EQ(run.engine.PlaceSample(1), mtxPlaceResult::kNoSamples);
    }
    {
        Fixture run;  // a picture that is not the analysed one
        run.target.width = 91;
        EXPECT_EQ(run.engine.PlaceSample(1), mtxPlaceResult::kNotPrepared);
        run.target.width = 0;
        EXPECT_EQ(run.engine.PlaceSample(1), mtxPlaceResult::kNotPrepared);
    }
    {
        Fixture run;
        run.target.drawOk = 0;
        mtxPlaceResult r;
        while ((r = run.engine.PlaceSample(1)) == mtxPlaceResult::kNoRoom) {
        }
        EXPECT_EQ(r, mtxPlaceResult::kDrawFailed);
    }
}

TEST(FillEngine, RefreshOnEveryThirdSecondAndPlainShader) {
    Fixture run;
    run.samples.colorMode = SampleCollection::kColorKeep;
    run.engine.PlaceSample(6000);
    run.engine.PlaceSample(6001);
    EXPECT_EQ(run.target.refreshes, 1);
    mtxStamp stamp;
    while (run.engine.PlaceSample(1, &stamp) != mtxPlaceResult::kPlaced) {
    }
    EXPECT_EQ(stamp.shader, mtxStamp::kPlainShader);
}
