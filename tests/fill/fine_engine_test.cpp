#include "fill/fine_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "fill/fill_maps.h"
#include "fill/photo_means.h"
#include "fill/sample_collection.h"
#include "fill/sample_shapes.h"
#include "fill/segment_graph.h"
#include "image/image.h"

namespace {

// Records the stamps, and paints where each covers on a CPU mask by turning
// every pixel centre back into the sample's texture: an implementation
// independent of the engine's own canvas.
class Recorder : public mtxStampTarget {
  public:
    Recorder(int w, int h, const mtxSampleShapes::Shape* const* shapes)
        : width(w), height(h), shapes_(shapes), alpha(size_t(w) * size_t(h), 0) {}
    int Width() const override { return width; }
    int Height() const override { return height; }
    int Draw(const mtxStamp& stamp, const SampleCollection&) override {
        stamps.push_back(stamp);
        const mtxSampleShapes::Shape& shape = *shapes_[stamp.sample];
        double t = double(stamp.angle) * 3.14159265358979 / 180.0;
        double reach = std::hypot(stamp.extent[0], stamp.extent[1]) / 2 + 1;
        for (int y = std::max(0, int(stamp.y - reach));
             y <= std::min(height - 1, int(stamp.y + reach)); ++y)
            for (int x = std::max(0, int(stamp.x - reach));
                 x <= std::min(width - 1, int(stamp.x + reach)); ++x) {
                double dx = x - stamp.x, dy = y - stamp.y;
                // Undo the turn, then find the texture coordinates.
                double lx = dx * std::cos(t) + dy * std::sin(t),
                       ly = -dx * std::sin(t) + dy * std::cos(t);
                double s = (lx - stamp.quad.left) / stamp.extent[0],
                       r = (ly - stamp.quad.top) / stamp.extent[1];
                if (s < 0 || s >= 1 || r < 0 || r >= 1) continue;
                double u = stamp.quad.u[0] + s * (stamp.quad.u[1] - stamp.quad.u[0]);
                double v = stamp.quad.v[0] + r * (stamp.quad.v[1] - stamp.quad.v[0]);
                int tx = std::clamp(int(u * shape.width), 0, shape.width - 1);
                int ty = std::clamp(int(v * shape.height), 0, shape.height - 1);
                uint8_t a = shape.alpha[size_t(ty) * size_t(shape.width) + size_t(tx)];
                uint8_t& at = alpha[size_t(y) * size_t(width) + size_t(x)];
                at = std::max(at, a);
            }
        return 1;
    }
    int width, height;
    const mtxSampleShapes::Shape* const* shapes_;
    std::vector<uint8_t> alpha;  // the most opaque stamp pixel at each pixel
    std::vector<mtxStamp> stamps;
};

// A flower-like sample: a disc with an opaque centre, or a ring with a hole.
std::vector<uint32_t> SamplePixels(int side, uint32_t rgb, bool ring) {
    std::vector<uint32_t> pixels(size_t(side) * size_t(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            double r = std::hypot(x + 0.5 - side / 2.0, y + 0.5 - side / 2.0) / (side / 2.0);
            bool on = r < 0.95 && (!ring || r > 0.5);
            uint32_t light = uint32_t(std::lround(255 * (1 - 0.5 * r)));
            uint32_t shade = ((rgb >> 16 & 0xFF) * light / 255) << 16 |
                             ((rgb >> 8 & 0xFF) * light / 255) << 8 | ((rgb & 0xFF) * light / 255);
            pixels[size_t(y) * size_t(side) + size_t(x)] = (on ? 0xFF000000u : 0u) | shade;
        }
    return pixels;
}

struct FineRun {
    mtxImage photo;
    mcvSegmentGraph segmentation;
    SampleCollection samples;
    mtxSampleShapes shapes;
    const mtxSampleShapes::Shape* shapeOf[4] = {};
    std::unique_ptr<Recorder> target;
    std::unique_ptr<mtxFineEngine> engine;

    // photo(x, y) gives each pixel.
    template <class Photo>
    FineRun(int w, int h, Photo pixel, bool rings = false) {
        photo.Create(w, h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) photo.At(x, y) = pixel(x, y);
        segmentation.StartSegmentation(photo);
        while (!segmentation.Advance()) {
        }
        const uint32_t colours[3] = {0xE04030, 0x40C060, 0xF0F0E0};
        for (int i = 0; i < 3; ++i) {
            SampleCollection::Sample& s = samples.samples[samples.count++];
            s.width = s.height = 32;
            s.scale = float((32 / std::sqrt(2.0)) / (0.95 * 16));
            float mean[3] = {float(colours[i] >> 16) / 255, float(colours[i] >> 8 & 0xFF) / 255,
                             float(colours[i] & 0xFF) / 255};
            float y = 0.299f * mean[0] + 0.587f * mean[1] + 0.114f * mean[2];
            s.key[0] = y, s.key[1] = (mean[2] - y) / 1.772f + 0.5f,
            s.key[2] = (mean[0] - y) / 1.402f + 0.5f;
            std::copy(mean, mean + 3, s.meanColor);
            std::vector<uint32_t> pixels = SamplePixels(32, colours[i], rings);
            shapes.Set(i, nullptr, pixels.data(), 32, 32);
            shapeOf[i] = shapes.Get(samples, i);
        }
        target = std::make_unique<Recorder>(w, h, shapeOf);
        engine = std::make_unique<mtxFineEngine>(segmentation, samples, photo, *target, shapes);
        engine->Restart(1);
    }

    // Steps until the run ends; the results in order.
    int ToTheEnd(uint32_t now = 1, int limit = 200000) {
        int steps = 0;
        while (steps < limit && engine->PlaceSample(now) != mtxPlaceResult::kFinished) ++steps;
        return steps;
    }
};

// Stripes and checks of several colours: detail at every scale, so the
// smaller passes have work everywhere.
mtxColor Busy(int x, int y) {
    uint32_t k = uint32_t(x / 3 + y / 5) * 2654435761u >> 24;
    return mtxArgb(255, (k & 0xC0) + uint32_t(x % 40), uint32_t(y * 2), (k & 0x3F) * 4);
}

// The side below which half the sizes lie.
int Median(std::vector<int> sizes) {
    if (sizes.empty()) return 0;
    std::nth_element(sizes.begin(), sizes.begin() + long(sizes.size() / 2), sizes.end());
    return sizes[sizes.size() / 2];
}

mtxColor Disc(int x, int y) {
    return std::hypot(x - 40.0, y - 30.0) < 22 ? 0xFF3050A0u : 0x00FFFFFFu;
}

}  // namespace

TEST(FineEngine, EndsWithEveryPixelWithAlphaCoveredAndNothingOutside) {
    struct Case {
        const char* name;
        mtxColor (*pixel)(int, int);
    } cases[] = {
        {"disc on transparent", Disc},
        {"ring",
         [](int x, int y) -> mtxColor {
             double r = std::hypot(x - 40.0, y - 30.0);
             return r > 12 && r < 20 ? 0xFFC02020u : 0xFF202020u;
         }},
        {"gradient",
         [](int x, int y) { return mtxArgb(255, uint32_t(x * 3), uint32_t(y * 4), 90); }},
        {"one-pixel line",
         [](int x, int y) { return y == 29 || x == 47 ? 0xFFFFFFFFu : 0xFF102040u; }},
        {"half transparent",
         [](int x, int) { return x < 40 ? 0xFF808020u : (x < 60 ? 0x80808020u : 0u); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FineRun run(80, 60, c.pixel);
        ASSERT_LT(run.ToTheEnd(), 200000);
        EXPECT_TRUE(run.engine->Finished());
        EXPECT_EQ(run.engine->GivenUp(), 0);
        int uncovered = 0, spilled = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) {
                uint8_t drawn = run.target->alpha[size_t(y) * 80 + size_t(x)];
                if (mtxAlpha(run.photo.At(x, y)) > 0)
                    uncovered += drawn < 128;
                else
                    spilled += drawn > 0;
            }
        EXPECT_EQ(uncovered, 0);
        EXPECT_EQ(spilled, 0);
        // Coarse to fine: the passes shrink, and the run ends with the smallest.
        const std::vector<int32_t>& sizes = run.engine->Sizes();
        EXPECT_TRUE(std::is_sorted(sizes.rbegin(), sizes.rend()));
        EXPECT_LE(run.target->stamps.back().size, sizes.back());
    }
}

// Stamps taken out of a finished run's account open what they alone
// covered: the run is no longer finished, and going on covers every pixel
// with alpha again with the stamps kept. Taking out none changes nothing.
TEST(FineEngine, ForgottenStampsNoLongerCoverAndTheRunCoversTheirPlaceAgain) {
    FineRun run(80, 60,
                [](int x, int y) { return mtxArgb(255, uint32_t(x * 3), uint32_t(y * 4), 90); });
    ASSERT_LT(run.ToTheEnd(), 200000);
    ASSERT_TRUE(run.engine->Finished());
    ASSERT_EQ(run.engine->Uncovered(), 0);
    const std::vector<mtxStamp> placed = run.target->stamps;
    ASSERT_EQ(run.engine->PaintedCount(), placed.size());
    auto stamp = [&](size_t k) { return placed[k]; };
    run.engine->Forget([](size_t) { return false; }, stamp);
    EXPECT_TRUE(run.engine->Finished());
    EXPECT_EQ(run.engine->Uncovered(), 0);

    // The left half's stamps, and every third one elsewhere.
    auto gone = [&](size_t k) { return placed[k].x < 40 || k % 3 == 0; };
    run.engine->Forget(gone, stamp);
    EXPECT_GT(run.engine->Uncovered(), 0);
    EXPECT_FALSE(run.engine->Finished());
    ASSERT_LT(run.ToTheEnd(), 200000);
    EXPECT_EQ(run.engine->Uncovered(), 0);
    Recorder kept(80, 60, run.shapeOf);
    for (size_t k = 0; k < run.target->stamps.size(); ++k)
        if (k >= placed.size() || !gone(k)) kept.Draw(run.target->stamps[k], run.samples);
    int uncovered = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) uncovered += kept.alpha[size_t(y) * 80 + size_t(x)] < 128;
    EXPECT_EQ(uncovered, 0);
    EXPECT_GT(run.target->stamps.size(), placed.size());
}

// The same stamps, in the same order.
void ExpectSameStamps(const std::vector<mtxStamp>& a, const std::vector<mtxStamp>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].x, b[i].x) << i;
        ASSERT_EQ(a[i].y, b[i].y) << i;
        ASSERT_EQ(a[i].size, b[i].size) << i;
        ASSERT_EQ(a[i].angle, b[i].angle) << i;
        ASSERT_EQ(a[i].sample, b[i].sample) << i;
    }
}

