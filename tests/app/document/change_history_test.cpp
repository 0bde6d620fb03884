#include "app/document/change_history.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "base/base_thread.h"
#include "image/file_memory.h"
#include "tests/support/image_pixels.h"
#include "tests/support/test_support.h"

namespace {

using Pixels = std::vector<mtxColor>;
using State = std::vector<Pixels>;  // every layer's pixels
using History = mtxChangeHistory;

Pixels PixelsOf(mtxImageStack& stack, int layer) {
    return testing_support::PixelsOf(*stack.GetLayer(layer)->source);
}

State StateOf(mtxImageStack& stack) {
    State state;
    for (int i = 0; i < stack.LayerCount(); ++i) state.push_back(PixelsOf(stack, i));
    return state;
}

void AddNoiseLayer(mtxImageStack& stack, int width, int height, std::mt19937& rng) {
    auto image = std::make_unique<mtxImage>(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image->Row(y)[x] = rng();
    stack.AddLayer(-1, std::move(image));
}

// Paints a random rectangle of the image: noise, one colour or (rarely)
// nothing at all, from one pixel up to the whole image.
void RandomEdit(mtxImage& image, std::mt19937& rng) {
    int kind = int(rng() % 8);
    if (kind == 0) return;
    int x0 = int(rng() % image.width), y0 = int(rng() % image.height);
    int x1 = x0 + 1, y1 = y0 + 1;
    if (kind == 1) {
        x0 = y0 = 0;
        x1 = image.width;
        y1 = image.height;
    } else if (kind > 2) {
        x1 = x0 + 1 + int(rng() % (image.width - x0));
        y1 = y0 + 1 + int(rng() % (image.height - y0));
    }
    mtxColor colour = rng();
    bool noise = kind % 2 == 1;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) image.Row(y)[x] = noise ? mtxColor(rng()) : colour;
}

void FillNoise(mtxImage& image, std::mt19937& rng) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.Row(y)[x] = rng();
}

// A memory journal whose writes fail once limit bytes have been written, and
// whose bytes a test can damage.
class LimitedJournal : public mtxFileMemory {
  public:
    explicit LimitedJournal(uint64_t limit) : limit_(limit) {}
    int Write(const void* buffer, uint32_t count) override {
        if (written_ + count > limit_) return 0;
        written_ += count;
        return mtxFileMemory::Write(buffer, count);
    }
    void Damage(uint32_t at) {
        uint8_t* start = nullptr;
        uint8_t* end = nullptr;
        Seek(at, 0);
        if (MapBuffer(1, 1, &start, &end) == 1) *start ^= 0x5A;
    }

  private:
    uint64_t limit_;
    uint64_t written_ = 0;
};

// Makes edits on random layers, recording each, and returns every state from
// the first to the last.
std::vector<State> EditAndRecord(History& history, mtxImageStack& stack, int edits,
                                 std::mt19937& rng) {
    std::vector<State> states{StateOf(stack)};
    for (int i = 0; i < edits; ++i) {
        int layer = int(rng() % stack.LayerCount());
        EXPECT_EQ(history.BeginChange(stack, layer, "Edit"), 1);
        RandomEdit(*stack.GetLayer(layer)->source, rng);
        EXPECT_EQ(history.EndChange(stack), 1);
        states.push_back(StateOf(stack));
    }
    return states;
}

// Every pixel that differs between from and to lies in the step's layer and
// inside the rectangle it names.
void ExpectChangesInside(mtxImageStack& stack, const History::Step& step, const State& from,
                         const State& to) {
    for (size_t layer = 0; layer < from.size(); ++layer) {
        int width = stack.GetLayer(int(layer))->width;
        for (size_t i = 0; i < from[layer].size(); ++i) {
            if (from[layer][i] == to[layer][i]) continue;
            int x = int(i % width), y = int(i / width);
            ASSERT_EQ(int(layer), step.layer);
            ASSERT_TRUE(x >= step.changed.left && x < step.changed.right && y >= step.changed.top &&
                        y < step.changed.bottom)
                << x << ", " << y;
        }
    }
}

