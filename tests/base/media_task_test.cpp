#include "base/media_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <semaphore>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// A task whose work is a loop of steps, each waiting at a gate the test opens.
class SteppedTask : public mtxMediaTask {
  public:
    explicit SteppedTask(bool gated = true) : gated_(gated) {}
    ~SteppedTask() override {
        if (gated_) gate.release(1000000);  // let a waiting step finish
        Shutdown();
    }

    std::counting_semaphore<> gate{0};
    std::binary_semaphore hookRan{0};
    std::atomic<int> steps{0};
    std::atomic<int> sequence{0};         // shared clock for ordering checks
    std::atomic<int> lastStepEnded{-1};   // sequence value when the last step ended
    std::atomic<uint32_t> fromWorker{0};  // what a request sent by the worker got
    std::atomic<bool> throwInStep{false};

  protected:
    int OnRequest0() override {
        hookRan.release();
        return 0;
    }
    void Work() override {
        for (;;) {
            uint32_t code = 0;
            if (PeekRequest(&code)) {
                if (code == kStopWork) return;
                Reply(code == kPing || code == kStartWork ? kSuccess : kUnexpected);
                continue;
            }
            if (gated_)
                gate.acquire();
            else
                Busy();
            if (throwInStep) throw std::runtime_error("step failed");
            fromWorker = SendRequest(kPing);
            ++steps;
            lastStepEnded = sequence++;
        }
    }

  private:
    // A few microseconds of work, as a real step does between request checks.
    static void Busy() {
        volatile uint32_t x = 1;
        for (int i = 0; i < 4000; ++i) x = x * 1664525u + 1013904223u;
    }

    bool gated_;
};

}  // namespace

TEST(MediaTask, RequestLoopAnswersEveryCode) {
    SteppedTask task;
    EXPECT_EQ(task.SendRequest(1), mtxBaseThread::kFail);  // no thread yet
    ASSERT_EQ(task.Start(), 1);
    EXPECT_EQ(task.Start(), 0);
    EXPECT_EQ(task.SendRequest(mtxMediaTask::kPing), 0u);
    EXPECT_EQ(task.SendRequest(mtxMediaTask::kStopWork), 0u);
    EXPECT_EQ(task.SendRequest(77), mtxBaseThread::kNotImpl);
    EXPECT_EQ(task.SendRequest(mtxMediaTask::kHook), 0u);
    task.hookRan.acquire();
    EXPECT_EQ(task.SendRequest(mtxMediaTask::kEnd), 0u);
    EXPECT_EQ(task.SendRequest(mtxMediaTask::kPing), mtxBaseThread::kFail);  // thread over
    EXPECT_EQ(task.Start(), 0);                                              // never twice
}

TEST(MediaTask, NeverStartedTaskGoesAtOnce) {
    auto task = std::make_unique<SteppedTask>();
    EXPECT_EQ(task->SendRequest(mtxMediaTask::kStartWork), mtxBaseThread::kFail);
    task.reset();
}

// Sends code from another thread while the work runs. The worker reads
// requests only between steps, so steps are let through until the answer
// comes; returns it, with the shared clock's value when it came.
uint32_t SendDuringWork(SteppedTask& task, uint32_t code, int* when) {
    std::atomic<bool> done{false};
    uint32_t answer = 0;
    std::thread sender([&] {
        answer = task.SendRequest(code);
        *when = task.sequence++;
        done = true;
    });
    while (!done) {
        task.gate.release();
        std::this_thread::yield();
    }
    sender.join();
    return answer;
}

TEST(MediaTask, StartReturnsWhileWorkingAndStopWaitsForTheStep) {
    SteppedTask task;
    ASSERT_EQ(task.Start(), 1);
    // The first step waits at the gate, yet request 2 has been answered.
    EXPECT_EQ(task.SendRequest(mtxMediaTask::kStartWork), 0u);
    EXPECT_EQ(task.steps, 0);
    // During the work a ping goes through and an unknown code is refused.
    int when = 0;
    EXPECT_EQ(SendDuringWork(task, mtxMediaTask::kPing, &when), 0u);
    EXPECT_EQ(SendDuringWork(task, 42, &when), mtxBaseThread::kUnexpected);
    // Stop is answered only once the step under way has ended.
    EXPECT_EQ(SendDuringWork(task, mtxMediaTask::kStopWork, &when), 0u);
    EXPECT_LT(task.lastStepEnded, when);
    int steps = task.steps;
    EXPECT_GE(steps, 1);
    EXPECT_EQ(task.SendRequest(mtxMediaTask::kPing), 0u);  // back in the request loop
    EXPECT_EQ(task.steps, steps);
    // The worker's own request was refused instead of waiting for itself.
    EXPECT_EQ(task.fromWorker, mtxBaseThread::kFail);
}

TEST(MediaTask, AnExceptionInTheWorkEndsTheThreadNotTheProcess) {
    SteppedTask task;
    task.throwInStep = true;
    ASSERT_EQ(task.Start(), 1);
    EXPECT_EQ(task.SendRequest(mtxMediaTask::kStartWork), 0u);
    task.gate.release();
    // Once the worker is gone every request fails rather than waiting.
    while (task.SendRequest(mtxMediaTask::kPing) != mtxBaseThread::kFail) {
    }
    EXPECT_EQ(task.SendRequest(mtxMediaTask::kStopWork), mtxBaseThread::kFail);
}

TEST(MediaTask, DestroyingIdleAndWorkingTasksJoinsThem) {
    std::mt19937 rng(3);
    for (int i = 0; i < 300; ++i) {
        auto task = std::make_unique<SteppedTask>(/*gated=*/false);
        ASSERT_EQ(task->Start(), 1);
        if (i % 3) {
            EXPECT_EQ(task->SendRequest(mtxMediaTask::kStartWork), 0u);
        }
        for (uint32_t spin = rng() % 50; spin; --spin) std::this_thread::yield();
        if (i % 5 == 0) {
            EXPECT_EQ(task->SendRequest(mtxMediaTask::kStopWork), 0u);
        }
        task.reset();
    }
}

TEST(MediaTask, ManyRequestersAreServedOneAtATime) {
    SteppedTask task;
    ASSERT_EQ(task.Start(), 1);
    std::vector<std::thread> senders;
    std::atomic<int> answered{0};
    for (int t = 0; t < 4; ++t)
        senders.emplace_back([&] {
            for (int i = 0; i < 500; ++i)
                if (task.SendRequest(mtxMediaTask::kPing) == 0) ++answered;
        });
    for (auto& s : senders) s.join();
    EXPECT_EQ(answered, 2000);
}
