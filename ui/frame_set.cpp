#include "ui/frame_set.h"

#include <algorithm>
#include <cmath>

int mtxIEFrameSet::SetPaneControl(int index, mtxIECtrl* control) {
    if (index < 0 || index >= kMaxPanes) return 0;
    paneCount = std::max(paneCount, index + 1);
    panes[index].control = control;
    LayoutChildren();
    return 1;
}

int mtxIEFrameSet::SetPane(int index, int32_t minimum, int32_t maximum, int32_t percent) {
    if (index < 0 || index >= kMaxPanes) return 0;
    paneCount = std::max(paneCount, index + 1);
    Pane& pane = panes[index];
    pane.minimum = minimum, pane.maximum = maximum, pane.share = percent;
    int64_t others = 0;
    for (int i = 0; i < paneCount; ++i)
        if (i != index) others += panes[i].share;
    if (others != 0) {
        double factor = double(100 - percent) / double(others);
        if (factor > 0.0 && factor < 1.0)
            for (int i = 0; i < paneCount; ++i)
                if (i != index) panes[i].share = int32_t(std::lround(panes[i].share * factor));
    }
    LayoutChildren();
    return 1;
}

// First the panes that hit a limit take it and leave the rest; then the others
// share what is left. A remaining share of 0 gives proportional panes nothing.
void mtxIEFrameSet::LayoutChildren() {
    RECT client = GetClientRect();
    int64_t length = orientation == kStacked ? client.bottom : client.right;
    int64_t total = 100;
    enum Kind { kProportional, kAtMinimum, kAtMaximum };
    Kind kind[kMaxPanes];
    for (int i = 0; i < paneCount; ++i) {
        const Pane& pane = panes[i];
        kind[i] = kProportional;
        int64_t proposal = total > 0 ? pane.share * length / total : 0;
        if (pane.maximum > 0 && proposal > pane.maximum) {
            kind[i] = kAtMaximum;
            total -= pane.share, length -= pane.maximum;
        } else if (proposal < pane.minimum) {
            kind[i] = kAtMinimum;
            total -= pane.share, length -= pane.minimum;
        }
        length = std::max<int64_t>(length, 0);
    }
    int32_t offset = 0;
    for (int i = 0; i < paneCount; ++i) {
        const Pane& pane = panes[i];
        int64_t size = kind[i] == kAtMaximum   ? pane.maximum
                       : kind[i] == kAtMinimum ? pane.minimum
                       : total > 0             ? pane.share * length / total
                                               : 0;
        RECT r = orientation == kStacked ? RECT{0, offset, client.right, offset + int32_t(size)}
                                         : RECT{offset, 0, offset + int32_t(size), client.bottom};
        offset += int32_t(size);
        if (pane.control) pane.control->SetRect(r);
    }
}
