#pragma once
#include <mutex>

// An object that carries a lock of its own for whoever shares it between
// threads; the tasks derive from it.
class mtxSharedObject {
  public:
    mtxSharedObject() = default;
    mtxSharedObject(const mtxSharedObject&) = delete;
    mtxSharedObject& operator=(const mtxSharedObject&) = delete;

    std::mutex sharedLock;
};
