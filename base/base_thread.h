#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// A worker thread driven by numbered requests. A requesting thread hands the
// worker a code and waits for its reply: each request is a rendezvous. The
// worker takes requests with WaitRequest or PeekRequest and answers each with
// Reply.
//
// The most-derived class must call Join() in its destructor (the thread runs
// the derived Run, so it has to end before the derived part goes).
class mtxBaseThread {
  public:
    static constexpr uint32_t kSuccess = 0;
    static constexpr uint32_t kFail = 0x80004005;        // no thread, or asked from the worker
    static constexpr uint32_t kNotImpl = 0x80004001;     // unknown request
    static constexpr uint32_t kUnexpected = 0x8000FFFF;  // unknown request during the work

    mtxBaseThread() = default;
    virtual ~mtxBaseThread();
    mtxBaseThread(const mtxBaseThread&) = delete;
    mtxBaseThread& operator=(const mtxBaseThread&) = delete;

    // The thread's body; its result is the thread's exit code.
    virtual int Run() = 0;

    // Creates the thread when none exists. 1 when a thread was created; 0 when
    // one already exists, one ran and ended, or it cannot be created.
    int Start();
    // Hands code to the worker and waits for its reply. kFail without a
    // running thread, or when called on the worker itself (it would wait for
    // its own reply); requests from several threads are served one at a time.
    uint32_t SendRequest(uint32_t code);
    // Whether the calling thread is this object's worker.
    bool OnWorkerThread() const;

  protected:
    // Worker side.
    uint32_t WaitRequest();
    int PeekRequest(uint32_t* code);
    void Reply(uint32_t code);

    // Waits for the thread to end and releases it; once, from any thread but
    // the worker. The request loop must have been told to end first.
    void Join();

  private:
    void Entry();

    std::mutex requestLock_;  // serialises Start and SendRequest
    mutable std::mutex mutex_;
    std::condition_variable requestEvent_, replyEvent_;
    bool requestSet_ = false;  // manual reset: cleared by Reply
    bool replySet_ = false;    // automatic reset: consumed by the requester
    bool running_ = false;     // the thread is inside Run
    bool started_ = false;
    uint32_t requestCode_ = 0, replyCode_ = 0;
    std::thread thread_;
    std::thread::id id_;
};
