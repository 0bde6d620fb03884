#pragma once
#include <cstdint>
#include <functional>

// How many engine steps one tick of the filling tool's timer runs.
//
// Calm: one step when at least kCalmInterval ms have passed; after a step
// the spacing becomes the time the message loop took to come back. Fast:
// steps until the batch's time budget is spent, and at most one batch a
// frame, so the window presents at most about 60 times a second and input is
// handled between batches. Where drawing a frame takes long (a large picture
// changing all over), the batch grows with it, up to kLongBudgetMs, so the
// steps keep about two thirds of the time and frames stay under 33 ms. Either way a step is the
// engine's whole step, so the stamps depend only on the engine's state, never on where a batch
// ends.
class mtxFillPace {
  public:
    static constexpr uint32_t kCalmInterval = 10;  // ms between calm steps, at least
    static constexpr uint32_t kFrameMs = 16;       // ms from one batch's start to the next
    // Most of the frame: what is left serves the drawing of the parts a batch
    // changed and the input that came meanwhile.
    static constexpr uint32_t kBudgetMs = 13;      // ms of steps in one batch
    static constexpr uint32_t kLongBudgetMs = 20;  // ms of steps when frames are slow
    static constexpr uint32_t kPauseMs = 100;      // between batches: not a frame
    // A clock that stands still (or a very coarse one) still ends a batch.
    static constexpr int kMaxBatch = 4096;

    // A step at clock time now; false ends the batch (the run stopped).
    using Step = std::function<bool(uint32_t now)>;

    // The pace starts afresh at now: the next tick may step at once in
    // Fast, after kCalmInterval in Calm.
    void Restart(uint32_t now);
    // One timer tick: the steps run. 0 too while a batch is under way (a
    // step that re-entered the message loop must not start another).
    int Tick(bool fast, const std::function<uint32_t()>& clock, const Step& step);
    // The steps' time in the next Fast batch: twice what the window took
    // between the last two batches, within kBudgetMs to kLongBudgetMs.
    uint32_t Budget() const;
    bool InBatch() const { return inBatch_; }

    // Calm's state: the spacing now, the end of the last step, and whether
    // the spacing is still to be measured after a step.
    uint32_t interval = kCalmInterval;
    uint32_t lastRun = 0;
    uint32_t justRan = 1;

  private:
    int Calm(const std::function<uint32_t()>& clock, const Step& step);
    int Fast(const std::function<uint32_t()>& clock, const Step& step);

    bool inBatch_ = false;
    bool batched_ = false;  // a Fast batch ran since the restart
    uint32_t lastBatch_ = 0;
    uint32_t lastBatchEnd_ = 0;
    uint32_t between_ = 0;  // ms from the end of one batch to the start of the next
};
