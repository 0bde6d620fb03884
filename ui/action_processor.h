#pragma once
#include <cstdint>
#include <memory>

// What receives numbered actions from controls, menus, dialogs and tasks.
// Actions posted through the editor's queue carry the processor's life token,
// so one that arrives after the processor is gone is dropped, never delivered.
class mtxIEActionProcessor {
  public:
    mtxIEActionProcessor() = default;
    // A copy is another processor with a life of its own.
    mtxIEActionProcessor(const mtxIEActionProcessor&) {}
    mtxIEActionProcessor& operator=(const mtxIEActionProcessor&) { return *this; }
    virtual ~mtxIEActionProcessor() = default;

    // Handles action with its 16-bit value; nonzero when it was handled.
    virtual int Process(uint32_t action, uint16_t value) = 0;

    // Expires when the processor is destroyed.
    std::weak_ptr<const void> LifeToken() const { return alive_; }

  private:
    std::shared_ptr<const void> alive_ = std::make_shared<int>(0);
};
