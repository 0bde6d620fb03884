#include "app/filling/mdf_field.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/filling/lawn_sample_dlg.h"
#include "base/application.h"
#include "fill/sample_collection.h"
#include "platform/cpu.h"
#include "platform/window.h"
#include "platform/window_messages.h"
#include "render/layers/layer_transform.h"
#include "ui/button.h"
#include "ui/combo_box.h"
#include "ui/cursor.h"
#include "ui/image_editor.h"
#include "ui/label.h"
#include "ui/message_box.h"
#include "ui/primitives.h"
#include "ui/strings.h"
#include "ui/tool_bar.h"
#include "ui/viewer/viewer.h"

namespace {

// With DAUBRY_RUN_LOG naming a file, the steady clock's microsecond (the
// frame log's clock) at which each run starts and stops, so a benchmark can
// tell the frames of a run from those of its preparation.
void NoteRun(const char* what) {
    const char* path = std::getenv("DAUBRY_RUN_LOG");
    if (!path || !*path) return;
    std::FILE* file = std::fopen(path, "a");
    if (!file) return;
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::fprintf(
        file, "%lld %s\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()),
        what);
    std::fclose(file);
}

uint64_t NextSessionNumber() {
    static uint64_t made = 0;  // sessions live on the user-interface thread
    return ++made;
}

}  // namespace

// Carries the completion of one run to the tool. A run that was abandoned
// takes its relay with it, so a completion it had already posted is dropped.
class mtxIEMdfField::Relay : public mtxIEActionProcessor {
  public:
    explicit Relay(mtxIEMdfField& owner) : tool(owner) {}
    int Process(uint32_t action, uint16_t value) override { return tool.Process(action, value); }
    mtxIEMdfField& tool;
};

mtxIEMdfField::Task::Task(mtxImageEditor* editor, mtxIEMdfField& owner, mtxFillSession& run)
    : mtxIETask(editor), tool(owner), session(run) {}

mtxIEMdfField::Task::~Task() {
    Shutdown();
}

int mtxIEMdfField::Task::Begin() {
    refused = 0;
    if (!session.BeginPreparation()) {
        refused = 1;
        return 0;
    }
    return StartWork(mtxIELoadString(302, "Preparing Image"));
}

int mtxIEMdfField::Task::Step() {
    if (!session.PrepareSlice()) {
        if (StopRequested()) {
            PostCompletion(0);
            return 1;
        }
        SetProgress(session.Progress());
        PostAction(kProgress);
        return 0;
    }
    SetProgress(100);
    if (!StopRequested()) PostAction(kProgress);
    PostAction(kFinished);
    PostCompletion(session.Analysed() && !StopRequested() ? 1 : 0);
    return 1;
}

mtxIEMdfField::mtxIEMdfField(mtxIEViewer* owner, mtxIEToolBar* bar, SampleCollection& collection)
    : mtxIEMdf(owner, bar), samples(collection) {
    clock = [] { return mtxOs::Milliseconds(); };
    showMessage = [this](const std::string& text) {
        if (editor) new mtxIEMessageBox(editor, text.c_str(), nullptr);  // the editor owns it
    };
    BuildToolBar();
    pace.Restart(clock());
    if (mtxApplication* app = mtxGetApp()) timerId = app->ids.Take();
    if (timerId && editor && editor->Handle()) mtxOs::SetTimer(editor->Handle(), timerId, 1);
}

mtxIEMdfField::~mtxIEMdfField() {
    // A run still starting ends with its background: nothing of it is left to do.
    startPiece_ = StartPiece::kNone;
    // A batch placed and not drawn is drawn where the layer is still the
    // session's (without one, the picture may be gone already).
    const bool placedNotDrawn = ahead_.launched || !taken_.empty();
    if (placedNotDrawn && HasPicture() && SessionCurrent()) Settle();
    Abandon();
    state = kStopped;
    painting_ = false;  // a stroke under way is not recorded by a tool that goes
    // Another tool replaces this one: the run so far is one change.
    if (changeOpen_ && onChangeEnded && HasPicture() && SessionCurrent()) {
        RefreshLayer();
        EndChange();
    }
    CancelChange();
    if (timerId) {
        if (editor && editor->Handle()) mtxOs::KillTimer(editor->Handle(), timerId);
        if (mtxApplication* app = mtxGetApp()) app->ids.Give(uint16_t(timerId));
        timerId = 0;
    }
    CancelPreparation();
    session_.reset();
}

void mtxIEMdfField::BuildToolBar() {
    Settle();  // the bar shows the session's coverage
    mtxIEMdf::BuildToolBar();
    if (!toolBar) return;
    static const struct {
        uint32_t string;
        const char* fallback;
        uint32_t action;
    } kButtons[4] = {
        {300, "Go", kGo}, {301, "Stop", kStop}, {319, "Samples", kSamples}, {322, "Clear", kClear}};
    for (int i = 0; i < 4; ++i) {
        auto* button = new mtxIEButton(toolBar);
        button->rect = {0, 0, 85, 35};
        button->SetCaption(mtxIELoadString(kButtons[i].string, kButtons[i].fallback));
        // Posted, so a press that outlives the tool is dropped.
        button->SetAction(this, kButtons[i].action, 0);
        button->Show(1);
        toolBar->AddItem(button, 0, 5);
        buttons[i] = button;
    }
    speedList = new mtxIEComboBox(toolBar);
    speedList->rect = {0, 0, 85, speedList->Height()};
    speedList->AddItem(mtxIELoadString(760, "Calm"), SampleCollection::kSpeedCalm);
    speedList->AddItem(mtxIELoadString(761, "Fast"), SampleCollection::kSpeedFast);
    speedList->Select(samples.speed == SampleCollection::kSpeedCalm ? 0 : 1);
    speedList->SetAction(this, kSpeed, 0);
    speedList->Show(1);
    toolBar->AddItem(speedList, 0, 10);
    BuildHandItems();
    sampleList = new mtxIEComboBox(toolBar);
    sampleList->rect = {0, 0, 110, sampleList->Height()};
    sampleList->SetAction(this, kStampSample, 0);
    sampleList->Show(1);
    toolBar->AddItem(sampleList, 0, 5);
    ShowSampleItems();
    coverageLabel = new mtxIELabel(toolBar);
    coverageLabel->rect = {0, 0, 260, 35};
    coverageLabel->Show(1);
    toolBar->AddItem(coverageLabel, 0, 10);
    ShowCoverage(true);
}

