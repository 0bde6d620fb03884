#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "base/media_task.h"
#include "ui/action_processor.h"
#include "ui/progress_dialog.h"

class mtxImageEditor;

// A background task of the editor: a worker that runs Step in a loop while
// the user interface shows a status dialog with its progress and a Cancel
// button. The worker never touches controls; it writes the progress and posts
// actions, which the editor hands to Process on the interface thread.
//
// Posted actions carry the task's life token and the number of the run
// (Begin) they belong to, so those of a destroyed task, or of an earlier run,
// are dropped. Each run ends with exactly one completion; Cancel wins over a
// finish that was posted but not yet handled.
//
// The task registers itself with the editor, which owns it. A derived
// destructor must call Shutdown() first.
class mtxIETask : public mtxMediaTask, public mtxIEActionProcessor {
  public:
    enum Action : uint32_t {
        kCancel = 1,    // the Cancel button, or Escape
        kProgress = 2,  // show the progress
        kFinished = 3,  // the work is done: close the status dialog
        kNothing = 4,
        kDestroy = 5,  // the editor destroys this task
        // Internal: the worker's completion and its failure, checked on the
        // interface thread before they are passed on.
        kCompletion = 6,
        kStepFailed = 7,
    };

    // The progress box of a run; Cancel stops the run.
    class StatusDialog : public mtxIEProgressDialog {
      public:
        StatusDialog(mtxIETask* task, const std::string& title);
        ~StatusDialog() override;

        mtxIETask* task;  // cleared when the task goes first
    };

    explicit mtxIETask(mtxImageEditor* editor);
    ~mtxIETask() override;

    // Opens the status dialog, prepares the work and starts it (StartWork).
    virtual int Begin() = 0;
    // One bounded unit of work on the worker: writes the progress and posts
    // actions; nonzero when the work is complete or it saw the stop flag.
    virtual int Step() = 0;

    int Process(uint32_t action, uint16_t value) override;

    // Who is told, with code, when a run ends: value 1 finished, 0 stopped or failed.
    void SetCompletion(mtxIEActionProcessor* target, uint32_t code) {
        completionTarget_ = target;
        completionCode_ = code;
    }
    // Worker side: posts action to this task, or the completion value.
    void PostAction(uint32_t action);
    void PostCompletion(int value);

    StatusDialog* Dialog() const { return statusDialog_; }
    uint32_t Progress() const { return progress_; }
    bool StopRequested() const { return stop_ != 0; }
    mtxImageEditor* Editor() const { return editor_; }

  protected:
    // The step loop: requests between steps, until Step returns nonzero or
    // request 3 arrives. An exception in a step ends the run with 0.
    void Work() override;
    // What Begin ends with: a new run with the status dialog titled title and
    // progress 0, then request 2. 1 when the work started; 0 when a run is
    // under way, or when the request fails (the dialog is closed, the user
    // told, and the completion 0 sent).
    int StartWork(const std::string& title);
    void SetProgress(uint32_t percent) { progress_ = percent > 100 ? 100 : percent; }

  private:
    friend class StatusDialog;
    void Cancel();
    // Ends the run on the interface thread: the completion, once per run.
    void Complete(int value);
    void CloseStatusDialog();
    void Fail(const std::string& message);
    bool CurrentRun(uint16_t value) const { return (value >> 1) == generation_; }
    uint16_t Tag(int bit) const { return uint16_t((generation_ << 1) | (bit ? 1 : 0)); }

    mtxImageEditor* editor_;
    StatusDialog* statusDialog_ = nullptr;
    std::atomic<uint32_t> progress_{0};
    std::atomic<int> stop_{0};
    mtxIEActionProcessor* completionTarget_ = nullptr;
    uint32_t completionCode_ = 0;
    // The run, 15 bits: written by Begin before request 2, read by the worker.
    std::atomic<uint16_t> generation_{0};
    bool completionPending_ = false;  // interface thread only
    std::string failure_;             // under sharedLock
};
