#include "base/job_thread.h"

#include <gtest/gtest.h>

#include <semaphore>
#include <thread>
#include <vector>

namespace {

// Jobs run one at a time on the worker, in the order handed; Hand returns
// while a job is still held at its gate, and Wait only once it has ended.
TEST(JobThread, RunsJobsInOrderBesideTheCaller) {
    mtxJobThread worker;
    ASSERT_EQ(worker.Start(), 1);
    std::binary_semaphore gate{0};
    std::vector<int> done;
    std::thread::id ranOn;
    worker.Hand([&] {
        gate.acquire();
        ranOn = std::this_thread::get_id();
        done.push_back(1);
    });
    EXPECT_TRUE(worker.Busy());
    gate.release();  // would never be reached if Hand waited for the job
    worker.Hand([&] { done.push_back(2); });
    worker.Wait();
    EXPECT_FALSE(worker.Busy());
    EXPECT_EQ(done, (std::vector<int>{1, 2}));
    EXPECT_NE(ranOn, std::this_thread::get_id());
}

TEST(JobThread, WithoutAWorkerAJobRunsAtOnce) {
    mtxJobThread never;
    int ran = 0;
    never.Hand([&] { ++ran; });
    EXPECT_EQ(ran, 1);
}

}  // namespace