int mtxIEMdfField::Process(uint32_t action, uint16_t value) {
    Settle();
    switch (action) {
        case kGo:
            Go();
            return 1;
        case kStop:
            Stop();
            return 1;
        case kSamples:
            if (openSamples) openSamples();
            return 1;
        case kTaskDone:
            TaskDone(value & 1);
            return 1;
        case kClear:
            if (Prepared() && SessionCurrent()) {
                PrepareBackground();
                ++backgroundResets;
            }
            return 1;
        case kSpeed:
            SetSpeed(value == 0 ? SampleCollection::kSpeedCalm : SampleCollection::kSpeedFast);
            return 1;
        case kSamplesChosen:
            // Closed without samples: the user has given up for now.
            if (samples.count > 0) Go();
            return 1;
        case kHand:
            SetHand(value <= mtxMapBrush::kUnprotect ? mtxMapBrush::Mode(value)
                                                     : mtxMapBrush::kNone);
            return 1;
        case kBrushSize:
            if (value < std::size(kBrushSizes)) {
                brush.radius = stampHand.radius = kBrushSizes[value];
                stampHand.brush.size = 2 * kBrushSizes[value];
            }
            return 1;
        case kStampHand:
            SetStampHand(value <= mtxStampHand::kEraser ? mtxStampHand::Mode(value)
                                                        : mtxStampHand::kOff);
            return 1;
        case kStampSample:
            stampHand.brush.sample = value > 0 && value <= samples.count
                                         ? int32_t(value) - 1
                                         : mtxStampBrush::kAnySample;
            return 1;
        case kStrength:
            if (value < std::size(kStrengths)) brush.strength = kStrengths[value];
            return 1;
        default:
            return 0;
    }
}

void mtxIEMdfField::SetSpeed(uint32_t speed) {
    samples.speed = speed;
    // The new pace starts from now; the stamps go on where they were.
    if (state == kRunning) pace.Restart(clock());
    if (speedList) speedList->Select(speed == SampleCollection::kSpeedCalm ? 0 : 1);
    ShowCoverage(true);
}

void mtxIEMdfField::ShowSpeed() {
    if (speedList && IsOwnBarItem(speedList))
        speedList->Select(samples.speed == SampleCollection::kSpeedCalm ? 0 : 1);
}

bool mtxIEMdfField::IsOwnBarItem(const mtxIECtrl* control) const {
    return control && toolBar &&
           std::find(toolBar->children.begin(), toolBar->children.end(), control) !=
               toolBar->children.end();
}

bool mtxIEMdfField::HasPicture() {
    mtxIEViewerLayer* layer = viewer && viewer->GetStack() ? viewer->GetLayer(0) : nullptr;
    return layer && layer->source && layer->source->width > 0 && layer->source->height > 0;
}

bool mtxIEMdfField::SessionCurrent() {
    if (!session_) return false;
    mtxIEViewerLayer* layer = HasPicture() ? viewer->GetLayer(0) : nullptr;
    if (layer && layer == sessionLayer_ && layer->source == sessionPicture_ &&
        viewer->pictureSerial == sessionSerial_)
        return true;
    DropSession();
    return false;
}

void mtxIEMdfField::DropSession() {
    Abandon();
    // The change began on a picture that is gone or no longer the tool's.
    CancelChange();
    CancelPreparation();
    // The session's layer may be gone already: its waiting stamps went with
    // it, or go with the layer's next source.
    session_.reset();
    sessionLayer_ = nullptr;
    sessionPicture_ = nullptr;
    state = kStopped;
    startPiece_ = StartPiece::kNone;
}

void mtxIEMdfField::CancelPreparation() {
    relay_.reset();
    if (!task_) return;
    if (session_) session_->stop = 1;
    // The editor joins the task's thread: the session is free afterwards.
    if (editor && editor->CurrentTask() == task_) editor->DestroyTask(task_);
    task_ = nullptr;
}

void mtxIEMdfField::Go() {
    if (!HasPicture()) {
        showMessage(
            mtxIELoadString(740, "Open a photo first: File, Open, or drop it on the window."));
        return;
    }
    // Before anything is prepared: the photo stays as it is until there is
    // something to fill it with.
    if (samples.count < 1) {
        ChooseSamples();
        return;
    }
    if (task_ && editor->CurrentTask() != task_) {
        // The editor destroyed the task for another one: its run is over.
        task_ = nullptr;
        relay_.reset();
    }
    if (task_) return;
    if (SessionCurrent() && session_->prepared) {
        StartRunning();
        return;
    }
    EnsureSession();
    state = kStopped;
    relay_ = std::make_unique<Relay>(*this);
    task_ = new Task(editor, *this, *session_);  // the editor owns it
    task_->SetCompletion(relay_.get(), kTaskDone);
    if (!task_->Start() || !task_->Begin()) {
        // StartWork tells the user of its own failures.
        bool refused = task_->refused != 0;
        CancelPreparation();
        if (refused)
            showMessage(mtxIELoadString(723, "This picture cannot be prepared for filling."));
    }
}

