#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/device.h"
#include "render/image_editor_device.h"

class mtxIEViewerLayer;

// The composition of a viewer's layers: each layer is drawn into a
// screen-sized target and laid over the result so far through its blend
// shader, two result targets taking turns; the top layer (the viewer's vector
// layer) goes last, through the delta blend, into the target that was current
// on entry.
class mtxIEViewerComposer {
  public:
    explicit mtxIEViewerComposer(mtxImageEditorDevice* editor);
    ~mtxIEViewerComposer();
    mtxIEViewerComposer(const mtxIEViewerComposer&) = delete;
    mtxIEViewerComposer& operator=(const mtxIEViewerComposer&) = delete;

    // Composes layers (bottom first) over opaque white into rect of the
    // current render target, each layer drawn with its pixel (x, y) at
    // (originX + x, originY + y) through its transform. drawTop, when set,
    // draws the top layer into the current target. The render target,
    // viewport and projection in force are kept. 0 when the targets cannot be
    // made or a shader is missing.
    int Compose(const std::vector<mtxIEViewerLayer*>& layers, const RECT& rect, float originX,
                float originY);

    // Device loss and reset.
    void ReleaseDeviceResources();
    void RestoreDeviceResources() {}

    std::function<void()> drawTop;
    // Without a top layer and with every layer in the normal blend, the
    // layers are laid straight over white in the current target by the
    // device's alpha blending: the same result in one pass per layer instead
    // of three. Off: always through the targets.
    bool allowDirect = true;
    mtxImageEditorDevice* editor;
    mtxIEPixelShader* topBlend = nullptr;     // 5164, delta
    mtxIEPixelShader* normalBlend = nullptr;  // 5150
    IDirect3DTexture9* layerTarget = nullptr;
    IDirect3DTexture9* resultTarget[2] = {};
    uint32_t current = 0;  // the result target written next
    int width = 0, height = 0;

  private:
    int MakeTargets();
    bool CanComposeDirectly(const std::vector<mtxIEViewerLayer*>& layers);
    void ComposeDirectly(const std::vector<mtxIEViewerLayer*>& layers, const RECT& r, float originX,
                         float originY);
    void BlendInto(IDirect3DSurface9* target, const RECT& rect, mtxIEPixelShader* blend,
                   IDirect3DTexture9* below);
};
