#pragma once
#include <cstdint>

#include "platform/device.h"
#include "render/image_editor_device.h"

// Small drawing helpers shared by the layers and the composer.
namespace mtxViewDraw {

struct Vertex {  // XYZ | DIFFUSE | TEX1, 24 bytes
    float x, y, z;
    uint32_t color;
    float u, v;
};
constexpr uint32_t kVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Level 0 of a texture, released with the holder.
struct Level {
    explicit Level(IDirect3DTexture9* texture) {
        if (texture) texture->GetSurfaceLevel(0, &surface);
    }
    ~Level() {
        if (surface) surface->Release();
    }
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;
    IDirect3DSurface9* surface = nullptr;
};

// Keeps the render target, viewport and projection in force on entry and puts
// them back on leaving.
class TargetScope {
  public:
    explicit TargetScope(mtxImageEditorDevice* editor);
    ~TargetScope();
    TargetScope(const TargetScope&) = delete;
    TargetScope& operator=(const TargetScope&) = delete;
    IDirect3DSurface9* entry = nullptr;

  private:
    mtxImageEditorDevice* editor_;
    D3DVIEWPORT9 viewport_ = {};
    D3DMATRIX projection_ = {};
};

// Sets the device's projection for a width x height target (the editor's
// stored projection is left alone; TargetScope restores the device's).
void SetProjection(mtxImageEditorDevice* editor, int width, int height);

// A quad over an edge x edge target, depth 100, texture coordinates 0 to 1,
// in the 20-byte XYZ | TEX1 format.
void DrawTexturedSquare(IDirect3DDevice9* device, int edge);

// A quad over rect of the target (pixel corners less 0.5), depth 100, diffuse
// white, texture coordinates = position / (width, height).
void DrawScreenRect(IDirect3DDevice9* device, const RECT& rect, int width, int height);

void SetSampling(IDirect3DDevice9* device, uint32_t stage, uint32_t filter, uint32_t address);

}  // namespace mtxViewDraw