mtxFillSession* mtxIEMdfField::EnsureSession() {
    if (!HasPicture()) return nullptr;
    if (SessionCurrent()) return session_.get();
    sessionLayer_ = viewer->GetLayer(0);
    sessionPicture_ = sessionLayer_->source;
    sessionSerial_ = viewer->pictureSerial;
    session_ = std::make_unique<mtxFillSession>(*editor, samples, *sessionLayer_);
    sessionNumber_ = NextSessionNumber();
    return session_.get();
}

void mtxIEMdfField::ChooseSamples() {
    mtxIELawnSampleDlg* dialog = openSamples ? openSamples() : nullptr;
    if (dialog)
        dialog->SetCloseAction(this, kSamplesChosen);
    else
        showMessage(mtxIELoadString(702, "You should select samples"));
}

void mtxIEMdfField::StartRunning() {
    ahead_.ended = false;
    // After a save the run goes on inside the change it began.
    if (!changeOpen_) StartChange("Fill");
    state = kRunning;
    placementsAtStart_ = placements;
    restartedAtEnd_ = false;
    uint32_t now = clock();
    lastCheckpoint_ = now;
    pace.Restart(now);
    rate.Restart(now, session_->stamps, session_->Coverage());
    ShowCoverage(true);
    NoteRun("start");
}

void mtxIEMdfField::Stop() {
    if (!HasPicture()) {
        showMessage(mtxIELoadString(701, "Just open any image"));
        return;
    }
    if (task_ && editor->CurrentTask() == task_) {
        editor->SendCommand(task_, mtxIETask::kCancel, 0);
        return;
    }
    EndRun();
    ShowCoverage(true);
}

void mtxIEMdfField::EndRun() {
    Settle();
    EndWorker();
    state = kStopped;
    // The last batch shows before the change is recorded, which takes a
    // while on a large picture: the picture stands still as soon as it stops.
    ShowDrawnNow();
    NoteRun("stop");
    RefreshLayer();
    EndChange();
    if (onCheckpoint) onCheckpoint();
}

int mtxIEMdfField::Reopen(const mtxStampLog& log) {
    Settle();
    DropSession();
    if (!HasPicture()) return 0;
    sessionLayer_ = viewer->GetLayer(0);
    sessionPicture_ = sessionLayer_->source;
    sessionSerial_ = viewer->pictureSerial;
    session_ = std::make_unique<mtxFillSession>(*editor, samples, *sessionLayer_);
    sessionNumber_ = NextSessionNumber();
    if (!session_->Reopen(log)) {
        DropSession();
        return 0;
    }
    RefreshLayer();
    viewer->Invalidate();
    ShowCoverage(true);
    return 1;
}

void mtxIEMdfField::TaskDone(int value) {
    Task* done = task_;
    if (!done) return;
    task_ = nullptr;
    if (editor->CurrentTask() == done) editor->DestroyTask(done);
    if (value != 1 || !SessionCurrent()) return;
    // The background it applies is a change of its own, before the run's.
    StartChange("Background");
    if (!session_->FinishPreparation()) {
        CancelChange();
        showMessage(mtxIELoadString(723, "This picture cannot be prepared for filling."));
        return;
    }
    viewer->Invalidate();
    // The Background change ends and the run's begins over the next ticks.
    state = kRunning;
    startPiece_ = StartPiece::kEndBackground;
}

bool mtxIEMdfField::TakeStartPiece() {
    if (startPiece_ == StartPiece::kNone || inStartPiece_) return false;
    const StartPiece piece = startPiece_;
    startPiece_ =
        piece == StartPiece::kStartRun ? StartPiece::kNone : StartPiece(uint8_t(piece) + 1);
    // What a piece calls back (the history settling the tool) must not take
    // the next piece inside it.
    inStartPiece_ = true;
    switch (piece) {
        case StartPiece::kEndBackground:
            EndChange();
            break;
        case StartPiece::kReadShapes:
            if (session_) session_->ReadShapes();
            break;
        case StartPiece::kStartRun:
            if (session_ && state == kRunning) StartRunning();
            break;
        case StartPiece::kNone:
            break;
    }
    inStartPiece_ = false;
    return true;
}

void mtxIEMdfField::FinishStarting() {
    while (TakeStartPiece()) {
    }
}

void mtxIEMdfField::PrepareBackground() {
    if (!HasPicture() || !SessionCurrent()) return;
    // The new background is undone on its own.
    BetweenRunChanges([this] {
        StartChange("Background");
        session_->PrepareBackground();
        EndChange();
    });
    viewer->Invalidate();
    ShowCoverage(true);
}

void mtxIEMdfField::BetweenRunChanges(const std::function<void()>& change) {
    const bool running = changeOpen_;
    if (running) {
        RefreshLayer();
        EndChange();
    }
    change();
    if (running) StartChange("Fill");
}

void mtxIEMdfField::StartChange(const std::string& name) {
    if (changeOpen_) return;
    changeOpen_ = true;
    if (onChangeStarting) onChangeStarting(name);
}

void mtxIEMdfField::EndChange() {
    if (!changeOpen_) return;
    changeOpen_ = false;
    if (onChangeEnded) onChangeEnded();
}

void mtxIEMdfField::CancelChange() {
    if (!changeOpen_) return;
    changeOpen_ = false;
    if (onChangeCancelled) onChangeCancelled();
}

void mtxIEMdfField::PictureRestored() {
    Settle();
    // The stamps placed next are drawn on the device's tiles, which must show
    // the restored picture before the viewer's next paint would upload it.
    if (HasPicture()) viewer->GetLayer(0)->UploadChanges();
    if (Prepared() && SessionCurrent()) session_->RecountCoverage();
    ShowCoverage(true);
}

void mtxIEMdfField::RefreshLayer() {
    Settle();
    if (!HasPicture()) {
        showMessage(mtxIELoadString(701, "Just open any image"));
        return;
    }
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (device && !editor->lost && device->TestCooperativeLevel() == D3D_OK)
        viewer->GetLayer(0)->CommitTiles();
}