// Walks back to the first state and forward to the last, checking every state
// on the way and that both ends change nothing.
void WalkBothWays(History& history, mtxImageStack& stack, const std::vector<State>& states) {
    // Edits that changed nothing leave no record.
    std::vector<State> distinct{states[0]};
    for (const State& s : states)
        if (s != distinct.back()) distinct.push_back(s);
    ASSERT_EQ(history.RecordCount(), distinct.size() - 1);
    for (size_t k = distinct.size() - 1; k > 0; --k) {
        History::Step step;
        ASSERT_EQ(history.Undo(stack, nullptr, &step), 1);
        ASSERT_EQ(StateOf(stack), distinct[k - 1]) << "after undoing to state " << k - 1;
        ExpectChangesInside(stack, step, distinct[k], distinct[k - 1]);
    }
    EXPECT_EQ(history.Undo(stack), 0);
    EXPECT_EQ(StateOf(stack), distinct[0]);
    for (size_t k = 1; k < distinct.size(); ++k) {
        History::Step step;
        ASSERT_EQ(history.Redo(stack, nullptr, &step), 1);
        ASSERT_EQ(StateOf(stack), distinct[k]) << "after redoing to state " << k;
        ExpectChangesInside(stack, step, distinct[k - 1], distinct[k]);
    }
    EXPECT_EQ(history.Redo(stack), 0);
    EXPECT_EQ(StateOf(stack), distinct.back());
}