TEST(FineEngine, TheSameSeedGivesTheSameStampsHoweverTheStepsArePaced) {
    auto stamps = [](uint64_t seed, bool busyClock) {
        FineRun run(80, 60, [](int x, int y) {
            return mtxArgb(255, uint32_t(x * 3), 128, uint32_t(y * 4));
        });
        run.engine->Restart(seed);
        uint32_t now = 1;
        for (int step = 0; step < 100000; ++step) {
            // A clock that lands on the refresh, and steps that find nothing, change nothing.
            if (busyClock) now = step % 3 ? 3000 * uint32_t(step) : 7;
            if (run.engine->PlaceSample(now) == mtxPlaceResult::kFinished) break;
        }
        return run.target->stamps;
    };
    std::vector<mtxStamp> a = stamps(5, false), b = stamps(5, true), c = stamps(6, false);
    ASSERT_GT(a.size(), 50u);
    ExpectSameStamps(a, b);
    bool differs = a.size() != c.size();
    for (size_t i = 0; !differs && i < a.size(); ++i)
        differs = a[i].x != c[i].x || a[i].y != c[i].y;
    EXPECT_TRUE(differs);
}

// The photo's tables keep their memory from run to run and may have it
// made ready ahead: what the last run left there never shows in the next.
TEST(FineEngine, AnEngineRunAgainOrReadiedAheadGivesTheStampsOfAFreshOne) {
    auto pixel = [](int x, int y) { return mtxArgb(255, uint32_t(x * 3), 90, uint32_t(y * 4)); };
    auto runOnce = [](FineRun& run, uint64_t seed, int steps = 100000) {
        const size_t before = run.target->stamps.size();
        run.engine->Restart(seed);
        for (int step = 0; step < steps; ++step)
            if (run.engine->PlaceSample(1) == mtxPlaceResult::kFinished) break;
        return std::vector<mtxStamp>(run.target->stamps.begin() + std::ptrdiff_t(before),
                                     run.target->stamps.end());
    };
    // The second run protects a disc the first left partly open.
    mtxFillMaps maps;
    ASSERT_EQ(maps.Create(mtxFillMaps::kProtect, 80, 60), 1);
    uint8_t* plane = maps.Data(mtxFillMaps::kProtect);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) plane[y * 80 + x] = std::hypot(x - 30.0, y - 25.0) < 12;
    maps.MarkChanged(0, 0, 79, 59);

    FineRun fresh(80, 60, pixel);
    fresh.engine->SetMaps(&maps);
    const std::vector<mtxStamp> expected = runOnce(fresh, 5);
    ASSERT_GT(expected.size(), 50u);

    FineRun again(80, 60, pixel);
    runOnce(again, 8, 300);
    again.engine->SetMaps(&maps);
    ExpectSameStamps(runOnce(again, 5), expected);

    FineRun readied(80, 60, pixel);
    readied.engine->ReadyMemory(80, 60);
    readied.engine->SetMaps(&maps);
    ExpectSameStamps(runOnce(readied, 5), expected);
}

