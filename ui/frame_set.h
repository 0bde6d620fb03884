#pragma once
#include <cstdint>

#include "ui/ctrl.h"

// Up to 16 panes in one direction, each with a control, size limits and a
// share of what is left once the fixed panes are placed.
class mtxIEFrameSet : public mtxIECtrl {
  public:
    static constexpr int kMaxPanes = 16;
    enum Orientation : uint32_t { kStacked = 0, kSideBySide = 1 };
    struct Pane {
        mtxIECtrl* control = nullptr;
        int32_t minimum = 0, maximum = 0;  // maximum 0: none
        int32_t share = 0;                 // percent
    };

    using mtxIECtrl::mtxIECtrl;

    // Both grow the pane count to index + 1 when needed; 0 for an index
    // outside 0..15.
    int SetPaneControl(int index, mtxIECtrl* control);
    // Stores the pane's limits and share, then scales the other shares so
    // that all add up to 100 again (when that is possible).
    int SetPane(int index, int32_t minimum, int32_t maximum, int32_t percent);
    void LayoutChildren() override;

    uint32_t orientation = kStacked;
    int paneCount = 0;
    Pane panes[kMaxPanes];
};
