#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/filling/draw_estimate.h"
#include "app/filling/fill_pace.h"
#include "app/filling/fill_rate.h"
#include "app/filling/map_brush.h"
#include "app/filling/mdf.h"
#include "app/filling/stamp_hand.h"
#include "base/job_thread.h"
#include "fill/fill_session.h"
#include "ui/action_processor.h"
#include "ui/ie_task.h"

class SampleCollection;
class mtxIEButton;
class mtxIECursor;
class mtxIEComboBox;
class mtxIELabel;
class mtxIELawnSampleDlg;
class mtxIEViewerLayer;
class mtxImage;

// The filling tool. Go prepares the opened picture (its segmentation, on a
// background task behind a status dialog) and then places samples into the
// viewer's layer 0 on a 1 ms timer of the editor window until Stop: at the
// collection's speed, one at least 10 ms after the other (Calm) or in
// batches a worker places while the window shows the last (Fast). Go without samples
// opens the samples dialog instead and goes on once it is closed with samples
// chosen; without a picture it says how to open one. Samples opens the samples
// dialog, Clear puts the background back. The fill session (segmentation,
// saved copy, generator) belongs to one picture: it is made when Go starts
// preparing and dropped when another picture opens.
class mtxIEMdfField : public mtxIEMdf, public mtxIEActionProcessor {
  public:
    enum Action : uint32_t {
        kGo = 1,
        kStop = 2,
        kSamples = 3,
        kTaskDone = 4,
        kClear = 5,
        kSpeed = 6,  // the bar's speed list: value 0 Calm, 1 Fast
        kSamplesChosen = 7,
        kHand = 8,          // the bar's hand list: the value is an mtxMapBrush::Mode
        kBrushSize = 9,     // the value is an index of kBrushSizes
        kStrength = 10,     // the value is an index of kStrengths
        kStampHand = 11,    // the value is an mtxStampHand::Mode
        kStampSample = 12,  // the bar's sample list: 0 any, i + 1 sample i
    };
    static constexpr int kBrushSizes[] = {4, 12, 32, 80};  // radii in photo pixels
    static constexpr int kStrengths[] = {32, 64, 127};     // levels from neutral
    enum State : uint32_t { kRunning = 0, kStopped = 1 };
    static constexpr uint32_t kMinInterval = mtxFillPace::kCalmInterval;  // Calm's spacing
    static constexpr uint32_t kCoverageEvery = 250;  // ms between updates of the label
    // The coverage the bar counts the time left to in Fast: where a run of
    // `daubry fill` stops by default.
    static constexpr double kStopCoverage = 0.95;
    // ms of running between two calls of onCheckpoint.
    static constexpr uint32_t kCheckpointEvery = 10000;

    // Prepares the picture of the tool's viewer layer 0 on the task's thread.
    class Task : public mtxIETask {
      public:
        Task(mtxImageEditor* editor, mtxIEMdfField& tool, mtxFillSession& session);
        ~Task() override;
        // Starts the analysis of the picture and the status dialog "Preparing
        // Image". 0 when the picture cannot be analysed (the user is told).
        int Begin() override;
        int Step() override;

        mtxIEMdfField& tool;
        mtxFillSession& session;
        int refused = 0;  // Begin found nothing to analyse
    };

    mtxIEMdfField(mtxIEViewer* viewer, mtxIEToolBar* toolBar, SampleCollection& samples);
    ~mtxIEMdfField() override;
    // Opens the samples dialog: the Samples button (action 3) calls it, and Go
    // while the collection is empty, to go on once samples were chosen. The
    // document controller sets it to its OpenSamplesDialog. Empty, or no
    // dialog: the Samples button does nothing and Go says samples are needed.
    std::function<mtxIELawnSampleDlg*()> openSamples;