void mtxIEMdfField::OnTimer(uintptr_t id) {
    if (timerId && id == timerId) Tick();
    mtxIECtrl::OnTimer(id);
}

void mtxIEMdfField::Tick() {
    // Placed on this thread, a step re-entered the message loop: no batch
    // inside the batch.
    if (placingInline_ || state != kRunning) return;
    if (!SessionCurrent() || !session_->prepared) {
        state = kStopped;
        CancelChange();
        return;
    }
    if (Starting()) {
        TakeStartPiece();
        return;
    }
    if (samples.speed != SampleCollection::kSpeedCalm) {
        TickAhead();
        return;
    }
    // The speed may have changed with a Fast batch out.
    Settle();
    // The checkpoint goes by the time of the last placement: the clock is
    // read by the pace alone.
    uint32_t placedAt = lastCheckpoint_;
    session_->OpenBatch();
    pace.Tick(clock, [this, &placedAt](uint32_t now) {
        placedAt = now;
        PlaceOne(now);
    });
    if (session_) session_->CloseBatch();
    ShowCoverage(false);
    if (state == kRunning && placedAt - lastCheckpoint_ >= kCheckpointEvery) {
        lastCheckpoint_ = placedAt;
        if (onCheckpoint) onCheckpoint();
    }
}

// The worker places the next batch while this thread draws the last one and
// the window shows it, so the engine's steps have a core of their own. A
// frame after its launch the batch is handed in as it stands, and the next
// one launched at once. The session is the worker's from the launch until
// TakeAhead; everything else that touches it settles first. A frame draws
// stamps for its budget at most (DrawBudget): when the drawing falls behind
// the placing, no batch goes out until the frames have caught up, so the
// picture on the screen stays within a frame of the log.
void mtxIEMdfField::TickAhead() {
    // A tick that re-entered the message loop (drawing reads the clock, a
    // message box) starts nothing of its own inside it.
    if (ticking_) return;
    ticking_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{ticking_};
    if (worker_ && worker_->Busy()) {
        // The batch ends after the step under way; this thread does not wait.
        if (clock() - lastLaunch_ >= mtxFillPace::kFrameMs)
            handIn_.store(true, std::memory_order_relaxed);
        // A few stamps left over wait for the batch on its way rather than
        // take the frame's drawing for themselves.
        if (handIn_.load(std::memory_order_relaxed) && FewTaken()) return;
    } else if (!TakeAndLaunch()) {
        return;
    }
    if (!DrewThisFrame()) drawnLastFrame_ = DrawTaken(DrawBudget());
}

bool mtxIEMdfField::FewTaken() const {
    return drawEstimate_.Fitting(taken_, DrawBudget() / 2) == taken_.size();
}

// Takes in the batch the worker placed and sends out the next at once, so
// the worker waits for nothing but the drawing falling behind; false when
// the run ended.
bool mtxIEMdfField::TakeAndLaunch() {
    const size_t behind = taken_.size();
    TakeAhead();
    if (ahead_.ended) {
        DrawTaken();
        ahead_.ended = false;
        AfterStep(ahead_.last, nullptr);
        if (state != kRunning) return false;
    }
    const uint32_t now = clock();
    ShowCoverage(false);
    if (now - lastCheckpoint_ >= kCheckpointEvery) {
        // The copy is taken of the log and the picture as far as placed,
        // and what it holds is on the screen meanwhile.
        DrawTaken();
        ShowDrawnNow();
        lastCheckpoint_ = now;
        if (onCheckpoint) onCheckpoint();
        if (state != kRunning) return false;
    }
    if (behind > drawnLastFrame_) return true;
    // A batch placed here is drawn at once: none is left out between ticks.
    if (!LaunchAhead(now)) Settle();
    return true;
}

// Stamps are drawn once a frame: the window shows at most one frame every
// kFrameMs, and a tick drawing while that frame waits would hold it back.
bool mtxIEMdfField::DrewThisFrame() const {
    return clock() - drawnAt_ < mtxFillPace::kFrameMs;
}

// The window draws the view of a frame's stamps after them, in the same
// frame: a view that took long to draw (stamps all over it) leaves the
// stamps less time.
uint32_t mtxIEMdfField::DrawBudget() const {
    const uint32_t shown = editor ? editor->frameMs : 0;
    const uint32_t left = mtxFillPace::kFrameAimMs > shown ? mtxFillPace::kFrameAimMs - shown : 0;
    return std::clamp(left, mtxFillPace::kLeastDrawMs, mtxFillPace::kDrawMs);
}

bool mtxIEMdfField::LaunchAhead(uint32_t now) {
    // An open dialog may change the samples between two ticks, while a batch
    // on the worker would be reading them.
    const bool onWorker = placeOnWorker && !(editor && editor->TopModal());
    if (onWorker && !worker_) {
        worker_ = std::make_unique<mtxJobThread>();
        if (!worker_->Start()) worker_.reset();
    }
    ahead_.launched = true;
    lastLaunch_ = now;
    handIn_.store(false, std::memory_order_relaxed);
    session_->PlaceOnly(true);
    auto job = [this, session = session_.get(), now] { PlaceAhead(*session, now); };
    if (onWorker && worker_) {
        worker_->Hand(job);
        return true;
    }
    placingInline_ = true;
    job();
    placingInline_ = false;
    return false;
}

// On the worker: steps until the batch is handed in, for at most
// kLongestBatchMs of the clock, keeping what they placed. Nothing else
// touches the session or the run's state meanwhile; without a worker a Stop
// may come from inside a step (a message box).
void mtxIEMdfField::PlaceAhead(mtxFillSession& session, uint32_t now) {
    const uint32_t start = clock();
    for (int i = 0; i < mtxFillPace::kMaxBatch && state == kRunning; ++i) {
        mtxStamp stamp;
        mtxPlaceResult result = session.Step(now, &stamp);
        if (result == mtxPlaceResult::kPlaced) {
            ahead_.stamps.push_back(stamp);
        } else if (result != mtxPlaceResult::kNoRoom) {
            ahead_.last = result;
            ahead_.ended = true;
            return;
        }
        if (handIn_.load(std::memory_order_relaxed) ||
            clock() - start >= mtxFillPace::kLongestBatchMs)
            return;
    }
}

