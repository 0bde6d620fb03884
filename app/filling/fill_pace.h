#pragma once
#include <cstdint>
#include <functional>

// The pace of the filling tool's runs.
//
// Calm: one engine step a timer tick when at least kCalmInterval ms have
// passed; after a step the spacing becomes the time the message loop took to
// come back. Fast runs place their batches on a worker (mtxIEMdfField) and
// take only the frame's figures from here: a batch is handed in at most once
// a frame, and runs at most kLongestBatchMs. A step is the engine's whole
// step either way, so the stamps depend only on the engine's state, never on
// where a batch ends.
class mtxFillPace {
  public:
    static constexpr uint32_t kCalmInterval = 10;  // ms between calm steps, at least
    static constexpr uint32_t kFrameMs = 16;       // ms from one batch's start to the next
    // A batch nobody hands in ends after a frame at the slowest the window
    // should show.
    static constexpr uint32_t kLongestBatchMs = 33;
    // ms of a frame spent drawing the stamps placed: what the window's
    // drawing and showing of the last frame left of kFrameAimMs, between
    // kLeastDrawMs and kDrawMs. What is left waits for the next frame.
    static constexpr uint32_t kFrameAimMs = 20;
    static constexpr uint32_t kLeastDrawMs = 4;
    static constexpr uint32_t kDrawMs = 12;
    // A clock that stands still (or a very coarse one) still ends a batch.
    static constexpr int kMaxBatch = 4096;

    // A step at clock time now.
    using Step = std::function<void(uint32_t now)>;

    // The pace starts afresh at now: the next step comes kCalmInterval later.
    void Restart(uint32_t now);
    // One timer tick: a step when it is time. 0 too while a step is under way
    // (a step that re-entered the message loop must not start another).
    int Tick(const std::function<uint32_t()>& clock, const Step& step);
    bool InStep() const { return inStep_; }

    // The spacing now, the end of the last step, and whether the spacing is
    // still to be measured after a step.
    uint32_t interval = kCalmInterval;
    uint32_t lastRun = 0;
    uint32_t justRan = 1;

  private:
    bool inStep_ = false;
};
