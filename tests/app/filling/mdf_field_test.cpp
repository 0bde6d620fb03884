// Covers mtxIEMdfField. The filling tool on a headless editor: its buttons, the preparing task, the
// placement timer driven by a fake clock, the backgrounds, suspending, and
// what happens when another picture opens while it works.
#include "app/filling/mdf_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "app/filling/lawn_sample_dlg.h"
#include "fill/sample_collection.h"
#include "platform/cpu.h"
#include "render/image_dx.h"
#include "tests/app/filling/disc_samples.h"
#include "tests/app/filling/tool_preparation.h"
#include "tests/render/render_test_support.h"
#include "tests/support/image_pixels.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/button.h"
#include "ui/combo_box.h"
#include "ui/label.h"
#include "ui/progress_bar.h"
#include "ui/tool_bar.h"
#include "ui/viewer/viewer.h"

namespace {

using Clock = std::chrono::steady_clock;

// A picture of three colour areas, as the segmentation sees regions.
std::vector<uint32_t> ThreeAreas(int w, int h, uint32_t shift = 0) {
    std::vector<uint32_t> pixels(size_t(w) * size_t(h), 0xFF2060C0u + shift);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x > w / 3) pixels[size_t(y) * w + x] = 0xFFE0C020u - shift;
            if (y > h / 2 && x > w / 2) pixels[size_t(y) * w + x] = 0xFF30A040u + shift;
        }
    return pixels;
}

// Whether the centre of pixel (px, py) lies within r of the segment (x0, y0)..(x1, y1).
bool Within(int px, int py, double x0, double y0, double x1, double y1, double r) {
    const double cx = px + 0.5 - x0, cy = py + 0.5 - y0, dx = x1 - x0, dy = y1 - y0;
    const double l2 = dx * dx + dy * dy;
    const double t = l2 > 0 ? std::clamp((cx * dx + cy * dy) / l2, 0.0, 1.0) : 0.0;
    return std::hypot(cx - t * dx, cy - t * dy) <= r;
}

using fill_test::AddDiscs;
using testing_support::PixelsOf;

struct Picture {
    int width, height;
    std::vector<uint32_t> pixels;
    mtxImageStack stack;
    Picture(mtxImageEditor& editor, int w, int h, uint32_t shift = 0)
        : width(w), height(h), pixels(ThreeAreas(w, h, shift)) {
        stack.AddLayer(0, render_test::DeviceImage(editor.GetDevice(), w, h, pixels));
    }
    mtxImage& Image() { return *stack.GetLayer(0)->source; }
};

class ToolTest : public ::testing::Test {
  protected:
    ToolTest() : editor(480, 320) {
        testing_support::SharedApp();  // timer ids come from its pool
        samples.Bind(editor);
        samples.background = 1;
        samples.sizeMin = 4, samples.sizeMax = 24, samples.overlap = 2;
        // One placement a tick: most tests here count them. Fast has its own.
        samples.speed = SampleCollection::kSpeedCalm;
        bar = new mtxIEToolBar(editor.canvas.get());
        bar->SetRect({0, 0, 480, 45});
        bar->Show(1);
        viewer = new mtxIEViewer(editor.canvas.get());
        viewer->SetRect({0, 45, 480, 320});
        tool = new mtxIEMdfField(viewer, bar, samples);
        tool->clock = [this] { return Clock(); };
        tool->placeOnWorker = false;  // the fake clock is this thread's
        tool->showMessage = [this](const std::string& text) { messages.push_back(text); };
    }
    ~ToolTest() override {
        // The tool first: it stops its task before the samples go.
        viewer->RemoveChild(tool);
        viewer->SetStack(nullptr);
    }

    void Open(Picture& picture) {
        tool->OnPictureOpening();
        viewer->SetStack(&picture.stack);
    }
    // Handles posted actions until the tool is prepared or no task runs.
    void WaitForPreparation() { fill_test::WaitForPreparation(*tool); }
    // Go, and the preparation to its end: whether the session is prepared.
    bool GoAndPrepare() {
        tool->Process(mtxIEMdfField::kGo, 0);
        WaitForPreparation();
        return tool->Prepared();
    }
    // Timer messages every step ms of the fake clock; the clock times of
    // the placements.
    std::vector<uint32_t> Ticks(int count, uint32_t step) {
        std::vector<uint32_t> times;
        for (int i = 0; i < count; ++i) {
            now += step;
            uint64_t before = tool->placements;
            tool->OnTimer(tool->timerId);
            if (tool->placements != before) times.push_back(now);
        }
        return times;
    }

    // A left drag over the picture from (x0, y0) to (x1, y1), picture pixels.
    void Drag(int x0, int y0, int x1, int y1) {
        const POINT origin = viewer->LocalToEditor(viewer->PictureOrigin());
        ui_test::Mouse(editor, mtxOs::WM_LBUTTONDOWN, origin.x + x0, origin.y + y0,
                       mtxOs::MK_LBUTTON);
        ui_test::Mouse(editor, mtxOs::WM_MOUSEMOVE, origin.x + (x0 + x1) / 2,
                       origin.y + (y0 + y1) / 2, mtxOs::MK_LBUTTON);
        ui_test::Mouse(editor, mtxOs::WM_MOUSEMOVE, origin.x + x1, origin.y + y1,
                       mtxOs::MK_LBUTTON);
        ui_test::Mouse(editor, mtxOs::WM_LBUTTONUP, origin.x + x1, origin.y + y1);
    }
    // Three disc samples, the Fine mode in Fast, a clock that moves as it is read.
    void FineAndFast() {
        AddDiscs(samples, editor.GetDevice(), 3);
        samples.fillMode = SampleCollection::kModeFine;
        samples.sizeMin = 3, samples.sizeMax = 30;
        samples.speed = SampleCollection::kSpeedFast;
        tick = 1;
    }
    // Timer ticks until the run ends by itself.
    void RunToTheEnd() {
        for (int i = 0; i < 20000 && tool->state == mtxIEMdfField::kRunning; ++i) {
            now += 5;
            tool->OnTimer(tool->timerId);
        }
    }

    // The fake clock: it moves by tick at every reading, as if every step
    // took that long, and onReading sees the clock read.
    uint32_t Clock() {
        now += tick;
        if (onReading) onReading();
        return now;
    }

