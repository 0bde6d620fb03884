#pragma once
#include <atomic>
#include <functional>

#include "base/media_task.h"

// A worker that runs one job at a time beside the thread that hands them in,
// in the order handed: while the device draws the next picture, the last one
// is compressed here. Hand waits for the job before it, so at most one job
// is in flight and whatever it uses stays the caller's until Wait returns.
//
//   mtxJobThread writer;
//   writer.Start();
//   writer.Hand([&] { encoder.AddRows(band); });  // returns at once
//   ... draw the next band ...
//   writer.Wait();                                // the job has ended
class mtxJobThread : public mtxMediaTask {
  public:
    mtxJobThread() = default;
    ~mtxJobThread() override;

    // Waits for the job before, then starts job on the worker. Without a
    // running worker the job runs at once on the calling thread.
    void Hand(std::function<void()> job);
    // Returns once the job handed last has ended.
    void Wait();
    // Whether a job handed is still running: Wait would block.
    bool Busy() const { return busy_.load(std::memory_order_acquire); }

  protected:
    void Work() override;

  private:
    std::function<void()> job_;
    std::atomic<bool> busy_{false};
};
