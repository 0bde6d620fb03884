// mtxFillPace, mtxFillRate and mtxDrawEstimate: the Calm pace of the filling
// tool's steps under a fake clock, the rate and time left its bar shows, and
// the cut of a Fast frame's drawing to its budget.
#include "app/filling/fill_pace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "app/filling/draw_estimate.h"
#include "app/filling/fill_rate.h"
#include "fill/fill_engine.h"

namespace {

// A clock that moves by cost[i] during step i (the last cost repeats) and
// records when each step began.
struct FakeSteps {
    uint32_t now = 5000;
    std::vector<uint32_t> cost = {1};
    std::vector<uint32_t> began;
    uint32_t Clock() const { return now; }
    void Step(uint32_t at) {
        began.push_back(at);
        size_t i = std::min(began.size() - 1, cost.size() - 1);
        now += cost[i];
    }
    int Tick(mtxFillPace& pace) {
        return pace.Tick([this] { return Clock(); }, [this](uint32_t at) { Step(at); });
    }
};

// A step that runs the message loop (a message box, a nested dialog) gets
// timer messages of its own: they must not start a step inside the step.
TEST(FillPace, NeverTwoStepsAtOnce) {
    mtxFillPace pace;
    uint32_t now = 100;
    pace.Restart(now);
    int depth = 0, deepest = 0, inner = 0;
    auto clock = [&] { return now; };
    std::function<void(uint32_t)> step = [&](uint32_t) {
        deepest = std::max(deepest, ++depth);
        now += 30;
        inner += pace.Tick(clock, step);
        EXPECT_TRUE(pace.InStep());
        --depth;
    };
    now += 20;
    EXPECT_EQ(pace.Tick(clock, step), 1);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(inner, 0);
    EXPECT_FALSE(pace.InStep());
}

TEST(FillPace, CalmStepsAtLeastTenMsApart) {
    FakeSteps f;
    f.cost = {0};
    mtxFillPace pace;
    pace.Restart(f.now);
    for (int i = 0; i < 500; ++i) {
        f.Tick(pace);
        f.now += 1;
    }
    ASSERT_GT(f.began.size(), 30u);
    for (size_t i = 1; i < f.began.size(); ++i)
        EXPECT_GE(f.began[i] - f.began[i - 1], mtxFillPace::kCalmInterval);
    // The clock wraps at 2^32 without a pause.
    f.now = 0xFFFFFFF0u;
    pace.Restart(f.now);
    f.began.clear();
    for (int i = 0; i < 100; ++i) {
        f.Tick(pace);
        f.now += 1;
    }
    EXPECT_GE(f.began.size(), 8u);
}

TEST(FillRate, StampsASecondOverTheLastSeconds) {
    mtxFillRate rate;
    rate.Restart(1000, 0, 0);
    EXPECT_EQ(rate.StampsPerSecond(), 0);
    rate.Note(1100, 50, 0.01);
    EXPECT_EQ(rate.StampsPerSecond(), 0) << "too soon to tell";
    for (uint32_t t = 1250; t <= 6000; t += 250) rate.Note(t, (t - 1000) * 2, 0.1);
    EXPECT_NEAR(rate.StampsPerSecond(), 2000, 1e-9);
    // The pace changes: the old readings leave the window.
    for (uint32_t t = 6250; t <= 9000; t += 250) rate.Note(t, 10000 + (t - 6000) / 2, 0.1);
    EXPECT_NEAR(rate.StampsPerSecond(), 500, 1e-9);
    // A new background starts the counts again.
    rate.Note(9250, 10, 0.0);
    EXPECT_EQ(rate.StampsPerSecond(), 0);
}

// Uncovered share halving every second: from 60 % covered (40 % left) the
// 95 % mark (5 % left) is three halvings away.
TEST(FillRate, TheTimeLeftFollowsTheShrinkingUncoveredShare) {
    mtxFillRate rate;
    rate.Restart(0, 0, 0);
    for (uint32_t t = 250; t <= 3000; t += 250)
        rate.Note(t, t, 1.0 - 0.4 * std::pow(0.5, (double(t) - 3000.0) / 1000.0 + 0.0) * 1.0);
    // At t = 3000 the share left is 0.4.
    EXPECT_NEAR(rate.SecondsTo(0.95), 3.0, 1e-6);
    EXPECT_EQ(rate.SecondsTo(0.5), 0) << "already there";
    EXPECT_LT(rate.SecondsTo(1.0), 0) << "never, at this pace";
    mtxFillRate still;
    still.Restart(0, 0, 0.3);
    still.Note(1000, 0, 0.3);
    EXPECT_LT(still.SecondsTo(0.95), 0) << "no growth: unknown";
}

// A device whose stamps cost a fixed part and their pixels, timed by a clock
// of whole milliseconds as the tool's. The stamps come as a Fine run places
// them: passes from large to small, each mixing sizes, with now and then one
// of the run's largest. Every chunk the estimate cuts for the budget draws
// within it (give or take a stamp and the clock's rounding) and uses most of
// it once a few chunks have been timed.
TEST(DrawEstimate, ChunksKeepToTheBudgetWhateverTheStampsSizes) {
    constexpr double kFixedUs = 6, kPixelUs = 0.025;
    constexpr uint32_t kBudgetMs = 12;
    auto costMs = [&](const mtxStamp& stamp) {
        return (kFixedUs + kPixelUs * stamp.extent[0] * stamp.extent[1]) / 1000;
    };
    uint64_t random = 12345;
    auto below = [&random](int n) {
        random = random * 6364136223846793005ull + 1442695040888963407ull;
        return int((random >> 33) % uint64_t(n));
    };
    std::vector<mtxStamp> stamps;
    for (int pass = 0; pass < 6; ++pass) {
        const int largest = 160 >> pass;
        for (int i = 0; i < 3000; ++i) {
            mtxStamp stamp;
            int side = below(50) == 0 ? 160 : largest / 4 + below(largest - largest / 4 + 1);
            stamp.extent[0] = float(side), stamp.extent[1] = float(side + below(side / 2 + 1));
            stamps.push_back(stamp);
        }
    }
    mtxDrawEstimate estimate;
    double realMs = 1000.3;
    int chunks = 0, thin = 0;
    for (size_t from = 0; from < stamps.size(); ++chunks) {
        std::span<const mtxStamp> rest(stamps.data() + from, stamps.size() - from);
        std::span<const mtxStamp> chunk = rest.first(estimate.Fitting(rest, kBudgetMs));
        ASSERT_FALSE(chunk.empty());
        double took = 0, largest = 0;
        for (const mtxStamp& stamp : chunk) {
            took += costMs(stamp);
            largest = std::max(largest, costMs(stamp));
        }
        const uint32_t start = uint32_t(realMs);
        realMs += took;
        estimate.Note(chunk, uint32_t(realMs) - start);
        from += chunk.size();
        if (chunks < 3 || from == stamps.size()) continue;
        EXPECT_LE(took, kBudgetMs * 1.15 + largest) << "chunk " << chunks;
        if (took < kBudgetMs * 0.6) ++thin;
    }
    EXPECT_LE(thin, chunks / 20) << "of " << chunks << " chunks";
}

}  // namespace
