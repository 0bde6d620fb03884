#include "ui/ie_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <random>
#include <semaphore>
#include <stdexcept>
#include <thread>

#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/button.h"
#include "ui/label.h"
#include "ui/message_box.h"
#include "ui/progress_bar.h"

namespace {

constexpr uint32_t kDone = 4;  // the completion code the tests' target receives

// A task of `limit` steps of 10 % each, every step waiting at a gate the test
// opens; it says so on `stepped` after each step has posted its actions.
class GatedTask : public mtxIETask {
  public:
    GatedTask(mtxImageEditor* editor, mtxIEActionProcessor* target, int limit = 10)
        : mtxIETask(editor), limit_(limit) {
        SetCompletion(target, kDone);
    }
    ~GatedTask() override {
        gate.release(1000000);  // let a waiting step finish
        Shutdown();
    }
    int Begin() override { return StartWork("Working"); }

    std::counting_semaphore<> gate{0};
    std::counting_semaphore<> stepped{0};
    std::atomic<bool> throwInStep{false};
    std::atomic<bool> outOfMemory{false};
    std::atomic<int> steps{0};
    std::atomic<int> stepsSeeingStop{0};

  protected:
    int Step() override {
        if (StopRequested()) {
            ++stepsSeeingStop;
            PostCompletion(0);
            stepped.release();
            return 1;
        }
        gate.acquire();
        struct Signal {
            std::counting_semaphore<>& s;
            ~Signal() { s.release(); }
        } signal{stepped};
        if (throwInStep) throw std::runtime_error("out of pictures");
        if (outOfMemory) throw std::bad_alloc();
        int done = ++steps;
        SetProgress(uint32_t(done * 100 / limit_));
        PostAction(kProgress);
        if (done < limit_) return 0;
        PostAction(kFinished);
        PostCompletion(1);
        return 1;
    }

  private:
    int limit_;
};

// Opens the gate once the interface thread has set the stop flag, so the
// step under way when Cancel arrives can end.
std::jthread OpenGateOnStop(GatedTask& task) {
    return std::jthread([&task] {
        while (!task.StopRequested()) std::this_thread::yield();
        task.gate.release();
    });
}

}  // namespace

TEST(IETask, StatusDialogShowsProgressAndFinishSendsOneCompletion) {
    ui_test::Editor editor;
    ui_test::ActionLog target;
    auto* task = new GatedTask(&editor, &target, 2);
    EXPECT_EQ(editor.CurrentTask(), task);
    ASSERT_EQ(task->Start(), 1);
    ASSERT_EQ(task->Begin(), 1);
    mtxIETask::StatusDialog* dialog = task->Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(editor.TopModal(), dialog);
    EXPECT_EQ(dialog->title, "Working");
    EXPECT_EQ(dialog->rect.right - dialog->rect.left, 300);
    EXPECT_EQ(dialog->rect.bottom - dialog->rect.top, 105);
    EXPECT_EQ(dialog->cancel->rect.right - dialog->cancel->rect.left, 80);
    EXPECT_EQ(dialog->cancel->rect.bottom - dialog->cancel->rect.top, 25);
    EXPECT_EQ(dialog->cancel->rect.left + dialog->cancel->rect.right, 300);  // centred
    EXPECT_EQ(dialog->bar->Text(), "0 %");

    task->gate.release();
    task->stepped.acquire();
    ui_test::PumpPosted();
    EXPECT_EQ(dialog->bar->Text(), "50 %");
    EXPECT_TRUE(target.got.empty());
    EXPECT_EQ(task->Begin(), 0);  // one run at a time

    task->gate.release();
    task->stepped.acquire();
    ui_test::PumpPosted();
    EXPECT_EQ(task->Dialog(), nullptr);
    EXPECT_EQ(editor.TopModal(), nullptr);
    ASSERT_EQ(target.got.size(), 1u);
    EXPECT_EQ(target.got[0], std::make_pair(kDone, uint16_t(1)));

    // A late Cancel changes nothing: the run has ended.
    editor.PostCommand(task, mtxIETask::kCancel, 0);
    ui_test::PumpPosted();
    EXPECT_EQ(target.got.size(), 1u);
}