TEST(ChangeHistory, RandomEditsUndoToTheOriginalAndRedoToTheEnd) {
    const std::pair<int, int> sizes[] = {{1, 1},     {127, 129}, {300, 200},
                                         {256, 128}, {513, 77},  {1100, 700}};
    std::mt19937 rng(7);
    for (auto [width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        mtxImageStack stack;
        AddNoiseLayer(stack, width, height, rng);
        AddNoiseLayer(stack, width / 2 + 1, height + 3, rng);
        History history(History::kDefaultBudget, std::make_unique<mtxFileMemory>());
        std::vector<State> states = EditAndRecord(history, stack, 14, rng);
        WalkBothWays(history, stack, states);
        EXPECT_EQ(history.Enabled(), 1);
    }
}

TEST(ChangeHistory, TemporaryJournalIsUnseenAndWorks) {
    testing_support::TempDir folder;
    std::mt19937 rng(11);
    mtxImageStack stack;
    AddNoiseLayer(stack, 290, 140, rng);
    {
        History history(History::kDefaultBudget, nullptr, folder.Path());
        std::vector<State> states = EditAndRecord(history, stack, 6, rng);
        EXPECT_GT(history.JournalFileBytes(), 0u);
        // The file has no name in the folder: nothing is left behind even
        // when the program dies.
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
        WalkBothWays(history, stack, states);
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(ChangeHistory, ANewChangeAfterUndoDropsRedo) {
    std::mt19937 rng(3);
    mtxImageStack stack;
    AddNoiseLayer(stack, 200, 150, rng);
    mtxImage& image = *stack.GetLayer(0)->source;
    History history(History::kDefaultBudget, std::make_unique<mtxFileMemory>());
    std::vector<State> states{StateOf(stack)};
    for (int i = 0; i < 3; ++i) {
        history.BeginChange(stack, 0, "Fill " + std::to_string(i));
        image.Row(i * 60)[i * 60] ^= 0xFFu;
        history.EndChange(stack);
        states.push_back(StateOf(stack));
    }
    uint64_t fullFile = history.JournalFileBytes();
    ASSERT_EQ(history.Undo(stack), 1);
    ASSERT_EQ(history.Undo(stack), 1);
    EXPECT_EQ(StateOf(stack), states[1]);
    EXPECT_EQ(history.RedoName(), "Fill 1");
    EXPECT_EQ(history.UndoName(), "Fill 0");

    history.BeginChange(stack, 0, "Other");
    image.Row(149)[199] ^= 0xFFu;
    history.EndChange(stack);
    State other = StateOf(stack);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Redo(stack), 0);
    EXPECT_EQ(StateOf(stack), other);
    EXPECT_EQ(history.RecordCount(), 2u);
    EXPECT_LT(history.JournalFileBytes(), fullFile);
    ASSERT_EQ(history.Undo(stack), 1);
    EXPECT_EQ(StateOf(stack), states[1]);
    ASSERT_EQ(history.Undo(stack), 1);
    EXPECT_EQ(StateOf(stack), states[0]);
    EXPECT_EQ(history.Undo(stack), 0);
    ASSERT_EQ(history.Redo(stack), 1);
    ASSERT_EQ(history.Redo(stack), 1);
    EXPECT_EQ(StateOf(stack), other);
}

TEST(ChangeHistory, BudgetDropsTheOldestRecords) {
    std::mt19937 rng(5);
    mtxImageStack stack;
    AddNoiseLayer(stack, 256, 256, rng);
    mtxImage& image = *stack.GetLayer(0)->source;
    // Noise does not compress: one record of four tiles, before and after, is
    // a little over 512 KiB, so this budget holds two.
    const uint64_t budget = 1200 * 1024;
    History history(budget, std::make_unique<mtxFileMemory>());
    std::vector<State> states{StateOf(stack)};
    for (int i = 0; i < 7; ++i) {
        history.BeginChange(stack, 0, "Noise");
        FillNoise(image, rng);
        ASSERT_EQ(history.EndChange(stack), 1);
        states.push_back(StateOf(stack));
        EXPECT_LE(history.JournalBytes(), budget);
        EXPECT_LE(history.JournalFileBytes(), 2 * budget);
    }
    ASSERT_EQ(history.RecordCount(), 2u);
    ASSERT_EQ(history.Undo(stack), 1);
    ASSERT_EQ(history.Undo(stack), 1);
    EXPECT_EQ(StateOf(stack), states[5]);
    EXPECT_EQ(history.Undo(stack), 0);
    EXPECT_EQ(StateOf(stack), states[5]);
    ASSERT_EQ(history.Redo(stack), 1);
    ASSERT_EQ(history.Redo(stack), 1);
    EXPECT_EQ(StateOf(stack), states[7]);

    // A budget of one record: each new record replaces the last, from the
    // start of the file.
    History one(600 * 1024, std::make_unique<mtxFileMemory>());
    for (int i = 0; i < 3; ++i) {
        one.BeginChange(stack, 0, "Noise");
        FillNoise(image, rng);
        ASSERT_EQ(one.EndChange(stack), 1);
        EXPECT_EQ(one.RecordCount(), 1u);
        EXPECT_EQ(one.JournalFileBytes(), one.JournalBytes());
    }
    State last = StateOf(stack);
    ASSERT_EQ(one.Undo(stack), 1);
    ASSERT_EQ(one.Redo(stack), 1);
    EXPECT_EQ(StateOf(stack), last);

    // A change larger than the whole budget cannot be kept, and the older
    // records would no longer lead back: the history empties.
    History tiny(300 * 1024, std::make_unique<mtxFileMemory>());
    tiny.BeginChange(stack, 0, "Small");
    image.Row(0)[0] ^= 1;
    ASSERT_EQ(tiny.EndChange(stack), 1);
    ASSERT_TRUE(tiny.CanUndo());
    tiny.BeginChange(stack, 0, "Large");
    FillNoise(image, rng);
    State large = StateOf(stack);
    EXPECT_EQ(tiny.EndChange(stack), 1);
    EXPECT_EQ(tiny.Enabled(), 1);
    EXPECT_FALSE(tiny.CanUndo());
    EXPECT_EQ(tiny.Undo(stack), 0);
    EXPECT_EQ(StateOf(stack), large);
}

TEST(ChangeHistory, CompactionKeepsRecordsWalkable) {
    // Small records against a budget that forces many compactions of a disk
    // journal.
    testing_support::TempDir folder;
    std::mt19937 rng(9);
    mtxImageStack stack;
    stack.AddLayer(0, std::make_unique<mtxImage>(300, 300));
    const uint64_t budget = 16 * 1024;
    History history(budget, nullptr, folder.Path());
    std::vector<State> states{StateOf(stack)};
    mtxImage& image = *stack.GetLayer(0)->source;
    for (int i = 0; i < 60; ++i) {
        history.BeginChange(stack, 0, "Square");
        int x0 = int(rng() % 280), y0 = int(rng() % 280);
        mtxColor colour = rng();
        for (int y = y0; y < y0 + 20; ++y)
            for (int x = x0; x < x0 + 20; ++x) image.Row(y)[x] = colour;
        ASSERT_EQ(history.EndChange(stack), 1);
        states.push_back(StateOf(stack));
        ASSERT_LE(history.JournalBytes(), budget);
        ASSERT_LE(history.JournalFileBytes(), 2 * budget);
    }
    size_t kept = history.RecordCount();
    ASSERT_GT(kept, 5u);
    ASSERT_LT(kept, 60u);
    for (size_t k = 0; k < kept; ++k) ASSERT_EQ(history.Undo(stack), 1);
    EXPECT_EQ(history.Undo(stack), 0);
    EXPECT_EQ(StateOf(stack), states[60 - kept]);
    for (size_t k = 0; k < kept; ++k) ASSERT_EQ(history.Redo(stack), 1);
    EXPECT_EQ(StateOf(stack), states[60]);
    EXPECT_EQ(history.Enabled(), 1);
}

TEST(ChangeHistory, AWriteFailureSwitchesHistoryOffAndKeepsThePicture) {
    std::mt19937 rng(13);
    mtxImageStack stack;
    AddNoiseLayer(stack, 256, 256, rng);
    mtxImage& image = *stack.GetLayer(0)->source;
    History history(History::kDefaultBudget, std::make_unique<LimitedJournal>(300 * 1024));
    history.BeginChange(stack, 0, "Fits");
    image.Row(3)[3] ^= 1;
    ASSERT_EQ(history.EndChange(stack), 1);
    history.BeginChange(stack, 0, "Too much");
    FillNoise(image, rng);
    State after = StateOf(stack);
    EXPECT_EQ(history.EndChange(stack), 0);
    EXPECT_EQ(history.Enabled(), 0);
    EXPECT_EQ(StateOf(stack), after);
    EXPECT_EQ(history.Undo(stack), 0);
    EXPECT_EQ(history.Redo(stack), 0);
    EXPECT_EQ(history.BeginChange(stack, 0, "Later"), 0);
    EXPECT_EQ(StateOf(stack), after);
}

TEST(ChangeHistory, ADamagedRecordChangesNothing) {
    std::mt19937 rng(17);
    for (int backward = 0; backward < 2; ++backward) {
        mtxImageStack stack;
        AddNoiseLayer(stack, 200, 200, rng);
        auto journal = std::make_unique<LimitedJournal>(~0ull);
        LimitedJournal* bytes = journal.get();
        History history(History::kDefaultBudget, std::move(journal));
        history.BeginChange(stack, 0, "Whole");
        FillNoise(*stack.GetLayer(0)->source, rng);
        history.EndChange(stack);
        if (!backward) {
            ASSERT_EQ(history.Undo(stack), 1);
        }
        State now = StateOf(stack);
        // Damage the deflated tiles of both sides, past the header.
        for (uint32_t at = 100; at < bytes->GetLength(); at += 1000) bytes->Damage(at);
        EXPECT_EQ(backward ? history.Undo(stack) : history.Redo(stack), 0);
        EXPECT_EQ(history.Enabled(), 0);
        EXPECT_EQ(StateOf(stack), now);
    }
}

TEST(ChangeHistory, AFileSizeLimitSwitchesHistoryOffInAChild) {
    testing_support::TempDir folder;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Writing past the limit fails with EFBIG instead of killing us.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{256 * 1024, 256 * 1024};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
        std::mt19937 rng(19);
        mtxImageStack stack;
        AddNoiseLayer(stack, 256, 256, rng);
        mtxImage& image = *stack.GetLayer(0)->source;
        History history(History::kDefaultBudget, nullptr, folder.Path());
        history.BeginChange(stack, 0, "Small");
        image.Row(0)[0] ^= 1;
        if (history.EndChange(stack) != 1 || !history.CanUndo()) _exit(11);
        history.BeginChange(stack, 0, "Large");
        FillNoise(image, rng);
        State after = StateOf(stack);
        if (history.EndChange(stack) != 0 || history.Enabled() != 0) _exit(12);
        if (history.Undo(stack) != 0 || StateOf(stack) != after) _exit(13);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

// The viewer tiles whose textures (own pixels and one-pixel border) meet rect,
// found by looking at every pixel.
std::set<std::pair<int, int>> ViewerTilesMeeting(int width, int height, int x0, int y0, int x1,
                                                 int y1) {
    const int step = 126;
    std::set<std::pair<int, int>> tiles;
    for (int row = 0; row * step < height; ++row)
        for (int column = 0; column * step < width; ++column)
            for (int y = std::max(0, row * step - 1); y <= std::min(height - 1, row * step + 126);
                 ++y)
                for (int x = std::max(0, column * step - 1);
                     x <= std::min(width - 1, column * step + 126); ++x)
                    if (x >= x0 && x < x1 && y >= y0 && y < y1) tiles.insert({column, row});
    return tiles;
}

TEST(ChangeHistory, UndoNamesTheTilesAndViewerTilesItChanged) {
    std::mt19937 rng(23);
    mtxImageStack stack;
    AddNoiseLayer(stack, 400, 300, rng);
    mtxImageStack::Layer* layer = stack.GetLayer(0);
    History history(History::kDefaultBudget, std::make_unique<mtxFileMemory>());
    const std::pair<int, int> pixels[] = {{130, 5}, {399, 299}, {0, 0}, {127, 128}, {252, 127}};
    for (auto [x, y] : pixels) {
        SCOPED_TRACE(testing::Message() << "pixel " << x << ", " << y);
        history.BeginChange(stack, 0, "Dot");
        layer->source->Row(y)[x] ^= 0x00FF00FFu;
        history.EndChange(stack);
        layer->viewerData.clear();
        History::Step step;
        ASSERT_EQ(history.Undo(stack, nullptr, &step), 1);
        EXPECT_EQ(step.layer, 0);
        EXPECT_EQ(step.kind, History::kKindPixels);
        ASSERT_EQ(step.tiles.size(), 1u);
        History::Tile tile = step.tiles[0];
        EXPECT_EQ(tile.column, x / 128);
        EXPECT_EQ(tile.row, y / 128);
        std::set<std::pair<int, int>> noted;
        for (const auto& change : layer->viewerData) {
            EXPECT_EQ(change.kind, 0u);
            EXPECT_TRUE(noted.insert({change.column, change.row}).second) << "noted twice";
        }
        int x0 = tile.column * 128, y0 = tile.row * 128;
        EXPECT_EQ(step.changed.left, x0);
        EXPECT_EQ(step.changed.top, y0);
        EXPECT_EQ(step.changed.right, std::min(400, x0 + 128));
        EXPECT_EQ(step.changed.bottom, std::min(300, y0 + 128));
        EXPECT_EQ(noted, ViewerTilesMeeting(400, 300, x0, y0, std::min(400, x0 + 128),
                                            std::min(300, y0 + 128)));
        ASSERT_EQ(history.Redo(stack), 1);
    }
}

uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

TEST(ChangeHistory, JournalRecordsAreLinkedAndTilesAreZlibStreams) {
    std::mt19937 rng(29);
    mtxImageStack stack;
    AddNoiseLayer(stack, 200, 150, rng);  // the tile at column 1, row 1 is 72 x 22
    mtxImage& image = *stack.GetLayer(0)->source;
    auto journal = std::make_unique<mtxFileMemory>();
    mtxFileMemory* file = journal.get();
    History history(History::kDefaultBudget, std::move(journal));
    Pixels original = PixelsOf(stack, 0);
    history.BeginChange(stack, 0, "F\xC3\xBCll");  // "Füll"
    image.Row(140)[190] ^= 1;
    history.EndChange(stack);
    history.BeginChange(stack, 0, "");
    image.Row(0)[0] ^= 1;
    history.EndChange(stack);

    const uint8_t* data = file->Data();
    uint32_t second = Le32(data + 4);
    EXPECT_EQ(Le32(data), History::kNoRecord);
    EXPECT_EQ(Le32(data + 8), 0u);  // the layer
    EXPECT_EQ(data[12], History::kKindPixels);
    ASSERT_EQ(data[13], 4);
    const char16_t expected[] = u"F\u00FCll";
    for (int i = 0; i < 4; ++i) EXPECT_EQ(data[16 + 2 * i] | data[17 + 2 * i] << 8, expected[i]);
    ASSERT_LT(second, file->GetLength());
    EXPECT_EQ(Le32(data + second), 0u);
    EXPECT_EQ(Le32(data + second + 4), History::kNoRecord);
    EXPECT_EQ(data[second + 13], 0);

    const uint8_t* body = data + 24;
    EXPECT_EQ(Le32(body), 200u);
    EXPECT_EQ(Le32(body + 4), 150u);
    ASSERT_EQ(Le32(body + 8), 1u);
    const uint8_t* tile = body + 12;
    EXPECT_EQ(tile[0] | tile[1] << 8, 1);
    EXPECT_EQ(tile[2] | tile[3] << 8, 1);
    uint32_t beforeSize = Le32(tile + 4), afterSize = Le32(tile + 8);
    ASSERT_EQ(tile + 12 + beforeSize + afterSize, data + second);
    for (int side = 0; side < 2; ++side) {
        std::vector<uint8_t> out(72 * 22 * 4 + 16);
        uLongf n = uLongf(out.size());
        const uint8_t* stream = tile + 12 + (side ? beforeSize : 0);
        ASSERT_EQ(uncompress(out.data(), &n, stream, side ? afterSize : beforeSize), Z_OK);
        ASSERT_EQ(n, 72u * 22 * 4);
        for (int y = 0; y < 22; ++y)
            for (int x = 0; x < 72; ++x) {
                mtxColor want = original[size_t(128 + y) * 200 + 128 + x];
                if (side && y == 12 && x == 62) want ^= 1;
                mtxColor got = Le32(out.data() + (size_t(y) * 72 + x) * 4);
                ASSERT_EQ(got, want) << "side " << side << " at " << x << ", " << y;
            }
    }
}

// A worker that notes the requests it is sent.
class RecordingWorker : public mtxBaseThread {
  public:
    static constexpr uint32_t kQuit = 99;
    ~RecordingWorker() override {
        SendRequest(kQuit);
        Join();
    }
    int Run() override {
        for (;;) {
            uint32_t code = WaitRequest();
            if (code == kQuit) {
                Reply(0);
                return 0;
            }
            {
                std::lock_guard<std::mutex> guard(lock);
                codes.push_back(code);
            }
            Reply(0);
        }
    }
    std::vector<uint32_t> Codes() {
        std::lock_guard<std::mutex> guard(lock);
        return codes;
    }

  private:
    std::mutex lock;
    std::vector<uint32_t> codes;
};

TEST(ChangeHistory, TheWorkerIsPausedAroundEachWalk) {
    std::mt19937 rng(31);
    mtxImageStack stack;
    AddNoiseLayer(stack, 64, 64, rng);
    History history(History::kDefaultBudget, std::make_unique<mtxFileMemory>());
    history.BeginChange(stack, 0, "Dot");
    stack.GetLayer(0)->source->Row(1)[1] ^= 1;
    history.EndChange(stack);
    RecordingWorker worker;
    ASSERT_EQ(worker.Start(), 1);
    EXPECT_EQ(history.Redo(stack, &worker), 0);  // at the end: no walk, no requests
    EXPECT_TRUE(worker.Codes().empty());
    EXPECT_EQ(history.Undo(stack, &worker), 1);
    EXPECT_EQ(history.Redo(stack, &worker), 1);
    EXPECT_EQ(worker.Codes(), (std::vector<uint32_t>{1, 2, 1, 2}));
    // A worker without a thread is not asked to continue.
    RecordingWorker idle;
    EXPECT_EQ(history.Undo(stack, &idle), 1);
}

TEST(ChangeHistory, OpacityTransformAndPixelRecordsInterleave) {
    std::mt19937 rng(37);
    mtxImageStack stack;
    AddNoiseLayer(stack, 150, 150, rng);
    AddNoiseLayer(stack, 150, 150, rng);
    History history(History::kDefaultBudget, std::make_unique<mtxFileMemory>());
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float turned[9] = {0.6f, -0.8f, 70.25f, 0.8f, 0.6f, -12.5f, 0, 0, 1};
    std::copy(turned, turned + 9, stack.GetLayer(0)->transform);
    ASSERT_EQ(history.RecordTransform(0, identity, turned, "Rotate"), 1);
    State start = StateOf(stack);
    stack.GetLayer(1)->SetOpacity(40);
    ASSERT_EQ(history.RecordOpacity(1, 255, 40, "Opacity"), 1);
    history.BeginChange(stack, 1, "Dot");
    stack.GetLayer(1)->source->Row(7)[7] ^= 1;
    history.EndChange(stack);
    State end = StateOf(stack);

    ASSERT_EQ(history.Undo(stack), 1);
    EXPECT_EQ(StateOf(stack), start);
    EXPECT_EQ(stack.GetLayer(1)->Opacity(), 40);
    History::Step step;
    ASSERT_EQ(history.Undo(stack, nullptr, &step), 1);
    EXPECT_EQ(step.kind, History::kKindOpacity);
    EXPECT_EQ(step.layer, 1);
    EXPECT_EQ(stack.GetLayer(1)->Opacity(), 255);
    ASSERT_EQ(history.Undo(stack, nullptr, &step), 1);
    EXPECT_EQ(step.kind, History::kKindTransform);
    EXPECT_EQ(step.layer, 0);
    EXPECT_TRUE(std::equal(identity, identity + 9, stack.GetLayer(0)->transform));
    ASSERT_EQ(history.Redo(stack), 1);
    EXPECT_TRUE(std::equal(turned, turned + 9, stack.GetLayer(0)->transform));
    ASSERT_EQ(history.Redo(stack), 1);
    ASSERT_EQ(history.Redo(stack), 1);
    EXPECT_EQ(stack.GetLayer(1)->Opacity(), 40);
    EXPECT_EQ(StateOf(stack), end);
}

TEST(ChangeHistory, RecordsThatNoLongerFitThePictureAreDropped) {
    std::mt19937 rng(41);
    mtxImageStack stack;
    AddNoiseLayer(stack, 100, 100, rng);
    History history(History::kDefaultBudget, std::make_unique<mtxFileMemory>());
    history.BeginChange(stack, 0, "Dot");
    stack.GetLayer(0)->source->Row(1)[1] ^= 1;
    history.EndChange(stack);

    // While a change is open the history does not move.
    history.BeginChange(stack, 0, "Open");
    EXPECT_EQ(history.Undo(stack), 0);
    history.CancelChange();

    // The layer changed size behind the history's back.
    stack.GetLayer(0)->SetImage(std::make_unique<mtxImage>(50, 60));
    State resized = StateOf(stack);
    EXPECT_EQ(history.Undo(stack), 0);
    EXPECT_EQ(StateOf(stack), resized);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(history.Enabled(), 1);

    // A change across a resize cannot be recorded either.
    history.BeginChange(stack, 0, "Across");
    stack.GetLayer(0)->SetImage(std::make_unique<mtxImage>(70, 60));
    EXPECT_EQ(history.EndChange(stack), 1);
    EXPECT_FALSE(history.CanUndo());
}

}  // namespace

namespace {

TEST(ChangeHistory, LongNamesAreCutWithoutSplittingACharacter) {
    std::mt19937 rng(43);
    mtxImageStack stack;
    AddNoiseLayer(stack, 10, 10, rng);
    History history(History::kDefaultBudget, std::make_unique<mtxFileMemory>());
    // 254 units and then a character of two units: only the 254 fit.
    std::string name = std::string(254, 'a') + "\xF0\x9F\x98\x80";
    history.BeginChange(stack, 0, name);
    stack.GetLayer(0)->source->Row(0)[0] ^= 1;
    history.EndChange(stack);
    EXPECT_EQ(history.UndoName(), std::string(254, 'a'));
    history.BeginChange(stack, 0, "\xF0\x9F\x98\x80 ok");
    stack.GetLayer(0)->source->Row(0)[0] ^= 1;
    history.EndChange(stack);
    EXPECT_EQ(history.UndoName(), "\xF0\x9F\x98\x80 ok");
    ASSERT_EQ(history.Undo(stack), 1);
    EXPECT_EQ(history.RedoName(), "\xF0\x9F\x98\x80 ok");
}

}  // namespace

// Records deflated on the history's thread: the same journal, byte for byte,
// as records made at once, whatever the layer does after EndChange; and the
// questions asked meanwhile answer as if the record were there.
TEST(ChangeHistory, RecordsMadeLaterAreTheRecordsMadeAtOnce) {
    std::mt19937 rng(41), copy(41);
    mtxImageStack now, later;
    AddNoiseLayer(now, 300, 260, rng);
    AddNoiseLayer(later, 300, 260, copy);
    auto journals =
        std::make_pair(std::make_unique<mtxFileMemory>(), std::make_unique<mtxFileMemory>());
    mtxFileMemory* nowFile = journals.first.get();
    mtxFileMemory* laterFile = journals.second.get();
    History atOnce(History::kDefaultBudget, std::move(journals.first));
    History deferred(History::kDefaultBudget, std::move(journals.second));
    deferred.RecordLater(true);
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        const std::string name = "Edit " + std::to_string(i);
        ASSERT_EQ(atOnce.BeginChange(now, 0, name), 1);
        ASSERT_EQ(deferred.BeginChange(later, 0, name), 1);
        RandomEdit(*now.GetLayer(0)->source, rng);
        RandomEdit(*later.GetLayer(0)->source, copy);
        ASSERT_EQ(atOnce.EndChange(now), 1);
        ASSERT_EQ(deferred.EndChange(later), 1);
        EXPECT_EQ(deferred.LastSerial(), atOnce.LastSerial());
        EXPECT_EQ(deferred.RecordCount(), atOnce.RecordCount());
        EXPECT_EQ(deferred.CanUndo(), atOnce.CanUndo());
        EXPECT_EQ(deferred.UndoName(), atOnce.UndoName());
        EXPECT_FALSE(deferred.CanRedo());
        // The next change starts at once, while the record is deflated: on
        // the layer unchanged its snapshot is the record's copy, on a pixel
        // changed (i % 3 == 2) a copy of its own.
        if (i % 3 == 2) {
            later.GetLayer(0)->source->Row(5)[5] ^= 0x10101;
            now.GetLayer(0)->source->Row(5)[5] ^= 0x10101;
        }
        if (i % 4 == 1) {
            ASSERT_EQ(atOnce.RecordOpacity(0, 255, 200, "Opacity"), 1);
            ASSERT_EQ(deferred.RecordOpacity(0, 255, 200, "Opacity"), 1);
        }
        if (i == 6) {
            ASSERT_EQ(atOnce.Undo(now), 1);
            ASSERT_EQ(deferred.Undo(later), 1);
            ASSERT_EQ(StateOf(later), StateOf(now));
        }
    }
    ASSERT_EQ(deferred.Settle(), 1);
    EXPECT_FALSE(deferred.Settling());
    ASSERT_EQ(nowFile->GetLength(), laterFile->GetLength());
    EXPECT_TRUE(
        std::equal(nowFile->Data(), nowFile->Data() + nowFile->GetLength(), laterFile->Data()));
    while (atOnce.Undo(now)) {
        ASSERT_EQ(deferred.Undo(later), 1);
        ASSERT_EQ(StateOf(later), StateOf(now));
    }
    EXPECT_EQ(deferred.Undo(later), 0);
}

// A record made later that cannot be written switches history off when it
// settles, as EndChange would have; Clear drops one still in the making.
TEST(ChangeHistory, ARecordMadeLaterFailsOrIsDroppedCleanly) {
    std::mt19937 rng(43);
    mtxImageStack stack;
    AddNoiseLayer(stack, 256, 256, rng);
    mtxImage& image = *stack.GetLayer(0)->source;
    History history(History::kDefaultBudget, std::make_unique<LimitedJournal>(300 * 1024));
    history.RecordLater(true);
    history.BeginChange(stack, 0, "Too much");
    FillNoise(image, rng);
    State after = StateOf(stack);
    EXPECT_EQ(history.EndChange(stack), 1);
    EXPECT_TRUE(history.CanUndo());
    EXPECT_EQ(history.Undo(stack), 0);
    EXPECT_EQ(history.Enabled(), 0);
    EXPECT_EQ(StateOf(stack), after);

    History cleared(History::kDefaultBudget, std::make_unique<mtxFileMemory>());
    cleared.RecordLater(true);
    cleared.BeginChange(stack, 0, "Noise");
    FillNoise(image, rng);
    EXPECT_EQ(cleared.EndChange(stack), 1);
    cleared.Clear();
    EXPECT_FALSE(cleared.Settling());
    EXPECT_FALSE(cleared.CanUndo());
    EXPECT_EQ(cleared.Enabled(), 1);
    cleared.BeginChange(stack, 0, "Dot");
    image.Row(1)[1] ^= 1;
    EXPECT_EQ(cleared.EndChange(stack), 1);
    EXPECT_EQ(cleared.Undo(stack), 1);
    EXPECT_EQ(cleared.RecordCount(), 1u);
}
