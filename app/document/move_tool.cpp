#include "app/document/move_tool.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/image_stack.h"
#include "render/layers/layer_transform.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/viewer/viewer.h"

namespace {

constexpr uint32_t kOutline = 0xFF2080E0u;
constexpr int kHandle = 7;  // side of a corner handle, pixels

// a then b: the transform that applies a first.
void Then(const float a[9], const float b[9], float out[9]) {
    float r[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[3 * i + j] = b[3 * i] * a[j] + b[3 * i + 1] * a[3 + j] + b[3 * i + 2] * a[6 + j];
    std::copy(r, r + 9, out);
}

}  // namespace

mtxIEMoveTool::mtxIEMoveTool(mtxIEViewer* viewer) : mtxIECtrl(viewer), viewer_(viewer) {
    FitViewer();
}

void mtxIEMoveTool::FitViewer() {
    SetRect(viewer_->GetClientRect());
}

mtxImageStack* mtxIEMoveTool::Stack() const {
    return viewer_->GetStack();
}

void mtxIEMoveTool::ToPicture(int x, int y, float* px, float* py) const {
    POINT o = viewer_->PictureOrigin();
    *px = float(x - o.x), *py = float(y - o.y);
}

void mtxIEMoveTool::Dragged(Mode mode, const float before[9], float cx, float cy, float x0,
                            float y0, float x1, float y1, float out[9]) {
    if (mode == kMove) {
        // Whole pixels, so a moved layer stays as sharp as it was.
        const float shift[9] = {1, 0, std::round(x1 - x0), 0, 1, std::round(y1 - y0), 0, 0, 1};
        Then(before, shift, out);
        return;
    }
    float angle = std::atan2(y1 - cy, x1 - cx) - std::atan2(y0 - cy, x0 - cx);
    float c = std::cos(angle), s = std::sin(angle);
    // About (cx, cy): there to the origin, turned, and back.
    const float turn[9] = {c, -s, cx - c * cx + s * cy, s, c, cy - s * cx - c * cy, 0, 0, 1};
    Then(before, turn, out);
}

int mtxIEMoveTool::OnLButtonDown(int x, int y, uint32_t) {
    mtxImageStack* stack = Stack();
    int index = chosenLayer ? chosenLayer() : 0;
    mtxImageStack::Layer* layer = stack ? stack->GetLayer(index) : nullptr;
    if (!layer) return 1;
    layer_ = index;
    std::memcpy(before_, layer->transform, sizeof before_);
    ToPicture(x, y, &fromX_, &fromY_);
    dragging_ = true;
    if (editor) editor->SetCapture(this);
    return 1;
}

int mtxIEMoveTool::OnMouseMove(int x, int y, uint32_t) {
    mtxImageStack* stack = Stack();
    mtxImageStack::Layer* layer = stack && dragging_ ? stack->GetLayer(layer_) : nullptr;
    if (!layer) return 1;
    float px = 0, py = 0, cx = 0, cy = 0;
    ToPicture(x, y, &px, &py);
    mtxLayerTransform::Map(before_, float(layer->width) / 2, float(layer->height) / 2, &cx, &cy);
    Dragged(mode, before_, cx, cy, fromX_, fromY_, px, py, layer->transform);
    viewer_->Invalidate();
    return 1;
}

int mtxIEMoveTool::OnLButtonUp(int x, int y, uint32_t keys) {
    if (!dragging_) return 1;
    OnMouseMove(x, y, keys);
    EndDrag();
    if (editor) editor->ReleaseCapture(this);
    return 1;
}

void mtxIEMoveTool::OnCaptureLost() {
    EndDrag();
}

void mtxIEMoveTool::EndDrag() {
    if (!dragging_) return;
    dragging_ = false;
    if (onMoved) onMoved(layer_, before_, mode == kMove ? "Move" : "Rotate");
}

// The chosen layer's outline as it lies in the picture, with a handle at each corner.
void mtxIEMoveTool::Draw(int x, int y, const RECT& clip) {
    mtxImageStack* stack = Stack();
    int index = chosenLayer ? chosenLayer() : 0;
    mtxImageStack::Layer* layer = stack ? stack->GetLayer(index) : nullptr;
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!layer || !device) return;
    editor->SetClip(mtxIntersect(clip, RECT{x, y, x + Width(), y + Height()}));
    POINT o = viewer_->PictureOrigin();
    const float ox = float(x - rect.left + o.x), oy = float(y - rect.top + o.y);
    const float corners[4][2] = {{0, 0},
                                 {float(layer->width), 0},
                                 {float(layer->width), float(layer->height)},
                                 {0, float(layer->height)}};
    POINT at[5];
    for (int i = 0; i < 4; ++i) {
        float px = 0, py = 0;
        mtxLayerTransform::Map(layer->transform, corners[i][0], corners[i][1], &px, &py);
        at[i] = POINT{int(std::lround(ox + px)), int(std::lround(oy + py))};
    }
    at[4] = at[0];
    mtxIEPrimitives::PolyLine(device, at, 5, kOutline);
    for (int i = 0; i < 4; ++i) {
        RECT handle = {at[i].x - kHandle / 2, at[i].y - kHandle / 2, at[i].x + kHandle / 2 + 1,
                       at[i].y + kHandle / 2 + 1};
        mtxIEPrimitives::FillRect(device, handle, 0xFFFFFFFFu);
        mtxIEPrimitives::FrameRect(device, handle, kOutline);
    }
    editor->SetClip(clip);
}
