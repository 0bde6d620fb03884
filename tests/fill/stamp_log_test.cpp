#include "fill/stamp_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <random>

#include "tests/fill/stamp_log_support.h"

namespace {

using stamp_log_test::RandomLog;
using stamp_log_test::SameStamp;

TEST(StampLog, SerializedLogReadsBackStampForStamp) {
    mtxStampLog log = RandomLog(500, 5, 7);
    ASSERT_GT(log.WholeCount(), 0u);
    ASSERT_LT(log.WholeCount(), log.Count());
    std::vector<uint8_t> bytes = log.Serialize();
    mtxStampLog back;
    std::string error;
    ASSERT_EQ(back.Parse(bytes.data(), bytes.size(), 5, error), 1) << error;
    ASSERT_EQ(back.Count(), log.Count());
    ASSERT_EQ(back.RunCount(), log.RunCount());
    EXPECT_EQ(back.EndState(), log.EndState());
    for (uint64_t i = 0; i < log.Count(); ++i) {
        ASSERT_TRUE(SameStamp(back.At(i), log.At(i))) << "stamp " << i;
        ASSERT_EQ(back.ModeOf(i), log.ModeOf(i));
    }
    for (size_t r = 0; r < log.RunCount(); ++r) {
        EXPECT_EQ(back.RunAt(r).firstStamp, log.RunAt(r).firstStamp);
        EXPECT_EQ(back.RunAt(r).startState, log.RunAt(r).startState);
        EXPECT_TRUE(back.RunAt(r).options == log.RunAt(r).options);
        EXPECT_EQ(back.RunAt(r).base, log.RunAt(r).base);
        EXPECT_EQ(back.RunAt(r).baseColor, log.RunAt(r).baseColor);
    }
    EXPECT_EQ(back.Serialize(), bytes);
}

TEST(StampLog, UndoAndRedoMoveTheEndAndANewStampDropsWhatWasUndone) {
    mtxStampLog log = RandomLog(10, 3, 1);
    mtxStampLog::Mark before = log.Here();
    mtxStampLog more = RandomLog(5, 3, 2);
    log.BeginRun(more.RunAt(0));
    for (uint64_t i = 0; i < more.Count(); ++i) log.Append(more.At(i));
    log.NoteState(99);
    mtxStampLog::Mark after = log.Here();
    ASSERT_EQ(after.stamps, 15u);

    ASSERT_EQ(log.MoveTo(before), 1);
    EXPECT_EQ(log.Count(), 10u);
    EXPECT_EQ(log.RunCount(), before.runs);
    EXPECT_EQ(log.EndState(), before.state);
    EXPECT_EQ(log.Serialize(), RandomLog(10, 3, 1).Serialize());
    ASSERT_EQ(log.MoveTo(after), 1);
    EXPECT_EQ(log.Count(), 15u);
    EXPECT_TRUE(SameStamp(log.At(12), more.At(2)));

    ASSERT_EQ(log.MoveTo(before), 1);
    log.Append(more.At(4));
    EXPECT_EQ(log.Count(), 11u);
    EXPECT_EQ(log.MoveTo(after), 0) << "the undone stamps are gone";
    EXPECT_TRUE(SameStamp(log.At(10), more.At(4)));
}

TEST(StampLog, RefusesTheLogCutAtEveryByte) {
    std::vector<uint8_t> bytes = RandomLog(40, 4, 3).Serialize();
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        mtxStampLog log;
        std::string error;
        ASSERT_EQ(log.Parse(bytes.data(), cut, 4, error), 0) << "cut at " << cut;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(log.Count(), 0u);
    }
}