    // Actions 1 to 7 (Go, Stop, Samples, task finished, Clear, speed, the
    // samples dialog Go opened was closed).
    int Process(uint32_t action, uint16_t value) override;
    void OnTimer(uintptr_t id) override;
    // Another picture opens: any preparation is cancelled and the session of
    // the old picture dropped; not prepared and stopped.
    void OnPictureOpening() override;
    // The filling options changed: a prepared picture takes the new background.
    void OnOptionsChanged() override;
    // Around a save: placements pause and what was drawn reaches the picture.
    void Suspend() override;
    void Resume() override;
    void ResetBackground() override;
    void BuildToolBar() override;

    // The hand: with a mode other than none, a left drag over the picture
    // paints the protect or detail plane of the session (made for the shown
    // picture when there is none yet) and the planes show tinted over the
    // picture; the filling and its run go on, the engine's next stamps
    // honouring the strokes. With none the tool stays hidden and the mouse
    // does what the viewer does.
    void SetHand(mtxMapBrush::Mode mode);
    mtxMapBrush::Mode Hand() const { return brush.mode; }
    // The stamp hands: with the brush or the eraser, a left drag over the
    // picture places samples or takes stamps out (mtxStampHand), a stroke
    // being one change for the history; Ctrl with a click of the brush
    // takes the sample of the stamp under the point. A run under way is
    // stopped first; they need a session with its saved copy of the photo
    // (Go once, or an opened project). Choosing one puts the map brush away
    // and the other way round.
    void SetStampHand(mtxStampHand::Mode mode);
    mtxStampHand::Mode StampHand() const { return stampHand.mode; }
    // Some hand is chosen: the tool lies over the viewer and takes the mouse.
    bool HandOut() const {
        return brush.mode != mtxMapBrush::kNone || stampHand.mode != mtxStampHand::kOff;
    }
    int HitTest(int x, int y) override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnMouseMove(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int x, int y, uint32_t keys) override;
    void OnCaptureLost() override { FinishStroke(); }
    // Ctrl with the wheel steps the stamp brush's sample through the bar's
    // list (away from the user: up the list); 0 otherwise, for the viewer.
    int OnMouseWheel(int x, int y, int delta, uint32_t keys) override;
    // The brush's cursor over the picture while a hand is chosen.
    int OnSetCursor(int x, int y) override;
    // Ends a stroke under way, which onStroke then hears of.
    void FinishStroke();
    // A finished stroke: what it changed, for the change history (empty:
    // nothing is called).
    std::function<void(const mtxMapStroke& stroke)> onStroke;
    // The hand was chosen or put away (empty: nothing is called).
    std::function<void(mtxMapBrush::Mode mode)> onHandChanged;
    // Undo (backward) or Redo of a stroke: the session's plane takes the
    // stroke's bytes back and the viewer shows them. 1, or 0 without a
    // session of that size.
    int ApplyStroke(const mtxMapStroke& stroke, bool backward);
    // The planes as a tint over the picture: protected red, finer green,
    // coarser blue.
    void Draw(int x, int y, const RECT& clip) override;

    // One tick of the placement timer at clock(): one placement (Calm) or a
    // batch of them (Fast), or none when it is not time yet; while the run
    // is starting, the next piece of its start.
    void Tick();
    // After a preparation the run is under way at once, but its start takes
    // the next ticks, a piece a tick, so the window handles input between
    // pieces that each take tens of ms on a large picture: the Background
    // change recorded, the samples' shapes read, the run's change begun.
    // Anything else that touches the session finishes the start first; so
    // does this, at once.
    void FinishStarting();
    bool Starting() const { return startPiece_ != StartPiece::kNone || inStartPiece_; }
    // What was drawn on the device goes into the picture in memory.
    void RefreshLayer();
    bool Prepared() const { return session_ && session_->prepared; }
    bool Preparing() const { return task_ != nullptr; }
    // The session, settled: the batch being placed is drawn first.
    mtxFillSession* Session() {
        Settle();
        return session_.get();
    }
    // The session's number, never given to another session of the program,
    // so what was noted of one is not taken for another's.
    uint64_t SessionNumber() const { return sessionNumber_; }
    Task* CurrentTask() { return task_; }