TEST(FineEngine, GivesUpOnCellsNoSampleCanCoverAndStillEnds) {
    // Ring samples never cover the cell at their centre.
    FineRun run(
        40, 30, [](int x, int) { return x < 20 ? 0xFF203040u : 0xFFA0A0A0u; }, true);
    ASSERT_LT(run.ToTheEnd(), 200000);
    EXPECT_TRUE(run.engine->Finished());
    EXPECT_EQ(run.engine->PlaceSample(1), mtxPlaceResult::kFinished);
    // Each ring leaves its own centre open; some cells stay so after their tries.
    EXPECT_GT(run.engine->GivenUp(), 0);
    EXPECT_LT(run.engine->GivenUp(), 40 * 30);
}

TEST(FineEngine, SizesFollowThePhotoOrTheUserBounds) {
    FineRun run(240, 120, [](int, int) { return 0xFF808080u; });
    run.ToTheEnd();
    // Auto: a twelfth of the shorter side, down to a few pixels.
    EXPECT_EQ(run.engine->Sizes().front(), 10);
    EXPECT_EQ(run.engine->Sizes().back(), 5);
    run.samples.autoSize = 0;
    run.samples.sizeMin = 5, run.samples.sizeMax = 40;
    run.engine->Restart(2);
    run.ToTheEnd();
    EXPECT_EQ(run.engine->Sizes().front(), 40);
    EXPECT_EQ(run.engine->Sizes().back(), 5);
    for (const mtxStamp& s : run.target->stamps) EXPECT_LE(s.size, 40);
    // Auto within the user's largest.
    run.samples.autoSize = 1, run.samples.sizeMax = 8, run.samples.sizeMin = 1;
    run.engine->Restart(3);
    run.engine->PlaceSample(1);
    EXPECT_EQ(run.engine->Sizes().front(), 8);
}

