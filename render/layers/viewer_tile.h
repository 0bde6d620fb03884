#pragma once
#include <cstdint>

#include "platform/device.h"
#include "render/layers/viewer_layer.h"

// One tile of a layer: pixels (x, y) to (x + width, y + height) of the layer's
// images, at most 126 x 126, held in 128 x 128 textures with image pixel
// (x, y) on texel (1, 1). Textures come from the editor's pools on first use
// and go back when the tile is destroyed or the device is lost.
class mtxIEViewerLayer::Tile {
  public:
    enum Kind { kSource = 0, kTexture = 1 };

    Tile(mtxIEViewerLayer* layer, int x, int y, int width, int height);
    virtual ~Tile();
    Tile(const Tile&) = delete;
    Tile& operator=(const Tile&) = delete;

    // Uploads the source image (kSource, into the colour texture) or the
    // texture image (kTexture) with the border: neighbours' pixels where they
    // exist, the image's edge pixels along its left and top edges, and 0
    // wherever the texture reaches past the image. 0 when the image has no
    // surface or no texture can be had.
    virtual int Upload(int kind);
    // Uploads the source image's pixels in part (image pixels within the
    // tile's own) into the colour texture, the rest of it as it is; the whole
    // tile with its border when it has no colour texture yet.
    int UploadPart(const mtxRect& part);
    // Renders the colour texture, read as 16-bit heights, into the normal
    // texture (G16R16). 0 without a colour texture or shader.
    int MakeNormalTexture(mtxIEPixelShader* heightToNormal);
    // Returns every texture to its pool; the tile is clean afterwards.
    void ReleaseTextures();

    mtxImageEditorDevice* editor;
    mtxIEViewerLayer* layer;
    int x, y, width, height;
    IDirect3DTexture9* color = nullptr;    // pool 128 ARGB: the source image
    IDirect3DTexture9* texture = nullptr;  // pool 128 ARGB: the texture image
    IDirect3DTexture9* normal = nullptr;   // pool 128 G16R16
    uint32_t dirty = 0;                    // 1 after a quad was drawn into color, 0 once committed
};