void mtxIEMdfField::TakeAhead() {
    // From inside a step placed on this thread the batch is not taken: the
    // step under way still places without drawing.
    if (!ahead_.launched || placingInline_) return;
    // The batch ends after the step under way.
    handIn_.store(true, std::memory_order_relaxed);
    if (worker_) worker_->Wait();
    ahead_.launched = false;
    if (session_) session_->PlaceOnly(false);
    taken_.insert(taken_.end(), ahead_.stamps.begin(), ahead_.stamps.end());
    ahead_.stamps.clear();
}

size_t mtxIEMdfField::DrawTaken(uint32_t budgetMs) {
    if (taken_.empty() || !session_) {
        taken_.clear();
        return 0;
    }
    const uint32_t start = clock();
    size_t drawn = 0;
    while (drawn < taken_.size()) {
        const uint32_t spent = clock() - start;
        if (budgetMs && drawn && spent >= budgetMs) break;
        drawn += DrawChunk(drawn, budgetMs ? budgetMs - spent : 0);
    }
    placements += drawn;
    taken_.erase(taken_.begin(), taken_.begin() + std::ptrdiff_t(drawn));
    if (drawn) drawnAt_ = start;
    return drawn;
}

// Draws taken stamps from the index given as one batch: all that are left,
// or as many as the recent drawing says fit in budgetMs.
size_t mtxIEMdfField::DrawChunk(size_t from, uint32_t budgetMs) {
    std::span<const mtxStamp> chunk(taken_.data() + from, taken_.size() - from);
    if (budgetMs) chunk = chunk.first(drawEstimate_.Fitting(chunk, budgetMs));
    const uint32_t start = clock();
    session_->OpenBatch();
    session_->DrawPlaced(chunk);
    session_->CloseBatch();
    drawEstimate_.Note(chunk, clock() - start);
    for (const mtxStamp& stamp : chunk) ShowStamp(stamp);
    return chunk.size();
}

void mtxIEMdfField::ShowDrawnNow() {
    if (editor) editor->Paint();
}

void mtxIEMdfField::Settle() {
    FinishStarting();
    TakeAhead();
    DrawTaken();
}

void mtxIEMdfField::Abandon() {
    EndWorker();
    taken_.clear();
    ahead_.ended = false;
}

void mtxIEMdfField::EndWorker() {
    TakeAhead();
    worker_.reset();
}

bool mtxIEMdfField::PlaceOne(uint32_t now) {
    // Something the last step did (a message box, a lost device) may have
    // ended the run or the session.
    if (state != kRunning || !session_ || !session_->prepared) return false;
    mtxStamp stamp;
    mtxPlaceResult result = session_->Step(now, &stamp);
    return AfterStep(result, &stamp);
}

bool mtxIEMdfField::AfterStep(mtxPlaceResult result, const mtxStamp* stamp) {
    if (result == mtxPlaceResult::kNoSamples) {
        EndRun();
        showMessage(mtxIELoadString(702, "You should select samples"));
        return false;
    }
    if (result == mtxPlaceResult::kPlaced) {
        ++placements;
        if (stamp) ShowStamp(*stamp);
    } else if (result == mtxPlaceResult::kFinished) {
        // Go always adds to the picture: a run found at its end, or ending
        // before it placed anything, gives way to the next one, once.
        if (placements == placementsAtStart_ && !restartedAtEnd_) {
            restartedAtEnd_ = true;
            session_->GoOn();
            return state == kRunning;
        }
        // The Fine mode's run is complete: the picture is covered.
        EndRun();
        ShowCoverage(true);
        return false;
    }
    return state == kRunning;
}

// Repaints what the stamp covers, with a pixel more for the filtering.
void mtxIEMdfField::ShowStamp(const mtxStamp& stamp) {
    float left = 0, top = 0, right = 0, bottom = 0;
    for (int i = 0; i < 4; ++i) {
        float x = 0, y = 0;
        if (!stamp.quad.Corner(i, &x, &y)) {
            viewer->InvalidateRect(viewer->PictureRect());
            return;
        }
        left = i ? std::min(left, x) : x, right = i ? std::max(right, x) : x;
        top = i ? std::min(top, y) : y, bottom = i ? std::max(bottom, y) : y;
    }
    // The layer's own transform places it in the picture.
    const mtxImageStack::Layer* layer = sessionLayer_ ? sessionLayer_->stackLayer : nullptr;
    mtxRect box = layer ? mtxLayerTransform::MapBounds(
                              layer->transform, int(std::floor(left)) - 2, int(std::floor(top)) - 2,
                              int(std::ceil(right - left)) + 5, int(std::ceil(bottom - top)) + 5)
                        : mtxRect{};
    viewer->InvalidatePicture(box);
}

void mtxIEMdfField::ShowCoverage(bool force) {
    // Another tool may have emptied the bar, and the label with it.
    if (!IsOwnBarItem(coverageLabel)) return;
    uint32_t now = clock();
    if (!force && now - lastCoverageUpdate < kCoverageEvery) return;
    lastCoverageUpdate = now;
    if (session_ && session_->prepared) rate.Note(now, session_->stamps, session_->Coverage());
    std::string text = CoverageText();
    if (text != coverageLabel->text) coverageLabel->SetText(text, false);
}

