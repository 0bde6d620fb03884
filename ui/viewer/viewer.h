#pragma once
#include <memory>
#include <vector>

#include "image/image_stack.h"
#include "render/layers/layer_composer.h"
#include "render/layers/viewer_layer.h"
#include "ui/viewer/vector_layer.h"
#include "ui/wnd.h"

// The control that shows the picture being worked on: it mirrors an
// mtxImageStack with one mtxIEViewerLayer per stack layer (index 0 at the
// bottom), keeps their tiles current and composes them, one screen pixel per
// picture pixel, into its client area. A picture smaller than the client area
// is centred; a larger one scrolls.
//
// Line objects of the vector layer are drawn over the picture's layers.
//
// Presses in the client area go through mtxIEWnd's OnClient handlers to the
// children under them (the active tool); a right press while the viewer has
// no tool opens the vector layer's menu. A subclass takes the right button
// itself by overriding OnRButtonDown.
class mtxIEViewer : public mtxIEWnd {
  public:
    using VectorLayer = mtxIEVectorLayer;

    explicit mtxIEViewer(mtxIECtrl* parent);
    ~mtxIEViewer() override;
    // The picture's layers (not owned); null while no picture is open.
    mtxImageStack* GetStack() const;
    // Hands a stack over (null: no picture): taken when its busy flag can be
    // set, mirrored (SyncWithStack), flag cleared; activeLayer -1; view updated.
    void SetStack(mtxImageStack* stack);
    // Follows the stack after layers were added or removed. 1.
    int SyncWithStack();
    int LayerCount() const;
    mtxIEViewerLayer* GetLayer(int index);  // null outside 0..LayerCount()-1
    void RemoveLayer(int index);
    // A layer shown over the picture's layers that is not one of its stack
    // (the relief light's shade), at the identity; null: none. It must live
    // until replaced; SetStack lets it go.
    void SetOverlay(mtxImageStack::Layer* layer);
    mtxIEViewerLayer* Overlay() const { return overlay_.get(); }
    // Scroll bars, centring, repaint.
    virtual void UpdateView();
    // Where the picture lies in the client area, clipped to it; empty without one.
    RECT PictureRect();
    int activeLayer = -1;

    // Scroll codes 0, 1 (a line), 2, 3 (a page) and 5 (the track position);
    // the position stays inside the picture.
    void OnHScroll(int code) override;
    void OnVScroll(int code) override;
    // A turn the tool under the point does not use scrolls a larger picture
    // up or down, kWheelStep pixels a notch; with Ctrl it is left alone.
    int OnMouseWheel(int x, int y, int delta, uint32_t keys) override;
    static constexpr int kWheelStep = 48;
    void Draw(int x, int y, const RECT& clip) override;
    void OnDeviceLost() override;
    void OnDeviceReset() override;
    void OnResized() override { UpdateView(); }
    void SetRect(const RECT& r) override;
    int OnClientRButtonDown(int x, int y, uint32_t keys) override;

    // Where picture pixel (0, 0) lies in local coordinates.
    POINT PictureOrigin();
    // Repaints the part of the picture inside pixels (picture coordinates).
    void InvalidatePicture(const mtxRect& pixels);
    // The last paint's composition failed (no targets, a missing shader, an
    // upload that could not be made); the next paint tries again.
    int paintFailed = 0;
    uint32_t backgroundColor = 0xFF808080;
    // Grows whenever layer 0 may show another picture (a new stack, layer 0
    // replaced or removed), so the tools can tell their work is outdated.
    uint64_t pictureSerial = 0;
    int scrollX = 0, scrollY = 0;
    int offsetX = 0, offsetY = 0;
    int stackWidth = 0, stackHeight = 0;
    mtxIEViewerComposer composer;
    VectorLayer vectorLayer{this};  // goes after the image layers

  private:
    int ScrollTo(int bar, int code);
    void KeepTilesCurrent(const RECT& pictureClient);

    mtxImageStack* stack_ = nullptr;
    std::vector<std::unique_ptr<mtxIEViewerLayer>> layers_;
    std::unique_ptr<mtxIEViewerLayer> overlay_;
};
