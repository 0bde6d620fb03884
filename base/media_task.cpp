#include "base/media_task.h"

mtxMediaTask::~mtxMediaTask() {
    Shutdown();
}

void mtxMediaTask::Shutdown() {
    if (OnWorkerThread()) return;
    SendRequest(kStopWork);
    SendRequest(kEnd);
    Join();
}

int mtxMediaTask::Run() {
    for (;;) {
        switch (uint32_t code = WaitRequest()) {
            case kHook:
                Reply(kSuccess);
                OnRequest0();
                break;
            case kPing:
            case kStopWork:
                Reply(kSuccess);
                break;
            case kStartWork:
                Reply(kSuccess);
                Work();
                break;
            case kEnd:
                Reply(kSuccess);
                return 0;
            default:
                (void)code;
                Reply(kNotImpl);
                break;
        }
    }
}

void mtxMediaTask::Work() {
    for (;;) {
        uint32_t code = WaitRequest();
        if (code == kStopWork) return;  // the loop answers it
        Reply(code == kPing || code == kStartWork ? kSuccess : kUnexpected);
    }
}