TEST(StampLog, RefusesCountsPastTheirBoundsAndSamplesItDoesNotHave) {
    std::vector<uint8_t> bytes = RandomLog(40, 4, 3).Serialize();
    std::string error;
    mtxStampLog log;
    EXPECT_EQ(log.Parse(bytes.data(), bytes.size(), 3, error), 0) << "sample 3 is not there";

    auto patched = [&](size_t offset, uint64_t value, int width) {
        std::vector<uint8_t> copy = bytes;
        for (int i = 0; i < width; ++i) copy[offset + size_t(i)] = uint8_t(value >> (8 * i));
        return copy;
    };
    for (auto copy : {patched(0, 0xFFFFFFFFu, 4), patched(4, uint64_t(1) << 40, 8),
                      patched(4, 41, 8), patched(12, 41, 4), patched(0, 0, 4)}) {
        EXPECT_EQ(log.Parse(copy.data(), copy.size(), 4, error), 0);
        EXPECT_FALSE(error.empty());
    }
}

TEST(StampLog, AnyFlippedByteIsRefusedOrReadsAsALogThatWritesItselfBack) {
    std::vector<uint8_t> bytes = RandomLog(30, 4, 5).Serialize();
    std::mt19937 random(11);
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::vector<uint8_t> copy = bytes;
        copy[at] ^= uint8_t(1 + random() % 255);
        mtxStampLog log;
        std::string error;
        if (log.Parse(copy.data(), copy.size(), 4, error)) {
            ASSERT_EQ(log.Serialize(), copy) << "byte " << at;
            for (uint64_t i = 0; i < log.Count(); ++i) ASSERT_LT(log.At(i).sample, 4);
        }
    }
}

}  // namespace

