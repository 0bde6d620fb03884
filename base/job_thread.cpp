#include "base/job_thread.h"

mtxJobThread::~mtxJobThread() {
    Shutdown();
}

void mtxJobThread::Hand(std::function<void()> job) {
    Wait();
    job_ = std::move(job);
    busy_.store(true, std::memory_order_release);
    if (SendRequest(kStartWork) != kSuccess) {
        job_();
        job_ = nullptr;
        busy_.store(false, std::memory_order_release);
    }
}

void mtxJobThread::Wait() {
    // Answered by the request loop only once Work has returned.
    SendRequest(kStopWork);
}

void mtxJobThread::Work() {
    if (job_) job_();
    job_ = nullptr;
    busy_.store(false, std::memory_order_release);
}
