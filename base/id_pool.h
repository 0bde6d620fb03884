#pragma once
#include <cstdint>
#include <mutex>

// 16-bit identifiers 1..65535 for windows, controls and timers, handed out
// lowest free first. Safe to use from any thread.
class mtxIdPool {
  public:
    // The lowest free id, now taken; 0 when all 65535 are in use.
    uint16_t Take();
    // Frees id so it can be taken again; 0 and free ids are ignored.
    void Give(uint16_t id);

  private:
    std::mutex lock_;
    uint64_t bits_[65536 / 64] = {};  // bit n set: id n taken; id 0 is never handed out
};