    ui_test::Editor editor;
    SampleCollection samples;
    mtxIEToolBar* bar = nullptr;
    mtxIEViewer* viewer = nullptr;
    mtxIEMdfField* tool = nullptr;
    uint32_t now = 1000;
    uint32_t tick = 0;
    std::function<void()> onReading;
    std::vector<std::string> messages;
};

TEST_F(ToolTest, ButtonsGoIntoTheFirstRowAndSendTheirActions) {
    ASSERT_EQ(bar->rowCount, 1);
    ASSERT_GE(bar->rows[0].size(), 6u);
    const char* captions[] = {"Go", "Stop", "Samples", "Clear"};
    const uint32_t actions[] = {1, 2, 3, 5};
    for (int i = 0; i < 4; ++i) {
        auto* button = dynamic_cast<mtxIEButton*>(bar->rows[0][size_t(i)].control);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(bar->rows[0][size_t(i)].spacing, 5);
        EXPECT_EQ(button->caption, captions[i]);
        EXPECT_EQ(button->action, actions[i]);
        EXPECT_EQ(button->Width(), 85);
        EXPECT_EQ(button->Height(), 35);
        EXPECT_TRUE(button->IsVisible());
    }
    EXPECT_FALSE(tool->IsVisible()) << "hidden until the controller activates it";

    int opened = 0;
    RECT samplesButton = bar->rows[0][2].control->EditorRect();
    ui_test::Click(editor, samplesButton.left + 10, samplesButton.top + 10);
    ui_test::PumpPosted();
    EXPECT_EQ(opened, 0) << "no dialog to open: nothing happens";
    tool->openSamples = [&]() -> mtxIELawnSampleDlg* {
        ++opened;
        return nullptr;
    };
    ui_test::Click(editor, samplesButton.left + 10, samplesButton.top + 10);
    ui_test::PumpPosted();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(tool->Process(13, 0), 0);

    // The speed list shows the collection's speed and sets it.
    ASSERT_EQ(bar->rows[0][4].control, tool->speedList);
    EXPECT_EQ(tool->speedList->Selection(), 0);
    tool->Process(mtxIEMdfField::kSpeed, 1);
    EXPECT_EQ(samples.speed, SampleCollection::kSpeedFast);
    EXPECT_EQ(tool->speedList->Selection(), 1);
    samples.speed = SampleCollection::kSpeedCalm;  // as the Filling dialog sets it
    tool->OnOptionsChanged();
    EXPECT_EQ(tool->speedList->Selection(), 0);

    // The hand's list follows the chosen mode; with a hand the tool shows.
    ASSERT_EQ(bar->rows[0][5].control, tool->handList);
    tool->Process(mtxIEMdfField::kHand, mtxMapBrush::kProtect);
    EXPECT_EQ(tool->Hand(), mtxMapBrush::kProtect);
    EXPECT_TRUE(tool->IsVisible());
    tool->Process(mtxIEMdfField::kHand, 99);
    EXPECT_EQ(tool->Hand(), mtxMapBrush::kNone) << "an unknown mode puts the hand away";
    EXPECT_EQ(tool->handList->Selection(), 0);
    EXPECT_FALSE(tool->IsVisible());

    // The stamp hands show the tool too and put the map brush away; the
    // sample list offers any sample, then the collection's.
    tool->Process(mtxIEMdfField::kHand, mtxMapBrush::kProtect);
    tool->Process(mtxIEMdfField::kStampHand, mtxStampHand::kEraser);
    EXPECT_EQ(tool->Hand(), mtxMapBrush::kNone);
    EXPECT_TRUE(tool->IsVisible());
    ASSERT_EQ(bar->rows[0][8].control, tool->sampleList);
    EXPECT_EQ(tool->sampleList->Selection(), 0);
    tool->Process(mtxIEMdfField::kStampSample, uint16_t(samples.count + 1));
    EXPECT_EQ(tool->stampHand.brush.sample, mtxStampBrush::kAnySample) << "no such sample";
    tool->Process(mtxIEMdfField::kStampHand, 7);
    EXPECT_EQ(tool->StampHand(), mtxStampHand::kOff) << "an unknown hand puts it away";
    EXPECT_FALSE(tool->IsVisible());

    // Building the bar again leaves one set of controls.
    tool->BuildToolBar();
    EXPECT_EQ(bar->rowCount, 1);
    EXPECT_EQ(bar->rows[0].size(), 10u);
    EXPECT_EQ(bar->children.size(), 10u);
}

TEST_F(ToolTest, WithoutAPictureGoAndStopOnlySayOpenOneAndClearDoesNothing) {
    tool->Process(mtxIEMdfField::kClear, 0);
    EXPECT_TRUE(messages.empty());
    tool->Process(mtxIEMdfField::kGo, 0);
    tool->Process(mtxIEMdfField::kStop, 0);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Open a photo first: File, Open, or drop it on the window.");
    EXPECT_EQ(messages[1], "Just open any image");
    EXPECT_EQ(editor.CurrentTask(), nullptr);
    EXPECT_EQ(tool->Session(), nullptr);

    // With a picture but before Go, Clear leaves it alone.
    Picture picture(editor, 90, 60);
    Open(picture);
    samples.background = 0;
    tool->Process(mtxIEMdfField::kClear, 0);
    EXPECT_EQ(PixelsOf(picture.Image()), picture.pixels);
    EXPECT_EQ(tool->Session(), nullptr);
    // A completion with no run under way changes nothing.
    tool->Process(mtxIEMdfField::kTaskDone, 1);
    EXPECT_FALSE(tool->Prepared());
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
}

