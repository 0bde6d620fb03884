#include "ui/ie_task.h"

#include <exception>
#include <mutex>
#include <new>

#include "ui/image_editor.h"
#include "ui/message_box.h"
#include "ui/progress_bar.h"
#include "ui/strings.h"

namespace {

// Entries of the string table for the ways the work can fail.
constexpr uint32_t kNotStartedString = 720;
constexpr uint32_t kNoMemoryString = 721;
constexpr uint32_t kWorkFailedString = 722;

}  // namespace

mtxIETask::StatusDialog::StatusDialog(mtxIETask* owner, const std::string& text)
    : mtxIEProgressDialog(owner->Editor(), text, owner, kCancel), task(owner) {}

mtxIETask::StatusDialog::~StatusDialog() {
    if (task && task->statusDialog_ == this) task->statusDialog_ = nullptr;
}

mtxIETask::mtxIETask(mtxImageEditor* editor) : editor_(editor) {
    editor_->RegisterTask(this);
}

mtxIETask::~mtxIETask() {
    Shutdown();
    CloseStatusDialog();
    editor_->ForgetTask(this);
}

void mtxIETask::PostAction(uint32_t action) {
    editor_->PostCommand(this, action, Tag(0));
}

void mtxIETask::PostCompletion(int value) {
    editor_->PostCommand(this, kCompletion, Tag(value));
}

void mtxIETask::Work() {
    for (;;) {
        uint32_t code = 0;
        if (PeekRequest(&code)) {
            if (code == kStopWork) return;  // the request loop answers it
            Reply(code == kPing || code == kStartWork ? kSuccess : kUnexpected);
            continue;
        }
        std::string failure;
        try {
            if (Step()) return;
            continue;
        } catch (const std::bad_alloc&) {
            failure = mtxIELoadString(kNoMemoryString);
        } catch (const std::exception& e) {
            failure = mtxIELoadString(kWorkFailedString) + " (" + e.what() + ")";
        } catch (...) {
            failure = mtxIELoadString(kWorkFailedString);
        }
        {
            std::lock_guard<std::mutex> lock(sharedLock);
            failure_ = failure;
        }
        PostAction(kStepFailed);
        return;
    }
}

int mtxIETask::StartWork(const std::string& title) {
    if (completionPending_) return 0;
    generation_ = uint16_t((generation_ + 1) & 0x7FFF);
    stop_ = 0;
    progress_ = 0;
    completionPending_ = true;
    CloseStatusDialog();
    statusDialog_ = new StatusDialog(this, title);
    if (SendRequest(kStartWork) == kSuccess) return 1;
    Fail(mtxIELoadString(kNotStartedString));
    return 0;
}

int mtxIETask::Process(uint32_t action, uint16_t value) {
    switch (action) {
        case kCancel:
            Cancel();
            return 1;
        case kProgress:
            if (CurrentRun(value) && statusDialog_) statusDialog_->bar->SetValue(int(progress_));
            return 1;
        case kFinished:
            if (CurrentRun(value)) CloseStatusDialog();
            return 1;
        case kNothing:
            return 1;
        case kDestroy:
            editor_->DestroyTask(this);  // this is gone now
            return 1;
        case kCompletion:
            if (CurrentRun(value)) Complete(value & 1);
            return 1;
        case kStepFailed:
            if (CurrentRun(value)) {
                std::string message;
                {
                    std::lock_guard<std::mutex> lock(sharedLock);
                    message = failure_;
                }
                Fail(message);
            }
            return 1;
        default:
            return 0;
    }
}

void mtxIETask::Cancel() {
    if (!completionPending_) return;  // the run has ended already
    stop_ = 1;
    SendRequest(kStopWork);  // returns once Work has returned
    CloseStatusDialog();
    Complete(0);
}

void mtxIETask::Complete(int value) {
    if (!completionPending_) return;
    completionPending_ = false;
    if (completionTarget_ && completionCode_)
        editor_->PostCommand(completionTarget_, completionCode_, uint16_t(value));
}

void mtxIETask::CloseStatusDialog() {
    StatusDialog* dialog = statusDialog_;
    if (!dialog) return;
    statusDialog_ = nullptr;
    dialog->task = nullptr;
    dialog->Close();
}

void mtxIETask::Fail(const std::string& message) {
    CloseStatusDialog();
    new mtxIEMessageBox(editor_, message.c_str(), nullptr);  // owned by the editor's stack
    Complete(0);
}