namespace {

// A stamp's bounds hold its quad's corners with a pixel to spare, and no
// more than the spare and a pixel's rounding beyond them; its point is the
// stamp's, compact or kept whole.
TEST(StampLog, BoundsHoldTheQuadAndLittleMore) {
    mtxStampLog log = RandomLog(400, 3, 12);
    for (uint64_t i = 0; i < log.Count(); ++i) {
        const mtxStamp s = log.At(i);
        int32_t x = 0, y = 0;
        log.PointOf(i, x, y);
        EXPECT_EQ(x, s.x) << i;
        EXPECT_EQ(y, s.y) << i;
        float left = 1e30f, top = 1e30f, right = -1e30f, bottom = -1e30f;
        bool finite = true;
        for (int k = 0; k < 4; ++k) {
            float x = 0, y = 0;
            finite = finite && s.quad.Corner(k, &x, &y);
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
        if (!finite) continue;
        const mtxRect b = log.Bounds(i);
        EXPECT_LE(float(b.left), left - 1) << i;
        EXPECT_LE(float(b.top), top - 1) << i;
        EXPECT_GE(float(b.right), right + 1) << i;
        EXPECT_GE(float(b.bottom), bottom + 1) << i;
        EXPECT_GE(float(b.left), left - 3) << i;
        EXPECT_GE(float(b.top), top - 3) << i;
        EXPECT_LE(float(b.right), right + 3) << i;
        EXPECT_LE(float(b.bottom), bottom + 3) << i;
    }
}

// Erasures against a plain set of the stamps erased, through undo, redo and a
// new erasure that drops what was undone; the bytes read back as the set.
TEST(StampLog, ErasuresFollowTheEndAndReadBackAsTheSetInEffect) {
    mtxStampLog log = RandomLog(50, 3, 4);
    std::mt19937 random(8);
    std::vector<mtxStampLog::Mark> marks{log.Here()};
    std::vector<std::vector<bool>> sets{std::vector<bool>(50, false)};
    size_t at = 0;
    for (int step = 0; step < 300; ++step) {
        const uint32_t what = random() % 4;
        if (what == 0 && at > 0) {
            ASSERT_EQ(log.MoveTo(marks[--at]), 1);
        } else if (what == 1 && at + 1 < marks.size()) {
            ASSERT_EQ(log.MoveTo(marks[++at]), 1);
        } else {
            const uint64_t i = random() % 50;
            std::vector<bool> set = sets[at];
            EXPECT_EQ(log.Erase(i), set[i] ? 0 : 1) << "stamp " << i;
            if (set[i]) continue;
            set[i] = true;
            marks.resize(++at), sets.resize(at);
            marks.push_back(log.Here()), sets.push_back(set);
            at = marks.size() - 1;
        }
        for (uint64_t i = 0; i < 50; ++i) ASSERT_EQ(log.Erased(i), sets[at][i]) << step;
    }
    std::vector<uint8_t> bytes = log.SerializeErasures();
    mtxStampLog back;
    std::string error;
    std::vector<uint8_t> stamps = log.Serialize();
    ASSERT_EQ(back.Parse(stamps.data(), stamps.size(), 3, error), 1) << error;
    ASSERT_EQ(back.ParseErasures(bytes.data(), bytes.size(), error), 1) << error;
    EXPECT_EQ(back.ErasedStamps(), log.ErasedStamps());
    for (uint64_t i = 0; i < 50; ++i) EXPECT_EQ(back.Erased(i), sets[at][i]);
    EXPECT_EQ(back.Serialize(), stamps) << "the log's own bytes know nothing of erasures";

    // Each erasure knows how many stamps the log held when it was made; a
    // log read back takes its erasures as made at its end.
    mtxStampLog timed = RandomLog(10, 3, 9);
    ASSERT_EQ(timed.Erase(2), 1);
    const mtxStampLog::Mark first = timed.Here();
    const mtxStampLog more = RandomLog(5, 3, 10);
    for (uint64_t i = 0; i < more.Count(); ++i) timed.Append(more.At(i));
    ASSERT_EQ(timed.Erase(12), 1);
    const mtxStampLog::Mark second = timed.Here();
    EXPECT_EQ(timed.ErasureMadeAt(0), 10u);
    EXPECT_EQ(timed.ErasureMadeAt(1), 15u);
    ASSERT_EQ(timed.MoveTo(first), 1);
    ASSERT_EQ(timed.MoveTo(second), 1);
    ASSERT_EQ(timed.ErasedCount(), 2u);
    EXPECT_EQ(timed.ErasureStamp(1), 12u);
    EXPECT_EQ(timed.ErasureMadeAt(1), 15u);
    bytes = timed.SerializeErasures();
    ASSERT_EQ(timed.ParseErasures(bytes.data(), bytes.size(), error), 1) << error;
    EXPECT_EQ(timed.ErasureMadeAt(0), 15u);

    // A mark whose erasures name stamps past its end is refused.
    ASSERT_GT(log.ErasedCount(), 0u);
    mtxStampLog::Mark wrong = log.Here();
    wrong.stamps = 0, wrong.runs = 0;
    EXPECT_EQ(log.MoveTo(wrong), 0);
}

TEST(StampLog, ErasuresOutOfOrderRepeatedOrPastTheLogAreRefused) {
    mtxStampLog log = RandomLog(20, 3, 6);
    auto bytes = [](std::vector<uint64_t> stamps, size_t extra) {
        std::vector<uint8_t> out;
        for (uint64_t v : std::vector<uint64_t>{stamps.size()})
            for (int k = 0; k < 8; ++k) out.push_back(uint8_t(v >> (8 * k)));
        for (uint64_t v : stamps)
            for (int k = 0; k < 8; ++k) out.push_back(uint8_t(v >> (8 * k)));
        out.resize(out.size() + extra);
        return out;
    };
    std::string error;
    for (const auto& bad : {bytes({3, 2}, 0), bytes({4, 4}, 0), bytes({20}, 0), bytes({1}, 1),
                            std::vector<uint8_t>{1, 0, 0}}) {
        EXPECT_EQ(log.ParseErasures(bad.data(), bad.size(), error), 0);
        EXPECT_NE(error.find("erasures"), std::string::npos) << error;
        EXPECT_EQ(log.ErasedCount(), 0u);
    }
    const auto good = bytes({0, 7, 19}, 0);
    ASSERT_EQ(log.ParseErasures(good.data(), good.size(), error), 1) << error;
    EXPECT_EQ(log.ErasedStamps(), (std::vector<uint64_t>{0, 7, 19}));
}

}  // namespace