TEST_F(ToolTest, GoPreparesBehindTheStatusDialogThenPlacesAtLeastTenMsApart) {
    AddDiscs(samples, editor.GetDevice(), 3);
    Picture picture(editor, 150, 100);
    Open(picture);
    tool->Process(mtxIEMdfField::kGo, 0);
    ASSERT_TRUE(tool->Preparing());
    ASSERT_NE(tool->CurrentTask(), nullptr);
    EXPECT_EQ(editor.CurrentTask(), tool->CurrentTask());
    mtxIETask::StatusDialog* dialog = tool->CurrentTask()->Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->title, "Preparing Image");
    EXPECT_EQ(editor.TopModal(), dialog);
    EXPECT_EQ(Ticks(50, 5).size(), 0u) << "nothing is placed while preparing";

    WaitForPreparation();
    ASSERT_TRUE(tool->Prepared());
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kRunning));
    EXPECT_EQ(editor.CurrentTask(), nullptr) << "the finished task is destroyed";
    EXPECT_EQ(editor.TopModal(), nullptr);
    EXPECT_EQ(PixelsOf(picture.Image()), picture.pixels) << "background 1 keeps the photo";
    EXPECT_EQ(PixelsOf(tool->Session()->sourceCopy), picture.pixels);

    // The fake clock stands still: no placement, however many timer messages.
    for (int i = 0; i < 20; ++i) tool->OnTimer(tool->timerId);
    EXPECT_EQ(tool->placements, 0u);
    tool->OnTimer(tool->timerId + 1);  // another timer's message
    EXPECT_EQ(tool->placements, 0u);

    for (uint32_t step : {1u, 3u, 7u, 25u}) {
        std::vector<uint32_t> times = Ticks(400, step);
        ASSERT_GE(times.size(), 10u) << "step " << step;
        for (size_t i = 1; i < times.size(); ++i)
            ASSERT_GE(times[i] - times[i - 1], mtxIEMdfField::kMinInterval) << "step " << step;
        if (step == 1) {  // the message loop is quick
            EXPECT_EQ(times[2] - times[1], 10u);
        }
        if (step == 25) {
            EXPECT_EQ(times[2] - times[1], 25u);
        }
        // The engine commits on its own only at whole multiples of 3 s.
        if (step == 1) {
            EXPECT_EQ(PixelsOf(picture.Image()), picture.pixels) << "on the device only";
        }
    }
    EXPECT_GT(tool->Session()->stamps, 0u);
    EXPECT_EQ(tool->coverageLabel->text.rfind("Covered ", 0), 0u) << tool->coverageLabel->text;

    // Stop: no more placements, and the drawing reaches the picture in memory.
    ASSERT_GT(viewer->GetLayer(0)->DirtyTileCount(), 0);
    tool->Process(mtxIEMdfField::kStop, 0);
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
    EXPECT_EQ(Ticks(100, 5).size(), 0u);
    std::vector<uint32_t> filled = PixelsOf(picture.Image());
    EXPECT_NE(filled, picture.pixels);
    EXPECT_EQ(viewer->GetLayer(0)->DirtyTileCount(), 0);

    // Go again runs on without a new preparation; Clear restores the copy.
    tool->Process(mtxIEMdfField::kGo, 0);
    EXPECT_FALSE(tool->Preparing());
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kRunning));
    EXPECT_FALSE(Ticks(50, 5).empty());
    tool->Process(mtxIEMdfField::kClear, 0);
    EXPECT_EQ(PixelsOf(picture.Image()), picture.pixels);
    EXPECT_EQ(tool->Session()->Coverage(), 0.0);
    EXPECT_EQ(messages.size(), 0u);
}

// After the preparation the run's start takes a tick a piece, so the window
// handles input between them: the Background change ends, the samples'
// shapes are read, the run's change begins; no stamp comes before it. A
// Stop in between finishes the start first: the changes stay paired.
TEST_F(ToolTest, TheRunStartsATickAPieceAndAStopInBetweenFinishesTheStart) {
    AddDiscs(samples, editor.GetDevice(), 3);
    samples.background = 0;
    std::vector<std::string> changes;
    tool->onChangeStarting = [&](const std::string& name) { changes.push_back(name); };
    tool->onChangeEnded = [&] { changes.push_back("end " + std::to_string(tool->placements)); };
    auto prepare = [&](Picture& picture) {
        Open(picture);
        tool->Process(mtxIEMdfField::kGo, 0);
        mtxFillSession* session = tool->Session();  // before the start: it leaves it alone
        EXPECT_TRUE(fill_test::WaitForPreparation(*tool, false));
        EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kRunning));
        EXPECT_TRUE(tool->Starting());
        return session;
    };
    Picture first(editor, 150, 100);
    mtxFillSession* session = prepare(first);
    ASSERT_NE(session, nullptr);
    using Changes = std::vector<std::string>;
    EXPECT_EQ(changes, Changes({"Background"}));
    EXPECT_EQ(Ticks(1, 20).size(), 0u);
    EXPECT_EQ(changes, Changes({"Background", "end 0"}));
    EXPECT_EQ(session->Shapes().Known(samples, 0), nullptr);
    EXPECT_EQ(Ticks(1, 20).size(), 0u);
    for (int32_t i = 0; i < samples.count; ++i)
        EXPECT_NE(session->Shapes().Known(samples, i), nullptr) << i;
    EXPECT_TRUE(tool->Starting());
    EXPECT_EQ(Ticks(1, 20).size(), 0u);
    EXPECT_EQ(changes, Changes({"Background", "end 0", "Fill"}));
    EXPECT_FALSE(tool->Starting());
    const std::string placed = "end " + std::to_string(Ticks(10, 20).size());
    EXPECT_GT(tool->placements, 0u) << "then the stamps";
    tool->Process(mtxIEMdfField::kStop, 0);
    EXPECT_EQ(changes.back(), placed);

    changes.clear();
    Picture second(editor, 150, 100, 7);
    prepare(second);
    Ticks(1, 20);
    tool->Process(mtxIEMdfField::kStop, 0);
    EXPECT_EQ(changes, Changes({"Background", placed, "Fill", placed}));
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
    EXPECT_FALSE(tool->Starting());
    EXPECT_TRUE(Ticks(10, 20).empty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(ToolTest, BackgroundZeroWipesToTheColourAndTheOptionsChangeIt) {
    AddDiscs(samples, editor.GetDevice(), 2);
    samples.background = 0;
    samples.backgroundColor = 0xFF102030u;
    Picture picture(editor, 120, 80);
    Open(picture);
    ASSERT_TRUE(GoAndPrepare());
    std::vector<uint32_t> wiped(size_t(120) * 80, 0xFF102030u);
    EXPECT_EQ(PixelsOf(picture.Image()), wiped);
    EXPECT_EQ(PixelsOf(tool->Session()->sourceCopy), picture.pixels) << "the copy is the photo";

    Ticks(200, 5);
    tool->Process(mtxIEMdfField::kStop, 0);
    EXPECT_NE(PixelsOf(picture.Image()), wiped);
    tool->ResetBackground();
    EXPECT_EQ(PixelsOf(picture.Image()), wiped);

    tool->OnOptionsChanged();  // nothing changed: nothing happens
    EXPECT_EQ(PixelsOf(picture.Image()), wiped);
    samples.background = 2;
    tool->OnOptionsChanged();
    EXPECT_EQ(PixelsOf(picture.Image()), picture.pixels);
    samples.background = 0, samples.backgroundColor = 0xFFFFFFFFu;
    tool->OnOptionsChanged();
    EXPECT_EQ(PixelsOf(picture.Image()), std::vector<uint32_t>(size_t(120) * 80, 0xFFFFFFFFu));
}

TEST_F(ToolTest, SuspendAndResumeKeepTheState) {
    AddDiscs(samples, editor.GetDevice(), 2);
    Picture picture(editor, 100, 70);
    Open(picture);
    tool->Process(mtxIEMdfField::kGo, 0);
    WaitForPreparation();
    ASSERT_EQ(tool->state, uint32_t(mtxIEMdfField::kRunning));
    Ticks(100, 5);
    tool->Suspend();
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
    EXPECT_NE(PixelsOf(picture.Image()), picture.pixels)
        << "what was drawn is in memory for the save";
    EXPECT_EQ(Ticks(100, 5).size(), 0u);
    tool->Resume();
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kRunning));
    EXPECT_FALSE(Ticks(100, 5).empty());

    tool->Process(mtxIEMdfField::kStop, 0);
    tool->Suspend();
    tool->Resume();
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
    EXPECT_TRUE(messages.empty());
}

