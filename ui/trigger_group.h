#pragma once
#include <vector>

#include "ui/action_processor.h"
#include "ui/active_ctrl.h"

class mtxIEButton;

// Buttons of which one is down, such as tool buttons: each member reports to
// the group with its 1-based position; the group releases the others and
// reports the position to its own target.
class mtxIETriggerGroup : public mtxIEActiveCtrl, public mtxIEActionProcessor {
  public:
    using mtxIEActiveCtrl::mtxIEActiveCtrl;
    // The member keeps its parent; the group only listens to it.
    void AddMember(mtxIEButton* button);
    int Process(uint32_t code, uint16_t value) override;

    std::vector<mtxIEButton*> members;
};
