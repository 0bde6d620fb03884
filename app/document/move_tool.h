#pragma once
#include <functional>

#include "ui/ctrl.h"

class mtxIEViewer;
class mtxImageStack;

// Move and Rotate: a drag over the viewer moves the chosen layer, or turns it
// about its centre, by changing the layer's transform as the mouse goes; the
// layer's outline and corner handles show over the picture while the tool is
// chosen. It lies over the viewer's client area, so the presses are its own,
// and leaves the filling tool (and a run) alone. A drag ends in one change,
// which onMoved records.
class mtxIEMoveTool : public mtxIECtrl {
  public:
    enum Mode { kMove, kRotate };

    explicit mtxIEMoveTool(mtxIEViewer* viewer);

    Mode mode = kMove;
    // The index of the layer the drags act on.
    std::function<int()> chosenLayer;
    // A drag has ended: the layer, its transform before, and the change's name.
    std::function<void(int layer, const float before[9], const char* name)> onMoved;

    // Covers the viewer's client area (after the viewer was laid out).
    void FitViewer();
    // The transform of a drag from picture point (x0, y0) to (x1, y1),
    // applied after before: a shift, or a turn about (cx, cy).
    static void Dragged(Mode mode, const float before[9], float cx, float cy, float x0, float y0,
                        float x1, float y1, float out[9]);

    void Draw(int x, int y, const RECT& clip) override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnMouseMove(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int x, int y, uint32_t keys) override;
    void OnCaptureLost() override;

  private:
    mtxImageStack* Stack() const;
    // Picture coordinates of a point in the viewer's.
    void ToPicture(int x, int y, float* px, float* py) const;
    void EndDrag();

    mtxIEViewer* viewer_;
    bool dragging_ = false;
    int layer_ = -1;
    float before_[9] = {};
    float fromX_ = 0, fromY_ = 0;
};