TEST_F(ToolTest, GoWithoutSamplesOpensTheSamplesDialogAndGoesOnOnceSomeAreChosen) {
    Picture picture(editor, 60, 40);
    Open(picture);
    samples.background = 0;  // a preparation would paint the picture white
    tool->Process(mtxIEMdfField::kGo, 0);
    EXPECT_EQ(messages, std::vector<std::string>{"You should select samples"})
        << "no dialog to open: said";
    EXPECT_FALSE(tool->Preparing());

    int opened = 0;
    tool->openSamples = [&] {
        ++opened;
        return new mtxIELawnSampleDlg(&editor, samples);
    };
    auto close = [&] {
        auto* dialog = dynamic_cast<mtxIELawnSampleDlg*>(editor.TopModal());
        ASSERT_NE(dialog, nullptr);
        dialog->Process(mtxIELawnSampleDlg::kOk, 0);
        ui_test::PumpPosted();
    };
    // Closed with none chosen: the photo stays as it was and nothing starts.
    tool->Process(mtxIEMdfField::kGo, 0);
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(tool->Preparing());
    close();
    EXPECT_FALSE(tool->Preparing());
    EXPECT_EQ(editor.TopModal(), nullptr);
    EXPECT_EQ(PixelsOf(picture.Image()), picture.pixels);
    EXPECT_EQ(messages.size(), 1u);

    // Samples chosen: Ok goes on with Go. The Samples button's dialog does not.
    tool->Process(mtxIEMdfField::kSamples, 0);
    AddDiscs(samples, editor.GetDevice(), 3);
    close();
    EXPECT_FALSE(tool->Preparing());
    samples.ClearSamples();
    tool->Process(mtxIEMdfField::kGo, 0);
    EXPECT_EQ(opened, 3);
    AddDiscs(samples, editor.GetDevice(), 3);
    close();
    EXPECT_TRUE(tool->Preparing() || tool->Prepared());
    WaitForPreparation();
    ASSERT_TRUE(tool->Prepared());
    EXPECT_FALSE(Ticks(30, 5).empty());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(ToolTest, CancelledPreparationLeavesTheToolStoppedAndGoStartsAgain) {
    AddDiscs(samples, editor.GetDevice(), 2);
    Picture picture(editor, 400, 300);
    Open(picture);
    tool->Process(mtxIEMdfField::kGo, 0);
    ASSERT_NE(tool->CurrentTask(), nullptr);
    editor.SendCommand(tool->CurrentTask(), mtxIETask::kCancel, 0);  // the dialog's Cancel
    WaitForPreparation();
    EXPECT_FALSE(tool->Prepared());
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
    EXPECT_EQ(editor.CurrentTask(), nullptr);
    EXPECT_EQ(editor.TopModal(), nullptr);
    EXPECT_EQ(Ticks(30, 5).size(), 0u);

    tool->Process(mtxIEMdfField::kGo, 0);
    WaitForPreparation();
    EXPECT_TRUE(tool->Prepared());
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kRunning));
    EXPECT_FALSE(Ticks(50, 5).empty());
    EXPECT_TRUE(messages.empty());
}

