#include "base/base_thread.h"

#include <cstdio>
#include <exception>

mtxBaseThread::~mtxBaseThread() {
    Join();
}

int mtxBaseThread::Start() {
    std::lock_guard<std::mutex> request(requestLock_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (started_) return 0;
    try {
        running_ = true;
        thread_ = std::thread([this] { Entry(); });
    } catch (const std::exception&) {
        running_ = false;
        return 0;
    }
    started_ = true;
    id_ = thread_.get_id();
    return 1;
}

void mtxBaseThread::Entry() {
    // Thread set-up of the system (COM on Windows) has nothing to do here.
    try {
        Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "worker thread: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "worker thread: unknown exception\n");
    }
    // A requester still waiting, or coming later, must not wait for a reply
    // that no one will give.
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    replyEvent_.notify_all();
}

bool mtxBaseThread::OnWorkerThread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_ && std::this_thread::get_id() == id_;
}

uint32_t mtxBaseThread::SendRequest(uint32_t code) {
    if (OnWorkerThread()) return kFail;
    std::lock_guard<std::mutex> request(requestLock_);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!running_) return kFail;
    requestCode_ = code;
    replySet_ = false;
    requestSet_ = true;
    requestEvent_.notify_one();
    replyEvent_.wait(lock, [this] { return replySet_ || !running_; });
    if (!replySet_) return kFail;
    replySet_ = false;
    return replyCode_;
}

uint32_t mtxBaseThread::WaitRequest() {
    std::unique_lock<std::mutex> lock(mutex_);
    requestEvent_.wait(lock, [this] { return requestSet_; });
    return requestCode_;
}

int mtxBaseThread::PeekRequest(uint32_t* code) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!requestSet_) return 0;
    *code = requestCode_;
    return 1;
}

void mtxBaseThread::Reply(uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    replyCode_ = code;
    requestSet_ = false;
    replySet_ = true;
    replyEvent_.notify_all();
}

void mtxBaseThread::Join() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!thread_.joinable()) return;
        if (std::this_thread::get_id() == id_) {
            // A worker cannot wait for itself; it ends when its Run returns.
            std::fprintf(stderr, "worker thread: destroyed from its own thread\n");
            thread_.detach();
            return;
        }
        thread = std::move(thread_);
    }
    thread.join();
}