TEST(IETask, CancelStopsWithinOneStepAndClosesItsOwnDialog) {
    ui_test::Editor editor;
    ui_test::ActionLog target;
    auto* task = new GatedTask(&editor, &target, 100);
    ASSERT_EQ(task->Start(), 1);
    ASSERT_EQ(task->Begin(), 1);
    task->gate.release(2);
    task->stepped.acquire();
    task->stepped.acquire();
    // Another dialog over the status dialog: Cancel must not close it.
    auto* other = new mtxIEMessageBox(&editor, "above", nullptr);
    ASSERT_EQ(editor.TopModal(), other);

    {
        auto opener = OpenGateOnStop(*task);
        editor.PostCommand(task, mtxIETask::kCancel, 0);  // what the button does
        ui_test::PumpPosted();
    }
    EXPECT_EQ(task->steps.load(), 3);  // the step under way, and no other
    EXPECT_EQ(task->stepsSeeingStop.load(), 0);
    EXPECT_EQ(task->Dialog(), nullptr);
    EXPECT_EQ(editor.TopModal(), other);
    EXPECT_EQ(editor.modal.size(), 1u);
    ASSERT_EQ(target.got.size(), 1u);
    EXPECT_EQ(target.got[0], std::make_pair(kDone, uint16_t(0)));
}

TEST(IETask, EveryRunEndsWithOneCompletionWhateverTheTimingOfCancel) {
    ui_test::Editor editor;
    ui_test::ActionLog target;
    constexpr int kLimit = 20;
    auto* task = new GatedTask(&editor, &target, kLimit);
    task->gate.release(1000000000);  // steps run freely
    ASSERT_EQ(task->Start(), 1);
    std::minstd_rand random(7);
    constexpr int kRuns = 300;
    int finished = 0;
    for (int run = 0; run < kRuns; ++run) {
        task->steps = 0;  // the last run's worker has stopped stepping
        ASSERT_EQ(task->Begin(), 1);
        for (int spin = int(random() % 2000); spin > 0; --spin) std::this_thread::yield();
        editor.PostCommand(task, mtxIETask::kCancel, 0);
        ui_test::PumpPosted();
        ASSERT_EQ(target.got.size(), size_t(run + 1)) << "run " << run;
        EXPECT_EQ(task->Dialog(), nullptr);
        if (target.got.back().second == 1) {
            ++finished;
            EXPECT_EQ(task->steps.load(), kLimit);
        }
    }
    ui_test::PumpPosted();  // what the last run's worker posted late
    EXPECT_EQ(target.got.size(), size_t(kRuns));
    EXPECT_EQ(editor.TopModal(), nullptr);
    RecordProperty("finished", finished);
}

TEST(IETask, EscapeCancelsAndAPostedFinishLosesToCancel) {
    ui_test::Editor editor;
    ui_test::ActionLog target;
    auto* task = new GatedTask(&editor, &target, 1);
    ASSERT_EQ(task->Start(), 1);
    ASSERT_EQ(task->Begin(), 1);
    // Escape while the only step runs; the step then finishes and posts its
    // completion 1, but the user cancelled first.
    {
        auto opener = OpenGateOnStop(*task);
        ui_test::Key(editor, mtxOs::VK_ESCAPE);
        ui_test::PumpPosted();
    }
    EXPECT_EQ(task->steps.load(), 1);
    EXPECT_EQ(task->Dialog(), nullptr);
    EXPECT_EQ(editor.TopModal(), nullptr);
    ASSERT_EQ(target.got.size(), 1u);
    EXPECT_EQ(target.got[0], std::make_pair(kDone, uint16_t(0)));
}

