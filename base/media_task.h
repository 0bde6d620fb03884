#pragma once
#include <cstdint>

#include "base/base_thread.h"
#include "base/shared_object.h"

// A worker with the standard request loop:
//   0 hook: reply 0, then OnRequest0     1 ping: reply 0
//   2 start the work: reply 0, then Work  3 stop the work: reply 0
//   4 end the thread: reply 0, and end    other: reply kNotImpl
// Request 2 is answered before Work begins, so its sender goes on at once;
// request 3 during Work is answered once Work has returned, so its sender
// knows the work has stopped.
class mtxMediaTask : public mtxSharedObject, public mtxBaseThread {
  public:
    enum Request : uint32_t { kHook = 0, kPing = 1, kStartWork = 2, kStopWork = 3, kEnd = 4 };

    mtxMediaTask() = default;
    // Stops the work, ends the request loop and joins the thread.
    ~mtxMediaTask() override;

    int Run() override;

  protected:
    // The work started by request 2. By default it waits for request 3,
    // answering pings and repeated starts, and kUnexpected to anything else.
    virtual void Work();
    virtual int OnRequest0() { return 0; }

    // Ends the thread: what a derived destructor calls first, so the loop no
    // longer runs code of the part being destroyed.
    void Shutdown();
};