TEST(SampleShapes, BrightnessMakesTheClippedMeanMeetTheTarget) {
    std::vector<uint32_t> pixels(64 * 64);
    uint32_t state = 12345;
    for (uint32_t& p : pixels) {
        state = state * 1664525u + 1013904223u;
        p = (state >> 24 & 0xFF) << 24 | (state & 0xFFFFFF);
    }
    mtxSampleShapes shapes;
    shapes.Set(0, nullptr, pixels.data(), 64, 64);
    SampleCollection samples;
    samples.count = 1, samples.samples[0].width = samples.samples[0].height = 64;
    const mtxSampleShapes::Shape& shape = *shapes.Get(samples, 0);
    for (float target : {0.05f, 0.3f, 0.5f, 0.8f, 0.97f}) {
        float f = mtxSampleShapes::BrightnessFor(shape, target);
        double sum = 0, weight = 0;
        for (uint32_t p : pixels) {
            double luma = 0.299 * (p >> 16 & 0xFF) + 0.587 * (p >> 8 & 0xFF) + 0.114 * (p & 0xFF);
            double a = p >> 24;
            sum += a * std::min(1.0, std::round(luma) / 255 * f);
            weight += a;
        }
        EXPECT_NEAR(sum / weight, target, 1e-3) << target;
    }
    EXPECT_EQ(mtxSampleShapes::BrightnessFor(shape, 0), 0);
}

