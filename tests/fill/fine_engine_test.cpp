#include "fill/fine_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

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
    ASSERT_EQ(a.size(), b.size());
    ASSERT_GT(a.size(), 50u);
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].x, b[i].x) << i;
        ASSERT_EQ(a[i].y, b[i].y) << i;
        ASSERT_EQ(a[i].size, b[i].size) << i;
        ASSERT_EQ(a[i].angle, b[i].angle) << i;
        ASSERT_EQ(a[i].sample, b[i].sample) << i;
    }
    bool differs = a.size() != c.size();
    for (size_t i = 0; !differs && i < a.size(); ++i)
        differs = a[i].x != c[i].x || a[i].y != c[i].y;
    EXPECT_TRUE(differs);
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
    for (int cell : {1, 3, 4}) {
        mtxPhotoMeans means;
        if (cell == 4) {
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