TEST(IETask, ReplacingTaskDropsTheOldTasksActions) {
    ui_test::Editor editor;
    ui_test::ActionLog target;
    auto* first = new GatedTask(&editor, &target, 1);
    ASSERT_EQ(first->Start(), 1);
    ASSERT_EQ(first->Begin(), 1);
    first->gate.release();
    first->stepped.acquire();  // progress, finish and completion 1 are posted

    auto* second = new GatedTask(&editor, &target, 2);  // destroys the first
    EXPECT_EQ(editor.CurrentTask(), second);
    EXPECT_EQ(editor.TopModal(), nullptr);  // the first one's dialog went with it
    ASSERT_EQ(second->Start(), 1);
    ASSERT_EQ(second->Begin(), 1);
    ui_test::PumpPosted();
    EXPECT_TRUE(target.got.empty());
    ASSERT_NE(second->Dialog(), nullptr);
    EXPECT_EQ(editor.TopModal(), second->Dialog());
    EXPECT_EQ(second->Dialog()->bar->Text(), "0 %");

    // Action 5: the editor destroys its task; what it posted is dropped.
    second->gate.release();
    second->stepped.acquire();
    editor.PostCommand(second, mtxIETask::kDestroy, 0);
    ui_test::PumpPosted();
    EXPECT_EQ(editor.CurrentTask(), nullptr);
    EXPECT_EQ(editor.TopModal(), nullptr);
    EXPECT_TRUE(target.got.empty());
}

TEST(IETask, ExceptionInStepEndsTheRunWithZeroAndAMessage) {
    testing_support::SharedApp();  // the string table
    ui_test::Editor editor;
    ui_test::ActionLog target;
    auto* task = new GatedTask(&editor, &target);
    task->throwInStep = true;
    ASSERT_EQ(task->Start(), 1);
    ASSERT_EQ(task->Begin(), 1);
    task->gate.release();
    task->stepped.acquire();
    // The failure is posted after the step has unwound: wait for it.
    mtxOs::MSG msg;
    ASSERT_GT(mtxOs::GetMessage(msg), 0);
    mtxOs::DispatchMessage(msg);
    ui_test::PumpPosted();
    EXPECT_EQ(task->Dialog(), nullptr);
    auto* box = dynamic_cast<mtxIEMessageBox*>(editor.TopModal());
    ASSERT_NE(box, nullptr);
    // The string table's text, with what went wrong after it.
    EXPECT_EQ(box->label->text, "The work failed. (out of pictures)");
    EXPECT_EQ(editor.modal.size(), 1u);
    ASSERT_EQ(target.got.size(), 1u);
    EXPECT_EQ(target.got[0], std::make_pair(kDone, uint16_t(0)));
    // The thread lives on: a second run works.
    task->throwInStep = false;
    ASSERT_EQ(task->Begin(), 1);
    task->gate.release();
    task->stepped.acquire();
    EXPECT_EQ(task->steps.load(), 1);
}

TEST(IETask, RunningOutOfMemorySaysSoInTheStringTablesWords) {
    testing_support::SharedApp();
    ui_test::Editor editor;
    ui_test::ActionLog target;
    auto* task = new GatedTask(&editor, &target);
    task->outOfMemory = true;
    ASSERT_EQ(task->Start(), 1);
    ASSERT_EQ(task->Begin(), 1);
    task->gate.release();
    task->stepped.acquire();
    // The failure is posted after the step has unwound: wait up to 5 s for it.
    for (int i = 0; i < 1000 && !dynamic_cast<mtxIEMessageBox*>(editor.TopModal()); ++i) {
        ui_test::PumpPosted();
        mtxOs::WaitMessage(5);
    }
    auto* box = dynamic_cast<mtxIEMessageBox*>(editor.TopModal());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->label->text, "There is not enough memory to finish the work.");
    ASSERT_EQ(target.got.size(), 1u);
    EXPECT_EQ(target.got[0], std::make_pair(kDone, uint16_t(0)));
}

TEST(IETask, WithoutAThreadBeginClosesTheDialogAndSaysSo) {
    testing_support::SharedApp();
    ui_test::Editor editor;
    ui_test::ActionLog target;
    auto* task = new GatedTask(&editor, &target);
    EXPECT_EQ(task->Begin(), 0);  // never started
    EXPECT_EQ(task->Dialog(), nullptr);
    auto* box = dynamic_cast<mtxIEMessageBox*>(editor.TopModal());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->label->text, "The background work could not be started.");
    EXPECT_EQ(editor.modal.size(), 1u);
    ui_test::PumpPosted();
    ASSERT_EQ(target.got.size(), 1u);
    EXPECT_EQ(target.got[0], std::make_pair(kDone, uint16_t(0)));
}