    // The millisecond clock, wrapping at 2^32; tests put a fake one here.
    // Fast batches read it on the worker.
    std::function<uint32_t()> clock;
    // Fast batches are placed on a worker thread while the window draws the
    // last one; off, on the window's thread (the same stamps).
    bool placeOnWorker = true;
    // Shows a message to the user (the program's message box by default).
    std::function<void(const std::string&)> showMessage;
    // Bracket every change the tool makes to layer 0's picture, for the
    // change history: a run of placements (from the start of running to its
    // stop, a pause for a save staying inside) or a new background. Ended
    // after what was drawn reached the picture; cancelled when the picture
    // the change began on went away. Empty: nothing is called.
    std::function<void(const std::string& name)> onChangeStarting;
    std::function<void()> onChangeEnded;
    std::function<void()> onChangeCancelled;
    // While running, every kCheckpointEvery ms of the clock, and when a run
    // stops: the moment to keep a copy of the work (empty: nothing).
    std::function<void()> onCheckpoint;
    // Takes up a saved run on the picture the viewer shows, which must be the
    // run's photo: the log is drawn over it at once (mtxFillSession::Reopen),
    // and Go prepares the photo and goes on where the log ended. The samples
    // and options are the collection's, set by the caller. 1, or 0 when the
    // log cannot be drawn (the session is then dropped).
    int Reopen(const mtxStampLog& log);
    // The picture was rewritten behind the tool's back (an undo or redo):
    // the running change must have been stopped before. The coverage is
    // counted again from the stamps the log holds now (the walk moved its end).
    void PictureRestored();
    bool ChangeOpen() const { return changeOpen_; }

    SampleCollection& samples;
    uint32_t timerId = 0;
    mtxFillPace pace;
    mtxFillRate rate;
    uint32_t state = kStopped;
    uint32_t savedState = kStopped;
    uint32_t lastCoverageUpdate = 0;
    uint64_t placements = 0;        // samples placed since construction
    uint64_t backgroundResets = 0;  // Clear, a reset or a new background put in since then
    mtxIEButton* buttons[4] = {};
    mtxIEComboBox* speedList = nullptr;  // items Calm (0) and Fast (1)
    mtxIELabel* coverageLabel = nullptr;
    mtxMapBrush brush;
    uint64_t strokes = 0;               // segments painted since construction
    mtxIEComboBox* handList = nullptr;  // items of the modes, in their order
    mtxIEComboBox* sizeList = nullptr;
    mtxIEComboBox* strengthList = nullptr;
    mtxStampHand stampHand;
    mtxIEComboBox* sampleList = nullptr;  // "Any sample", then the collection's samples

  private:
    class Relay;
    void Go();
    // The session of the shown picture, made when there is none; null
    // without a picture.
    mtxFillSession* EnsureSession();
    // Viewer coordinates to the session layer's pixel coordinates; false
    // when the layer's transform cannot be inverted.
    bool ToLayer(int x, int y, float* lx, float* ly);
    void PaintTo(int x, int y);
    // Repaints plane pixels (right and bottom outside) where they show.
    void ShowPlanePixels(const mtxRect& pixels);
    void BuildHandItems();
    // A map stroke or a new background made while a run goes on is a change
    // of its own between the run's stamps before and after it: the run's
    // change ends around change(), the run itself goes on.
    void BetweenRunChanges(const std::function<void()>& change);
    // The sample list shows the collection and the brush's choice.
    void ShowSampleItems();
    int BeginStamping(int x, int y, uint32_t keys);
    void StampTo(int x, int y, bool begin);
    // Go found no samples: the samples dialog opens, and Go follows its Ok.
    void ChooseSamples();
    void SetSpeed(uint32_t speed);
    // The bar's list shows the collection's speed.
    void ShowSpeed();
    bool IsOwnBarItem(const mtxIECtrl* control) const;
    void StartRunning();
    // Takes the next piece of the run's start; false when none is left or
    // one is under way.
    bool TakeStartPiece();
    // One engine step at clock time now; false when the run stopped.
    bool PlaceOne(uint32_t now);
    // What a step's result means for the run; false when it stopped.
    bool AfterStep(mtxPlaceResult result, const mtxStamp* stamp);
    void TickAhead();
    // Places the next batch, on the worker (true) or on this thread (false).
    bool LaunchAhead(uint32_t now);
    void PlaceAhead(mtxFillSession& session, uint32_t now);
    // Waits for the worker's batch and takes its stamps, to draw.
    void TakeAhead();
    // Draws the stamps taken, in their order: all of them, or with a budget
    // as many as fit in budgetMs (a few at least). The count drawn.
    size_t DrawTaken(uint32_t budgetMs = 0);
    size_t DrawChunk(size_t from, uint32_t budgetMs);
    bool DrewThisFrame() const;
    uint32_t DrawBudget() const;
    // Whether the stamps taken would draw in half a frame's budget.
    bool FewTaken() const;
    bool TakeAndLaunch();
    // Before anything reads or changes the session: the worker's batch is
    // waited for and drawn.
    void Settle();
    // The same when the session's layer may be gone: nothing is drawn.
    void Abandon();
    // Waits for the worker's batch, then ends its thread.
    void EndWorker();
    // Paints what was drawn now rather than after the work under way.
    void ShowDrawnNow();
    // Stops the run: what was drawn reaches the picture, the change ends.
    void EndRun();
    void Stop();
    void TaskDone(int value);
    void PrepareBackground();
    void CancelPreparation();
    // The session still belongs to the picture the viewer shows; otherwise
    // it is dropped.
    bool SessionCurrent();
    void DropSession();
    void ShowCoverage(bool force);
    std::string CoverageText();
    void ShowStamp(const mtxStamp& stamp);
    bool HasPicture();
    void StartChange(const std::string& name);
    void EndChange();
    void CancelChange();