// "Covered 40 %", and while it runs the stamps a second and, in Fast, the
// seconds left until the usual stop.
std::string mtxIEMdfField::CoverageText() {
    if (!session_ || !session_->prepared) return {};
    double coverage = session_->Coverage();
    std::string text =
        mtxIELoadString(724, "Covered") + " " + std::to_string(int(coverage * 100.0 + 0.5)) + " %";
    if (state != kRunning) return text;
    double perSecond = rate.StampsPerSecond();
    if (perSecond <= 0) return text;
    text += ", " + std::to_string(int64_t(perSecond + 0.5)) + "/s";
    if (samples.speed == SampleCollection::kSpeedCalm) return text;
    double left = rate.SecondsTo(kStopCoverage);
    if (left > 0 && left < 360000)
        text += ", " + std::to_string(int64_t(std::ceil(left))) + " s to " +
                std::to_string(int(kStopCoverage * 100.0 + 0.5)) + " %";
    return text;
}

void mtxIEMdfField::OnPictureOpening() {
    Settle();
    DropSession();
    savedState = kStopped;
    ShowCoverage(true);
}

void mtxIEMdfField::OnOptionsChanged() {
    Settle();
    // The Filling dialog may have changed the speed.
    ShowSpeed();
    ShowSampleItems();
    if (state == kRunning) pace.Restart(clock());
    if (!Prepared() || !SessionCurrent()) return;
    if (samples.background != session_->appliedBackground ||
        samples.backgroundColor != session_->appliedBackgroundColor) {
        PrepareBackground();
        ++backgroundResets;
    }
    // Only the Fine mode leaves protected pixels bare: the mode may have changed.
    session_->ProtectChanged();
    ShowCoverage(true);
}

void mtxIEMdfField::Suspend() {
    Settle();
    savedState = state;
    state = kStopped;
    if (HasPicture()) RefreshLayer();
}

void mtxIEMdfField::Resume() {
    if (savedState == kRunning && Prepared() && SessionCurrent())
        StartRunning();
    else
        state = kStopped;
}

void mtxIEMdfField::ResetBackground() {
    Settle();
    if (!Prepared()) return;
    PrepareBackground();
    ++backgroundResets;
}

void mtxIEMdfField::BuildHandItems() {
    static const struct {
        uint32_t string;
        const char* fallback;
    } kModes[] = {{770, "No brush"}, {771, "Finer"},   {772, "Coarser"},
                  {779, "Neutral"},  {773, "Protect"}, {774, "Unprotect"}};
    handList = new mtxIEComboBox(toolBar);
    handList->rect = {0, 0, 110, handList->Height()};
    for (uint32_t i = 0; i < std::size(kModes); ++i)
        handList->AddItem(mtxIELoadString(kModes[i].string, kModes[i].fallback), i);
    handList->Select(int(brush.mode));
    handList->SetAction(this, kHand, 0);
    handList->Show(1);
    toolBar->AddItem(handList, 0, 10);
    auto list = [this](const int* values, size_t count, int current, uint32_t action,
                       const char* unit) {
        auto* box = new mtxIEComboBox(toolBar);
        box->rect = {0, 0, 70, box->Height()};
        int chosen = 0;
        for (size_t i = 0; i < count; ++i) {
            box->AddItem(unit + std::to_string(values[i]), uint32_t(i));
            if (values[i] == current) chosen = int(i);
        }
        box->Select(chosen);
        box->SetAction(this, action, 0);
        box->Show(1);
        toolBar->AddItem(box, 0, 5);
        return box;
    };
    sizeList = list(kBrushSizes, std::size(kBrushSizes), brush.radius, kBrushSize, "r ");
    strengthList = list(kStrengths, std::size(kStrengths), brush.strength, kStrength, "s ");
}

void mtxIEMdfField::SetHand(mtxMapBrush::Mode mode) {
    Settle();
    FinishStroke();
    bool changed = (brush.mode == mtxMapBrush::kNone) != (mode == mtxMapBrush::kNone);
    if (mode != mtxMapBrush::kNone && stampHand.mode != mtxStampHand::kOff)
        stampHand.mode = mtxStampHand::kOff, changed = true;
    brush.mode = mode;
    if (IsOwnBarItem(handList)) handList->Select(int(mode));
    // Shown, the tool lies over the viewer's client area and takes its
    // left button; hidden, the viewer has the mouse as before.
    if (viewer) rect = viewer->GetClientRect();
    Show(HandOut());
    if (viewer) viewer->Invalidate();
    if (changed && onHandChanged) onHandChanged(mode);
}

void mtxIEMdfField::SetStampHand(mtxStampHand::Mode mode) {
    FinishStroke();
    if (mode == stampHand.mode) return;
    stampHand.mode = mode;
    if (mode != mtxStampHand::kOff) {
        brush.mode = mtxMapBrush::kNone;
        if (IsOwnBarItem(handList)) handList->Select(0);
    }
    ShowSampleItems();
    if (viewer) rect = viewer->GetClientRect();
    Show(HandOut());
    if (viewer) viewer->Invalidate();
    if (onHandChanged) onHandChanged(brush.mode);
}

void mtxIEMdfField::ShowSampleItems() {
    if (!IsOwnBarItem(sampleList)) return;
    if (stampHand.brush.sample >= samples.count) stampHand.brush.sample = mtxStampBrush::kAnySample;
    sampleList->Clear();
    sampleList->AddItem(mtxIELoadString(775, "Any sample"), 0);
    for (int32_t i = 0; i < samples.count; ++i) {
        const std::string& name = samples.samples[i].name;
        sampleList->AddItem(name.empty() ? "#" + std::to_string(i + 1) : name, uint32_t(i + 1));
    }
    sampleList->Select(stampHand.brush.sample + 1);
}