TEST(PhotoMeans, EveryRectangleSumsAsCountedByHand) {
    mtxImage photo;
    photo.Create(37, 23, 0);
    uint32_t state = 99;
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) {
            state = state * 1664525u + 1013904223u;
            photo.At(x, y) = state % 5 == 0 ? (state & 0xFFFFFF) : (0xFF000000u | state);
        }
    mtxImage other;
    other.Create(37, 23, 0);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) other.At(x, y) = 0xFFFFFFFFu;
    mtxPhotoMeans means;
    for (int cell : {1, 3, 4}) {
        // The room another photo's table left, of the same layout, is kept
        // and must not show through; the last is made ready ahead.
        ASSERT_EQ(means.Reset(other, cell), 1);
        if (cell == 4) {
            ASSERT_EQ(means.Reserve(37, 23, cell, true), 1);
            // Built a row or two at a time, as a run's first steps build it.
            ASSERT_EQ(means.Begin(photo, cell), 1);
            for (int rows = 1; !means.AddRows(rows); rows = 3 - rows)
                EXPECT_FALSE(means.Complete());
        } else {
            ASSERT_EQ(means.Reset(photo, cell), 1);
        }
        for (int k = 0; k < 200; ++k) {
            state = state * 1664525u + 1013904223u;
            int x0 = int(state % 14), y0 = int(state / 14 % 9);
            int x1 = x0 + int(state / 200 % 6), y1 = y0 + int(state / 2000 % 5);
            mtxPhotoMeans::Sums got = means.Query(x0, y0, x1, y1);
            uint32_t red = 0, count = 0, pixels = 0;
            for (int y = y0 * cell; y < std::min((y1 + 1) * cell, 23); ++y)
                for (int x = x0 * cell; x < std::min((x1 + 1) * cell, 37); ++x) {
                    ++pixels;
                    if (mtxAlpha(photo.At(x, y)) == 0) continue;
                    ++count;
                    red += mtxRed(photo.At(x, y));
                }
            ASSERT_EQ(got.red, red);
            ASSERT_EQ(got.count, count);
            ASSERT_EQ(got.pixels, pixels);
        }
    }
}