    std::unique_ptr<mtxFillSession> session_;
    mtxIEViewerLayer* sessionLayer_ = nullptr;  // the layer and picture the session was made on
    mtxImage* sessionPicture_ = nullptr;
    uint64_t sessionSerial_ = 0;
    uint64_t sessionNumber_ = 0;
    bool changeOpen_ = false;  // between onChangeStarting and its end
    enum class StartPiece : uint8_t { kNone, kEndBackground, kReadShapes, kStartRun };
    StartPiece startPiece_ = StartPiece::kNone;  // the next piece of the run's start
    bool inStartPiece_ = false;
    uint64_t placementsAtStart_ = 0;       // placements when the run last started
    bool restartedAtEnd_ = false;          // a finished Fine run gave way to the next since then
    uint32_t lastCheckpoint_ = 0;          // clock of the last onCheckpoint, or of the run's start
    Task* task_ = nullptr;                 // owned by the editor
    std::unique_ptr<Relay> relay_;         // carries the completion of the current run only
    std::unique_ptr<mtxIECursor> cursor_;  // made when first shown
    bool painting_ = false;                // a stroke is under way
    bool stamping_ = false;                // a stroke of a stamp hand is under way
    float strokeX_ = 0, strokeY_ = 0;      // its last point, layer pixels
    mtxRect strokeRect_;                   // what it touched so far
    std::vector<uint8_t> strokeStart_;     // the whole plane before it; empty: no plane then

    // Fast runs: the batch the worker places, and the stamps taken from it
    // and not drawn yet.
    struct Ahead {
        std::vector<mtxStamp> stamps;
        mtxPlaceResult last = mtxPlaceResult::kPlaced;
        bool ended = false;  // last ended the batch: the run may be over
        bool launched = false;
    } ahead_;
    std::vector<mtxStamp> taken_;
    size_t drawnLastFrame_ = 0;        // by the last tick that drew
    mtxDrawEstimate drawEstimate_;     // to size a budget's chunks
    uint32_t drawnAt_ = 0;             // the clock when stamps were last drawn
    std::atomic<bool> handIn_{false};  // the window's thread wants the batch now
    uint32_t lastLaunch_ = 0;
    bool placingInline_ = false;  // a batch is placed on this thread, without a worker
    bool ticking_ = false;        // inside TickAhead
    // The run's worker: started by its first batch, ended with the run, so no
    // thread outlives what it places for.
    std::unique_ptr<mtxJobThread> worker_;
};