// Whenever the next picture opens during the preparation of the last, nothing
// of that preparation reaches the new picture.
TEST_F(ToolTest, AnotherPictureOpeningDuringPreparationCancelsIt) {
    AddDiscs(samples, editor.GetDevice(), 2);
    samples.background = 0;
    for (int delay : {0, 2, 10, 40}) {
        SCOPED_TRACE(delay);
        Picture first(editor, 300, 200);
        Open(first);
        tool->Process(mtxIEMdfField::kGo, 0);
        ASSERT_TRUE(tool->Preparing());
        Clock::time_point end = Clock::now() + std::chrono::milliseconds(delay);
        while (Clock::now() < end) ui_test::PumpPosted();

        Picture second(editor, 200, 150, 0x10);
        Open(second);
        EXPECT_FALSE(tool->Preparing());
        EXPECT_EQ(tool->Session(), nullptr);
        EXPECT_EQ(editor.CurrentTask(), nullptr);
        EXPECT_EQ(editor.TopModal(), nullptr);
        for (int i = 0; i < 50; ++i) {
            ui_test::PumpPosted();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_FALSE(tool->Prepared());
        EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
        EXPECT_EQ(Ticks(20, 5).size(), 0u);
        EXPECT_EQ(PixelsOf(second.Image()), second.pixels) << "no background of a late completion";

        ASSERT_TRUE(GoAndPrepare());
        EXPECT_EQ(PixelsOf(tool->Session()->sourceCopy), second.pixels);
        EXPECT_EQ(tool->Session()->segmentation.width, 200);
        tool->OnPictureOpening();
        viewer->SetStack(nullptr);
    }
    EXPECT_TRUE(messages.empty());
}

// Each placement repaints what it covers: frames of only the dirty parts end
// up showing exactly the picture that Stop commits, one stamp a frame (Calm)
// or a batch of them (Fast).
TEST_F(ToolTest, TheScreenFollowsThePlacementsThroughPartialRepaints) {
    AddDiscs(samples, editor.GetDevice(), 3);
    samples.sizeMin = 6, samples.sizeMax = 40;
    for (uint32_t speed : {SampleCollection::kSpeedCalm, SampleCollection::kSpeedFast}) {
        SCOPED_TRACE(speed);
        samples.speed = speed;
        tick = speed == SampleCollection::kSpeedFast ? 1 : 0;
        Picture picture(editor, 200, 140);
        Open(picture);
        ASSERT_TRUE(GoAndPrepare());
        editor.Paint();
        uint64_t frames = editor.frameCount;
        for (int i = 0; i < 120; ++i) {
            Ticks(1, 17);
            editor.Paint();
            EXPECT_TRUE(mtxIsEmpty(editor.dirtyRect));
        }
        ASSERT_GT(tool->placements, 50u);
        EXPECT_GE(editor.frameCount - frames, 50u);
        tool->Process(mtxIEMdfField::kStop, 0);
        std::vector<uint32_t> committed = PixelsOf(picture.Image());
        ASSERT_NE(committed, picture.pixels);
        ui_test::Pixels screen = ui_test::ReadBack(editor);
        POINT o = viewer->LocalToEditor(viewer->PictureOrigin());
        int wrong = 0;
        for (int y = 0; y < 140; ++y)
            for (int x = 0; x < 200; ++x)
                if (screen.At(o.x + x, o.y + y) != committed[size_t(y) * 200 + x]) ++wrong;
        EXPECT_EQ(wrong, 0) << "pixels the screen shows stale";
        tool->OnPictureOpening();
        viewer->SetStack(nullptr);
    }
}

// A picture replaced without notice: the session of the old one is dropped
// before it could place anything on the new one.
TEST_F(ToolTest, TheEngineNeverRunsOnAnotherPicturesAnalysis) {
    AddDiscs(samples, editor.GetDevice(), 2);
    Picture first(editor, 120, 90);
    Open(first);
    tool->Process(mtxIEMdfField::kGo, 0);
    WaitForPreparation();
    ASSERT_EQ(tool->state, uint32_t(mtxIEMdfField::kRunning));
    Picture second(editor, 90, 120, 0x20);
    viewer->SetStack(&second.stack);
    EXPECT_EQ(Ticks(50, 5).size(), 0u);
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
    EXPECT_EQ(tool->Session(), nullptr);
    tool->Process(mtxIEMdfField::kClear, 0);
    EXPECT_EQ(PixelsOf(second.Image()), second.pixels);

    // The same picture handed over again is not trusted either: its viewer
    // layer and image may be new ones at the old addresses.
    viewer->SetStack(&first.stack);
    tool->Process(mtxIEMdfField::kGo, 0);
    WaitForPreparation();
    ASSERT_EQ(tool->state, uint32_t(mtxIEMdfField::kRunning));
    viewer->SetStack(nullptr);
    viewer->SetStack(&first.stack);
    EXPECT_EQ(Ticks(20, 5).size(), 0u);
    EXPECT_EQ(tool->Session(), nullptr);
}

// The same seed gives the same picture after the same number of engine
// steps, in Calm and in Fast, and when a Stop arrives in the middle of a
// batch (then Go): the generator goes on where it was. Fast on the worker
// thread, on the real clock, stops wherever it is: Calm to as many steps
// gives its picture.
TEST_F(ToolTest, TheSpeedAndStopsInsideABatchDoNotChangeThePicture) {
    AddDiscs(samples, editor.GetDevice(), 3);
    samples.sizeMin = 3, samples.sizeMax = 30;
    // Large enough that a batch of the worker, on a busy machine, never
    // reaches the end of the run (the Calm run to compare would end there).
    constexpr int kWidth = 320, kHeight = 240;
    auto fill = [&](uint32_t speed, uint64_t steps, uint64_t stopAt, uint64_t* widest) {
        samples.speed = speed;
        tick = speed == SampleCollection::kSpeedFast ? 1 : 0;
        Picture picture(editor, kWidth, kHeight);
        Open(picture);
        tool->Process(mtxIEMdfField::kGo, 0);
        EXPECT_NE(tool->Session(), nullptr);
        if (!tool->Session()) return std::vector<uint32_t>{};
        tool->Session()->Seed(29);
        WaitForPreparation();
        EXPECT_TRUE(tool->Prepared());
        mtxFillSession* session = tool->Session();
        bool stopped = false;
        // The batch ends at the last step: the clock jumps past the budget.
        onReading = [&] {
            if (session->steps >= steps) now += 1000;
            if (stopAt && !stopped && session->steps == stopAt) {
                stopped = true;
                tool->Process(mtxIEMdfField::kStop, 0);
            }
        };
        *widest = 0;
        for (int i = 0; i < 100000 && session->steps < steps; ++i) {
            if (tool->state != mtxIEMdfField::kRunning) {
                EXPECT_EQ(session->steps, stopAt) << "the batch ended at the Stop";
                tool->Process(mtxIEMdfField::kGo, 0);
            }
            uint64_t before = tool->placements;
            now += 5;
            tool->OnTimer(tool->timerId);
            *widest = std::max(*widest, tool->placements - before);
        }
        onReading = nullptr;
        tool->Process(mtxIEMdfField::kStop, 0);
        EXPECT_EQ(session->steps, steps);
        EXPECT_GT(session->stamps, steps / 4);
        std::vector<uint32_t> pixels = PixelsOf(picture.Image());
        tool->OnPictureOpening();
        viewer->SetStack(nullptr);
        return pixels;
    };
    constexpr uint64_t kSteps = 400;
    uint64_t widest = 0;
    std::vector<uint32_t> calm = fill(SampleCollection::kSpeedCalm, kSteps, 0, &widest);
    EXPECT_EQ(widest, 1u);
    std::vector<uint32_t> fast = fill(SampleCollection::kSpeedFast, kSteps, 0, &widest);
    EXPECT_GT(widest, 3u) << "Fast places a batch a tick";
    EXPECT_EQ(fast, calm);
    for (uint64_t stopAt : {1u, 37u, 38u, 250u}) {
        EXPECT_EQ(fill(SampleCollection::kSpeedFast, kSteps, stopAt, &widest), calm) << stopAt;
        EXPECT_EQ(fill(SampleCollection::kSpeedCalm, kSteps, stopAt, &widest), calm) << stopAt;
    }

    // On the worker: the test's clock stays on this thread.
    tool->placeOnWorker = true;
    tool->clock = [] { return mtxOs::Milliseconds(); };
    samples.speed = SampleCollection::kSpeedFast;
    Picture picture(editor, kWidth, kHeight);
    Open(picture);
    tool->Process(mtxIEMdfField::kGo, 0);
    ASSERT_NE(tool->Session(), nullptr);
    tool->Session()->Seed(29);
    WaitForPreparation();
    const uint32_t giveUp = mtxOs::Milliseconds() + 60000;  // a slow, sanitised build
    while (tool->Session()->steps < 600 && int32_t(giveUp - mtxOs::Milliseconds()) > 0) {
        tool->OnTimer(tool->timerId);
        mtxOs::SleepMilliseconds(1);
    }
    // Calm chosen as the Filling dialog chooses it, with a batch out: the
    // Calm steps come after the batch's, drawn.
    tool->OnTimer(tool->timerId);
    samples.speed = SampleCollection::kSpeedCalm;
    for (int i = 0; i < 10; ++i) {
        tool->OnTimer(tool->timerId);
        mtxOs::SleepMilliseconds(mtxFillPace::kCalmInterval + 1);
    }
    tool->Process(mtxIEMdfField::kStop, 0);
    const uint64_t steps = tool->Session()->steps;
    EXPECT_GE(steps, 600u);
    std::vector<uint32_t> threaded = PixelsOf(picture.Image());
    tool->OnPictureOpening();
    viewer->SetStack(nullptr);
    tool->placeOnWorker = false;
    tool->clock = [this] { return Clock(); };
    EXPECT_EQ(fill(SampleCollection::kSpeedCalm, steps, 0, &widest), threaded);
    EXPECT_TRUE(messages.empty());
}

// A Fast batch (here on the test's thread) ends after its longest time, or
// at once after a step that took longer, and a timer message that comes
// inside a step starts no batch of its own.
TEST_F(ToolTest, AFastBatchKeepsToItsTimeAndNeverNests) {
    AddDiscs(samples, editor.GetDevice(), 3);
    samples.sizeMin = 3, samples.sizeMax = 30;
    samples.speed = SampleCollection::kSpeedFast;
    Picture picture(editor, 160, 120);
    Open(picture);
    ASSERT_TRUE(GoAndPrepare());
    mtxFillSession* session = tool->Session();
    uint64_t batchStart = 0;
    auto batch = [&] {
        batchStart = session->steps;
        now += mtxFillPace::kFrameMs;
        tool->OnTimer(tool->timerId);
        return session->steps - batchStart;
    };
    tick = 1;  // every step reads the clock once: a millisecond a step
    EXPECT_EQ(batch(), mtxFillPace::kLongestBatchMs);
    uint64_t longStepAt = session->steps + 3, nested = 0;
    bool inside = false;
    onReading = [&] {
        // Readings after a step of the batch: a timer message comes there.
        if (inside || session->steps == batchStart) return;
        if (session->steps == longStepAt) now += 100;
        inside = true;
        uint64_t before = session->steps;
        tool->OnTimer(tool->timerId);
        nested += session->steps - before;
        inside = false;
    };
    EXPECT_EQ(batch(), 3u);
    EXPECT_EQ(nested, 0u);
    onReading = nullptr;
    tool->Process(mtxIEMdfField::kStop, 0);
    EXPECT_EQ(tool->placements, session->stamps) << "every stamp placed is drawn by the Stop";
}

// A Fine run stops by itself once the picture is covered; Go then starts
// another over it rather than doing nothing.
TEST_F(ToolTest, AFineRunStopsAtItsEndAndGoAddsAnother) {
    FineAndFast();
    Picture picture(editor, 96, 72);
    Open(picture);
    ASSERT_TRUE(GoAndPrepare());
    RunToTheEnd();
    EXPECT_NE(tool->state, mtxIEMdfField::kRunning) << "the run ended by itself";
    uint64_t first = tool->placements;
    EXPECT_GT(first, 20u);
    std::vector<uint32_t> covered = PixelsOf(picture.Image());
    tool->Process(mtxIEMdfField::kGo, 0);
    RunToTheEnd();
    EXPECT_GT(tool->placements, first + first / 4);
    EXPECT_NE(PixelsOf(picture.Image()), covered);
    EXPECT_TRUE(messages.empty());
}

// The hand paints by mouse: a protect stroke sets the pixels within the
// brush's radius of the dragged segment and no others, and the Fine run
// leaves them as they were, also where the stroke came while it ran.
TEST_F(ToolTest, AProtectStrokeByMouseKeepsTheFineRunOffWhatItCovers) {
    FineAndFast();
    Picture picture(editor, 96, 72);
    Open(picture);
    auto drag = [this](int x0, int y0, int x1, int y1) { Drag(x0, y0, x1, y1); };
    drag(30, 36, 50, 36);
    EXPECT_FALSE(tool->IsVisible()) << "without a hand the viewer keeps the mouse";
    EXPECT_EQ(tool->strokes, 0u);

    tool->Process(mtxIEMdfField::kHand, mtxMapBrush::kProtect);
    tool->Process(mtxIEMdfField::kBrushSize, 1);
    ASSERT_EQ(tool->brush.radius, 12);
    drag(30, 36, 50, 36);
    ASSERT_NE(tool->Session(), nullptr) << "the stroke made the session";
    const mtxFillMaps& maps = tool->Session()->maps;
    ASSERT_TRUE(maps.Has(mtxFillMaps::kProtect));
    EXPECT_FALSE(maps.Has(mtxFillMaps::kDetail));
    int set = 0, wrong = 0;
    for (int y = 0; y < 72; ++y)
        for (int x = 0; x < 96; ++x) {
            set += maps.Protected(x, y);
            wrong += maps.Protected(x, y) != Within(x, y, 30, 36, 50, 36, 12);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(set, 700);

    ASSERT_TRUE(GoAndPrepare());
    tool->RefreshLayer();
    const std::vector<uint32_t> bare = PixelsOf(picture.Image());
    for (int i = 0; i < 40; ++i) {
        now += 5;
        tool->OnTimer(tool->timerId);
    }
    // A second stroke while it runs: the stamps from now on keep off it.
    tool->Process(mtxIEMdfField::kBrushSize, 0);
    drag(70, 12, 80, 12);
    ASSERT_EQ(tool->state, mtxIEMdfField::kRunning) << "the run went on";
    tool->RefreshLayer();
    const std::vector<uint32_t> atStroke = PixelsOf(picture.Image());
    RunToTheEnd();
    const std::vector<uint32_t> after = PixelsOf(picture.Image());
    int touched = 0, changedElsewhere = 0;
    for (int y = 0; y < 72; ++y)
        for (int x = 0; x < 96; ++x) {
            size_t i = size_t(y) * 96 + size_t(x);
            if (Within(x, y, 30, 36, 50, 36, 12))
                touched += after[i] != bare[i];
            else if (Within(x, y, 70, 12, 80, 12, 4))
                touched += after[i] != atStroke[i];
            else
                changedElsewhere += after[i] != bare[i];
        }
    EXPECT_EQ(touched, 0);
    // The stamps take the areas' colours: their edges and shading show.
    EXPECT_GT(changedElsewhere, 1000);
    EXPECT_GT(tool->Session()->Coverage(), 0.9) << "the run covered the rest";
    EXPECT_TRUE(messages.empty());
}

// Pixels protected after the preparation, while the run goes on, are no
// longer left to cover: half the picture protected, the run covers the rest
// and the bar says all is covered. Taking the stroke back (Undo) counts that
// half again, still mostly bare, and Redo discounts it once more.
TEST_F(ToolTest, PixelsProtectedDuringTheRunAreNotLeftToCover) {
    FineAndFast();
    Picture picture(editor, 96, 72);
    Open(picture);
    ASSERT_TRUE(GoAndPrepare());
    ASSERT_EQ(tool->state, mtxIEMdfField::kRunning);
    std::vector<mtxMapStroke> strokes;
    tool->onStroke = [&](const mtxMapStroke& stroke) { strokes.push_back(stroke); };
    tool->Process(mtxIEMdfField::kHand, mtxMapBrush::kProtect);
    tool->Process(mtxIEMdfField::kBrushSize, 2);
    ASSERT_EQ(tool->brush.radius, 32);
    Drag(80, 0, 80, 71);  // every pixel from x = 48 on
    ASSERT_EQ(strokes.size(), 1u);
    const mtxFillMaps& maps = tool->Session()->maps;
    int protectedPixels = 0;
    for (int y = 0; y < 72; ++y)
        for (int x = 0; x < 96; ++x) protectedPixels += maps.Protected(x, y);
    ASSERT_EQ(protectedPixels, 48 * 72);
    RunToTheEnd();
    ASSERT_NE(tool->state, mtxIEMdfField::kRunning);
    mtxFillSession& session = *tool->Session();
    EXPECT_GT(session.Coverage(), 0.97);
    EXPECT_EQ(tool->coverageLabel->text.rfind("Covered 100 %", 0), 0u) << tool->coverageLabel->text;

    ASSERT_EQ(tool->ApplyStroke(strokes[0], true), 1);
    EXPECT_LT(session.Coverage(), 0.75) << "the protected half was left bare";
    EXPECT_EQ(tool->coverageLabel->text.rfind("Covered 100 %", 0), std::string::npos);
    ASSERT_EQ(tool->ApplyStroke(strokes[0], false), 1);
    EXPECT_GT(session.Coverage(), 0.97);
    // Classic ignores the protection: the bare half counts again, and
    // back in Fine it does not. The picture (its own content the background)
    // stays as it is.
    const std::vector<uint32_t> filled = PixelsOf(picture.Image());
    samples.fillMode = SampleCollection::kModeClassic;
    tool->OnOptionsChanged();
    EXPECT_EQ(PixelsOf(picture.Image()), filled);
    EXPECT_LT(session.Coverage(), 0.75);
    samples.fillMode = SampleCollection::kModeFine;
    tool->OnOptionsChanged();
    EXPECT_GT(session.Coverage(), 0.97);
    EXPECT_TRUE(messages.empty());
}

// The Neutral hand paints the detail plane back to no preference: where it
// passed the plane holds the neutral level again, elsewhere what was painted
// before; and a Fine run over a plane painted back everywhere places the
// stamps a run without any plane places.
TEST_F(ToolTest, TheNeutralHandPaintsTheDetailBackAndTheRunIsAsWithoutAPlane) {
    FineAndFast();
    auto fillOnce = [&](bool painted) {
        Picture picture(editor, 96, 72);
        Open(picture);
        if (painted) {
            tool->Process(mtxIEMdfField::kHand, mtxMapBrush::kFiner);
            tool->Process(mtxIEMdfField::kBrushSize, 3);  // r 80: the whole picture
            Drag(0, 36, 95, 36);
            tool->Process(mtxIEMdfField::kHand, mtxMapBrush::kCoarser);
            tool->Process(mtxIEMdfField::kBrushSize, 0);  // r 4
            Drag(10, 10, 60, 10);
            tool->Process(mtxIEMdfField::kHand, mtxMapBrush::kNeutral);
            EXPECT_EQ(tool->handList->Selection(), int(mtxMapBrush::kNeutral));
            Drag(30, 4, 30, 50);
            const uint8_t* plane = tool->Session()->maps.Data(mtxFillMaps::kDetail);
            int wrong = 0;
            for (int y = 0; y < 72; ++y)
                for (int x = 0; x < 96; ++x) {
                    const int expected = Within(x, y, 30, 4, 30, 50, 4) ? mtxFillMaps::kNeutral
                                         : Within(x, y, 10, 10, 60, 10, 4)
                                             ? mtxFillMaps::kNeutral - 64
                                             : mtxFillMaps::kNeutral + 64;
                    wrong += plane[y * 96 + x] != expected;
                }
            EXPECT_EQ(wrong, 0);
            EXPECT_FALSE(tool->Session()->maps.Has(mtxFillMaps::kProtect));
            tool->Process(mtxIEMdfField::kBrushSize, 3);
            Drag(0, 36, 95, 36);
            EXPECT_EQ(std::count(plane, plane + 96 * 72, mtxFillMaps::kNeutral), 96 * 72);
        } else {
            // A click beside the picture makes the session and paints nothing.
            tool->Process(mtxIEMdfField::kHand, mtxMapBrush::kNeutral);
            const POINT beside = viewer->LocalToEditor(POINT{5, 5});
            ui_test::Click(editor, beside.x, beside.y);
            EXPECT_FALSE(tool->Session()->maps.Has(mtxFillMaps::kDetail));
        }
        tool->Process(mtxIEMdfField::kHand, mtxMapBrush::kNone);
        tool->Session()->Seed(9);
        tool->Process(mtxIEMdfField::kGo, 0);
        WaitForPreparation();
        RunToTheEnd();
        std::vector<mtxStamp> stamps;
        const mtxStampLog& log = tool->Session()->log;
        for (uint64_t i = 0; i < log.Count(); ++i) stamps.push_back(log.At(i));
        tool->OnPictureOpening();
        viewer->SetStack(nullptr);
        return stamps;
    };
    const std::vector<mtxStamp> painted = fillOnce(true), plain = fillOnce(false);
    ASSERT_GT(plain.size(), 20u);
    ASSERT_EQ(painted.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        const mtxStamp &a = painted[i], &b = plain[i];
        ASSERT_TRUE(a.x == b.x && a.y == b.y && a.size == b.size && a.sample == b.sample &&
                    a.angle == b.angle)
            << "stamp " << i;
    }
    EXPECT_TRUE(messages.empty());
}

// Ctrl with the wheel over the picture steps the stamp brush's sample through
// the bar's list, towards the user down the list and no further than its
// ends; the plain wheel still scrolls the viewer, and other hands leave
// Ctrl's turns alone.
TEST_F(ToolTest, CtrlAndTheWheelStepTheStampBrushThroughTheSamples) {
    AddDiscs(samples, editor.GetDevice(), 3);
    Picture picture(editor, 600, 500);  // taller than the viewer: it scrolls
    Open(picture);
    const POINT at = viewer->LocalToEditor(POINT{40, 40});
    const int any = mtxStampBrush::kAnySample;
    auto turn = [&](int notches, uint32_t keys) {
        return ui_test::Wheel(editor, at.x, at.y, notches * mtxOs::WHEEL_DELTA, keys);
    };
    EXPECT_EQ(turn(-1, mtxOs::MK_CONTROL), 0) << "no hand: the turn is no one's";
    tool->Process(mtxIEMdfField::kStampHand, mtxStampHand::kBrush);
    ASSERT_EQ(tool->stampHand.brush.sample, any);
    EXPECT_EQ(turn(-1, mtxOs::MK_CONTROL), 1);
    EXPECT_EQ(tool->stampHand.brush.sample, 0);
    EXPECT_EQ(tool->sampleList->Selection(), 1);
    turn(-2, mtxOs::MK_CONTROL);
    EXPECT_EQ(tool->stampHand.brush.sample, 2);
    turn(-1, mtxOs::MK_CONTROL);
    EXPECT_EQ(tool->stampHand.brush.sample, 2) << "the last stays";
    EXPECT_EQ(tool->sampleList->Selection(), 3);
    turn(1, mtxOs::MK_CONTROL);
    EXPECT_EQ(tool->stampHand.brush.sample, 1);
    turn(5, mtxOs::MK_CONTROL);
    EXPECT_EQ(tool->stampHand.brush.sample, any);
    EXPECT_EQ(tool->sampleList->Selection(), 0);
    EXPECT_EQ(viewer->scrollY, 0) << "Ctrl's turns scroll nothing";

    EXPECT_EQ(turn(-1, 0), 1);
    EXPECT_EQ(viewer->scrollY, mtxIEViewer::kWheelStep);
    EXPECT_EQ(tool->stampHand.brush.sample, any);
    tool->Process(mtxIEMdfField::kStampHand, mtxStampHand::kEraser);
    EXPECT_EQ(turn(-1, mtxOs::MK_CONTROL), 0);
    EXPECT_EQ(tool->stampHand.brush.sample, any);
    EXPECT_TRUE(messages.empty());
}

// While a hand is chosen the planes show as a tint over the picture (red
// where protected), a stroke repainting only around itself; without a hand
// the picture shows as it is.
TEST_F(ToolTest, TheProtectedPlaneShowsTintedWhileAHandIsChosen) {
    Picture picture(editor, 96, 72);
    Open(picture);
    tool->SetHand(mtxMapBrush::kProtect);
    tool->brush.radius = 6;
    auto paint = [&] {
        editor.AddDirty(editor.clientRect);
        editor.Paint();
        return ui_test::ReadBack(editor);
    };
    const ui_test::Pixels bare = paint();
    editor.dirtyRect = {};
    editor.dirtyParts.clear();
    POINT local = viewer->PictureOrigin();
    tool->OnLButtonDown(local.x + 20, local.y + 30, 0);
    const POINT at = viewer->LocalToEditor(POINT{local.x + 20, local.y + 30});
    const RECT dirty = editor.dirtyRect;  // releasing the capture paints
    tool->OnLButtonUp(local.x + 20, local.y + 30, 0);
    EXPECT_LE(at.x - dirty.left, 6 + 2);
    EXPECT_LE(dirty.right - at.x, 6 + 2);
    EXPECT_LE(at.y - dirty.top, 6 + 2);
    EXPECT_LE(dirty.bottom - at.y, 6 + 2);
    const ui_test::Pixels tinted = paint();
    auto red = [](uint32_t c) { return int((c >> 16) & 0xFF); };
    EXPECT_GT(red(tinted.At(at.x, at.y)), red(bare.At(at.x, at.y)) + 40);
    EXPECT_EQ(tinted.At(at.x + 10, at.y), bare.At(at.x + 10, at.y)) << "outside the stroke";
    tool->SetHand(mtxMapBrush::kNone);
    EXPECT_EQ(paint().At(at.x, at.y), bare.At(at.x, at.y));
}

// The bar shows the rate while it runs, and in Fast the time to the usual stop.
TEST_F(ToolTest, TheBarShowsTheRateAndInFastTheTimeLeft) {
    AddDiscs(samples, editor.GetDevice(), 3);
    samples.speed = SampleCollection::kSpeedFast;
    tick = 1;
    Picture picture(editor, 200, 140);
    Open(picture);
    ASSERT_TRUE(GoAndPrepare());
    Ticks(30, 20);  // batches of 20 steps: still short of the stop
    const std::string& text = tool->coverageLabel->text;
    EXPECT_EQ(text.rfind("Covered ", 0), 0u) << text;
    EXPECT_NE(text.find("/s"), std::string::npos) << text;
    EXPECT_NE(text.find(" s to 95 %"), std::string::npos) << text;
    tool->Process(mtxIEMdfField::kSpeed, 0);
    Ticks(60, 20);
    EXPECT_NE(text.find("/s"), std::string::npos) << text;
    EXPECT_EQ(text.find(" s to "), std::string::npos) << "Calm shows no time left: " << text;
    tool->Process(mtxIEMdfField::kStop, 0);
    EXPECT_EQ(text.find("/s"), std::string::npos) << "stopped: " << text;
}

}  // namespace