TEST(FineEngine, NoStampMarksAProtectedPixelAndTheRestIsStillCovered) {
    // A disc and a one-pixel line protected, on a photo with alpha and on a
    // busy one, with the samples turned or not. Samples whose opaque middle
    // is half their reach, as petals around a heart, reach farther than the
    // room a stamp asks for.
    struct Case {
        const char* name;
        mtxColor (*pixel)(int, int);
        bool rotate;
        float reach;
    } cases[] = {{"disc on transparent", Disc, true, 1},
                 {"busy", Busy, true, 1},
                 {"busy, petals", Busy, true, 2},
                 {"busy, petals upright", Busy, false, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FineRun run(80, 60, c.pixel);
        run.samples.rotate = c.rotate;
        for (int i = 0; i < run.samples.count; ++i) run.samples.samples[i].scale *= c.reach;
        mtxFillMaps maps;
        ASSERT_EQ(maps.Create(mtxFillMaps::kProtect, 80, 60), 1);
        uint8_t* plane = maps.Data(mtxFillMaps::kProtect);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x)
                plane[y * 80 + x] = std::hypot(x - 45.0, y - 28.0) < 9 || x == 12 ? 255 : 0;
        maps.MarkChanged(0, 0, 79, 59);
        run.engine->SetMaps(&maps);
        run.engine->Restart(4);
        ASSERT_LT(run.ToTheEnd(), 200000);
        EXPECT_TRUE(run.engine->Finished());
        ASSERT_GT(run.target->stamps.size(), 20u);
        int marked = 0, open = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) {
                uint8_t drawn = run.target->alpha[size_t(y) * 80 + size_t(x)];
                if (plane[y * 80 + x]) {
                    marked += drawn > 0;
                    continue;
                }
                // Away from the protection the photo is covered as without it.
                bool near = std::hypot(x - 45.0, y - 28.0) < 9 + 6 || std::abs(x - 12) < 6;
                open += !near && mtxAlpha(run.photo.At(x, y)) > 0 && drawn < 128;
            }
        EXPECT_EQ(marked, 0);
        EXPECT_EQ(open, 0);
    }
}

TEST(FineEngine, StampsAreSmallerWhereTheDetailPlaneAsksAndLargerWhereItIsDark) {
    FineRun run(240, 120, Busy);
    mtxFillMaps maps;
    ASSERT_EQ(maps.Create(mtxFillMaps::kDetail, 240, 120), 1);
    uint8_t* plane = maps.Data(mtxFillMaps::kDetail);
    // Finer on the left third, neutral in the middle, coarser on the right.
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 240; ++x) plane[y * 240 + x] = x < 80 ? 255 : x < 160 ? 128 : 0;
    maps.MarkChanged(0, 0, 239, 119);
    run.engine->SetMaps(&maps);
    run.engine->Restart(8);
    ASSERT_LT(run.ToTheEnd(), 400000);
    EXPECT_TRUE(run.engine->Finished());
    std::vector<int> fine, neutral, coarse;
    // Stamps well inside each third, away from the photo's edges, where
    // stamps shrink to stay on it.
    auto inside = [](const mtxStamp& s, int left) {
        return s.x >= left + 20 && s.x < left + 60 && s.y >= 20 && s.y < 100;
    };
    for (const mtxStamp& s : run.target->stamps) {
        if (inside(s, 0)) fine.push_back(s.size);
        if (inside(s, 80)) neutral.push_back(s.size);
        if (inside(s, 160)) coarse.push_back(s.size);
    }
    ASSERT_GT(fine.size(), 10u);
    ASSERT_GT(coarse.size(), 10u);
    EXPECT_LT(Median(fine), Median(neutral));
    EXPECT_LT(Median(neutral), Median(coarse));
    // The middle keeps the sizes a run without the plane has.
    FineRun plain(240, 120, Busy);
    plain.engine->Restart(8);
    plain.ToTheEnd();
    std::vector<int> alone;
    for (const mtxStamp& s : plain.target->stamps)
        if (s.x >= 100 && s.x < 140 && s.y >= 20 && s.y < 100) alone.push_back(s.size);
    EXPECT_NEAR(Median(neutral), Median(alone), 1);
}

TEST(FineEngine, WithMapsTheSameSeedGivesTheSameStampsHoweverTheStepsArePaced) {
    auto stamps = [](bool busyClock, bool withMaps) {
        FineRun run(80, 60, Busy);
        mtxFillMaps maps;
        maps.Create(mtxFillMaps::kProtect, 80, 60);
        maps.Create(mtxFillMaps::kDetail, 80, 60);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) {
                maps.Data(mtxFillMaps::kProtect)[y * 80 + x] = x > 60 && y < 20 ? 255 : 0;
                maps.Data(mtxFillMaps::kDetail)[y * 80 + x] = uint8_t(x * 3);
            }
        maps.MarkChanged(0, 0, 79, 59);
        if (withMaps) run.engine->SetMaps(&maps);
        run.engine->Restart(5);
        uint32_t now = 1;
        for (int step = 0; step < 200000; ++step) {
            if (busyClock) now = step % 3 ? 3000 * uint32_t(step) : 7;
            if (run.engine->PlaceSample(now) == mtxPlaceResult::kFinished) break;
        }
        return run.target->stamps;
    };
    std::vector<mtxStamp> a = stamps(false, true), b = stamps(true, true), c = stamps(false, false);
    ASSERT_GT(a.size(), 50u);
    ExpectSameStamps(a, b);
    bool differs = a.size() != c.size();
    for (size_t i = 0; !differs && i < a.size(); ++i)
        differs = a[i].x != c[i].x || a[i].size != c[i].size;
    EXPECT_TRUE(differs);
}