int mtxIEMdfField::OnSetCursor(int x, int y) {
    if (!HandOut()) return mtxIECtrl::OnSetCursor(x, y);
    if (editor) editor->SetCursorEx(nullptr);
    if (!cursor_) {
        cursor_ = std::make_unique<mtxIECursor>();
        if (!cursor_->Load(mtxIECursor::kPaintId)) cursor_->LoadSystem(mtxOs::SystemCursor::Cross);
    }
    if (!cursor_->handle) return 0;
    cursor_->Set();
    return 1;
}

int mtxIEMdfField::HitTest(int x, int y) {
    if (!HandOut() || !viewer) return 0;
    rect = viewer->GetClientRect();  // follows the viewer's size and bars
    return mtxIECtrl::HitTest(x, y);
}

bool mtxIEMdfField::ToLayer(int x, int y, float* lx, float* ly) {
    POINT origin = viewer->PictureOrigin();
    float px = float(x - origin.x), py = float(y - origin.y);
    const mtxImageStack::Layer* layer = sessionLayer_ ? sessionLayer_->stackLayer : nullptr;
    float inverse[9];
    if (!layer || !mtxLayerTransform::Invert(layer->transform, inverse)) return false;
    mtxLayerTransform::Map(inverse, px, py, lx, ly);
    return true;
}

void mtxIEMdfField::PaintTo(int x, int y) {
    Settle();
    float lx = 0, ly = 0;
    if (!ToLayer(x, y, &lx, &ly)) return;
    mtxFillSession* session = session_.get();
    const mtxImage* photo = sessionLayer_->source;
    mtxRect touched;
    if (session && photo &&
        brush.Stroke(session->maps, photo->width, photo->height, strokeX_, strokeY_, lx, ly,
                     &touched)) {
        ++strokes;
        if (mtxMapBrush::PlaneOf(brush.mode) == mtxFillMaps::kProtect)
            session->ProtectChanged(touched);
        if (strokeRect_.IsEmpty()) {
            strokeRect_ = touched;
        } else {
            strokeRect_.left = std::min(strokeRect_.left, touched.left);
            strokeRect_.top = std::min(strokeRect_.top, touched.top);
            strokeRect_.right = std::max(strokeRect_.right, touched.right);
            strokeRect_.bottom = std::max(strokeRect_.bottom, touched.bottom);
        }
        ShowPlanePixels(touched);
    }
    strokeX_ = lx, strokeY_ = ly;
}

void mtxIEMdfField::ShowPlanePixels(const mtxRect& pixels) {
    const mtxImageStack::Layer* layer = sessionLayer_ ? sessionLayer_->stackLayer : nullptr;
    if (!layer || pixels.IsEmpty()) return;
    viewer->InvalidatePicture(mtxLayerTransform::MapBounds(
        layer->transform, pixels.left - 1, pixels.top - 1, pixels.right - pixels.left + 2,
        pixels.bottom - pixels.top + 2));
}

void mtxIEMdfField::FinishStroke() {
    Settle();
    if (stamping_) {
        // The stroke's stamps reach the picture and end its change.
        stamping_ = false;
        if (editor) editor->ReleaseCapture(this);
        if (SessionCurrent()) RefreshLayer();
        // Erased stamps no longer cover what they lay on.
        if (stampHand.mode == mtxStampHand::kEraser && Prepared() && SessionCurrent())
            session_->RecountCoverage();
        EndChange();
        ShowCoverage(true);
    }
    if (!painting_) return;
    painting_ = false;
    if (editor) editor->ReleaseCapture(this);
    mtxFillSession* session = session_.get();
    if (!session || strokeRect_.IsEmpty()) return;
    mtxMapStroke stroke;
    stroke.plane = mtxMapBrush::PlaneOf(brush.mode);
    stroke.width = session->maps.Width(), stroke.height = session->maps.Height();
    stroke.rect = strokeRect_;
    // The plane as it was, from the copy taken when the stroke began.
    mtxFillMaps start;
    if (!strokeStart_.empty() && start.Create(stroke.plane, stroke.width, stroke.height)) {
        std::copy(strokeStart_.begin(), strokeStart_.end(), start.Data(stroke.plane));
    }
    mtxMapStroke::Copy(start, stroke.plane, strokeRect_, stroke.before);
    mtxMapStroke::Copy(session->maps, stroke.plane, strokeRect_, stroke.after);
    strokeStart_.clear();
    // Undo takes the stroke back before the stamps the run placed up to it.
    BetweenRunChanges([this, &stroke] {
        if (onStroke) onStroke(stroke);
    });
    ShowCoverage(true);
}

int mtxIEMdfField::ApplyStroke(const mtxMapStroke& stroke, bool backward) {
    Settle();
    FinishStroke();
    if (!SessionCurrent() || !stroke.Apply(session_->maps, backward)) return 0;
    if (stroke.plane == mtxFillMaps::kProtect) {
        session_->ProtectChanged(stroke.rect);
        ShowCoverage(true);
    }
    ShowPlanePixels(stroke.rect);
    return 1;
}

int mtxIEMdfField::BeginStamping(int x, int y, uint32_t keys) {
    if (!SessionCurrent() || Preparing() || session_->sourceCopy.IsEmpty()) {
        showMessage(
            mtxIELoadString(776, "Press Go first: the stamp tools work on a filled photo."));
        return 1;
    }
    float lx = 0, ly = 0;
    if (!ToLayer(x, y, &lx, &ly)) return 1;
    if (stampHand.mode == mtxStampHand::kBrush && (keys & mtxOs::MK_CONTROL)) {
        // Ctrl picks the sample of the stamp under the point.
        const int64_t under = session_->StampAt(lx, ly);
        if (under >= 0) stampHand.brush.sample = session_->log.At(uint64_t(under)).sample;
        ShowSampleItems();
        return 1;
    }
    // The run ends (and is recorded) before the stroke, which is a change of its own.
    if (state == kRunning) Stop();
    ShowSampleItems();
    StartChange(stampHand.mode == mtxStampHand::kBrush ? mtxIELoadString(777, "Stamps")
                                                       : mtxIELoadString(778, "Erase"));
    stamping_ = true;
    if (editor) editor->SetCapture(this);
    StampTo(x, y, true);
    return 1;
}

void mtxIEMdfField::StampTo(int x, int y, bool begin) {
    Settle();
    float lx = 0, ly = 0;
    if (!stamping_ || !ToLayer(x, y, &lx, &ly)) return;
    mtxRect changed;
    const int drawn = begin ? stampHand.Begin(*session_, samples, lx, ly, changed)
                            : stampHand.MoveTo(*session_, samples, lx, ly, changed);
    ShowPlanePixels(changed);
    if (!drawn) FinishStroke();
}

int mtxIEMdfField::OnMouseWheel(int x, int y, int delta, uint32_t keys) {
    (void)x, (void)y;
    if (stampHand.mode != mtxStampHand::kBrush || !(keys & mtxOs::MK_CONTROL)) return 0;
    const int notches = delta / mtxOs::WHEEL_DELTA;
    const int steps = notches != 0 ? notches : (delta > 0) - (delta < 0);
    // kAnySample (-1) comes first, as in the list.
    stampHand.brush.sample = std::clamp(stampHand.brush.sample - steps, mtxStampBrush::kAnySample,
                                        std::max(samples.count - 1, mtxStampBrush::kAnySample));
    ShowSampleItems();
    return 1;
}

int mtxIEMdfField::OnLButtonDown(int x, int y, uint32_t keys) {
    Settle();
    FinishStroke();
    if (stampHand.mode != mtxStampHand::kOff) return BeginStamping(x, y, keys);
    // The preparation's thread reads only the photo: painting goes on meanwhile.
    if (brush.mode == mtxMapBrush::kNone || !EnsureSession()) return 1;
    float lx = 0, ly = 0;
    if (!ToLayer(x, y, &lx, &ly)) return 1;
    const mtxFillMaps& maps = session_->maps;
    const mtxImage* photo = sessionLayer_->source;
    const mtxFillMaps::Plane plane = mtxMapBrush::PlaneOf(brush.mode);
    strokeStart_.clear();
    if (maps.Has(plane) && maps.Width() == photo->width && maps.Height() == photo->height)
        strokeStart_.assign(maps.Data(plane),
                            maps.Data(plane) + size_t(maps.Width()) * size_t(maps.Height()));
    strokeRect_ = {};
    strokeX_ = lx, strokeY_ = ly;
    painting_ = true;
    if (editor) editor->SetCapture(this);
    PaintTo(x, y);
    return 1;
}

int mtxIEMdfField::OnMouseMove(int x, int y, uint32_t keys) {
    if (stamping_) {
        if (SessionCurrent())
            StampTo(x, y, false);
        else
            FinishStroke();
        return 1;
    }
    if (!painting_) return mtxIECtrl::OnMouseMove(x, y, keys);
    if (!SessionCurrent()) {
        painting_ = false;
        if (editor) editor->ReleaseCapture(this);
        return 1;
    }
    PaintTo(x, y);
    return 1;
}

int mtxIEMdfField::OnLButtonUp(int x, int y, uint32_t keys) {
    (void)keys;
    if (stamping_ && SessionCurrent()) StampTo(x, y, false);
    if (painting_ && SessionCurrent()) PaintTo(x, y);
    FinishStroke();
    return 1;
}

namespace {

// The tint of one pixel of the planes; 0 for none.
uint32_t Tint(const mtxFillMaps& maps, int x, int y) {
    if (maps.Protected(x, y)) return 0x70FF2020u;
    const uint8_t* detail = maps.Data(mtxFillMaps::kDetail);
    if (!detail) return 0;
    int level = detail[size_t(y) * size_t(maps.Width()) + size_t(x)] - mtxFillMaps::kNeutral;
    if (level == 0) return 0;
    // Four strengths of tint, so a painted map draws in long runs.
    uint32_t alpha = uint32_t((std::min(127, std::abs(level)) + 31) / 32) * 0x24u;
    return (alpha << 24) | (level > 0 ? 0x0020E040u : 0x002060FFu);
}

}  // namespace

void mtxIEMdfField::Draw(int x, int y, const RECT& clip) {
    (void)x, (void)y;
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!device || brush.mode == mtxMapBrush::kNone || !session_ || !HasPicture() ||
        viewer->GetLayer(0) != sessionLayer_)
        return;
    const mtxFillMaps& maps = session_->maps;
    if (maps.Width() <= 0) return;
    POINT origin = viewer->LocalToEditor(viewer->PictureOrigin());
    RECT area = mtxIntersect(clip, viewer->LocalToEditor(viewer->PictureRect()));
    float inverse[9];
    const mtxImageStack::Layer* layer = sessionLayer_->stackLayer;
    if (mtxIsEmpty(area) || !layer || !mtxLayerTransform::Invert(layer->transform, inverse)) return;
    // Runs of one tint along each screen row.
    for (int sy = area.top; sy < area.bottom; ++sy) {
        int runStart = area.left;
        uint32_t runTint = 0;
        for (int sx = area.left; sx <= area.right; ++sx) {
            uint32_t tint = 0;
            if (sx < area.right) {
                float lx = 0, ly = 0;
                mtxLayerTransform::Map(inverse, float(sx - origin.x) + 0.5f,
                                       float(sy - origin.y) + 0.5f, &lx, &ly);
                int px = int(std::floor(lx)), py = int(std::floor(ly));
                if (px >= 0 && py >= 0 && px < maps.Width() && py < maps.Height())
                    tint = Tint(maps, px, py);
            }
            if (tint == runTint && sx < area.right) continue;
            if (runTint) mtxIEPrimitives::FillRect(device, RECT{runStart, sy, sx, sy + 1}, runTint);
            runStart = sx, runTint = tint;
        }
    }
}