TEST(FillMaps, ProtectedRectanglesAgreeWithACountByHandAfterStrokes) {
    mtxFillMaps maps;
    ASSERT_EQ(maps.Create(mtxFillMaps::kProtect, 70, 45), 1);
    uint32_t state = 7;
    auto next = [&state](uint32_t below) {
        state = state * 1664525u + 1013904223u;
        return int(state >> 8) % int(below);
    };
    for (int stroke = 0; stroke < 40; ++stroke) {
        // A small square painted or erased, as a brush does.
        int x0 = next(70), y0 = next(45), side = 1 + next(6);
        uint8_t value = next(3) ? 255 : 0;
        for (int y = y0; y < std::min(45, y0 + side); ++y)
            for (int x = x0; x < std::min(70, x0 + side); ++x)
                maps.Data(mtxFillMaps::kProtect)[y * 70 + x] = value;
        maps.MarkChanged(x0, y0, x0 + side - 1, y0 + side - 1);
        for (int k = 0; k < 20; ++k) {
            int a = next(80) - 5, b = next(55) - 5;
            int c = a + next(30), d = b + next(20);
            bool any = false;
            for (int y = std::max(0, b); y <= std::min(44, d); ++y)
                for (int x = std::max(0, a); x <= std::min(69, c); ++x) any |= maps.Protected(x, y);
            ASSERT_EQ(maps.AnyProtected(a, b, c, d), any) << stroke;
        }
    }
}

TEST(FillMaps, PicturesReadAsPlanes) {
    mtxImage picture;
    picture.Create(6, 1, 0);
    picture.At(0, 0) = 0xFF000000u;  // black: protected, coarsest
    picture.At(1, 0) = 0xFFFFFFFFu;  // white: open, finest
    picture.At(2, 0) = 0x40000000u;  // black but mostly transparent: open, nearly neutral
    picture.At(3, 0) = 0xFF7F7F7Fu;  // just below mid-grey: protected
    picture.At(4, 0) = 0xFF808080u;  // mid-grey: open, neutral
    picture.At(5, 0) = 0x00FFFFFFu;  // transparent white: open, neutral
    mtxFillMaps maps;
    ASSERT_EQ(maps.FromPicture(mtxFillMaps::kProtect, picture), 1);
    ASSERT_EQ(maps.FromPicture(mtxFillMaps::kDetail, picture), 1);
    const uint8_t* protect = maps.Data(mtxFillMaps::kProtect);
    const uint8_t* detail = maps.Data(mtxFillMaps::kDetail);
    EXPECT_TRUE(protect[0] && !protect[1] && !protect[2] && protect[3]);
    EXPECT_EQ(detail[0], 0);
    EXPECT_EQ(detail[1], 255);
    EXPECT_NEAR(detail[2], 96, 1);
    EXPECT_FALSE(protect[4] || protect[5]);
    EXPECT_EQ(detail[4], mtxFillMaps::kNeutral) << "mid-grey asks for nothing";
    EXPECT_EQ(detail[5], mtxFillMaps::kNeutral);
    EXPECT_FLOAT_EQ(mtxFillMaps::ScaleOf(0), 4.0f);
    EXPECT_FLOAT_EQ(mtxFillMaps::ScaleOf(mtxFillMaps::kNeutral), 1.0f);
    EXPECT_FLOAT_EQ(mtxFillMaps::ScaleOf(255), 0.25f);
}
