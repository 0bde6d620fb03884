#pragma once
#include <cstdint>

#include "platform/device.h"

// The toolkit's drawing primitives: untextured position-and-colour vertices
// at depth 100, in editor pixels (the frame's projection). Each returns 1 when
// drawn and 0 without a device or when the device refuses the draw.
class mtxIEPrimitives {
  public:
    enum Arrow { kArrowUp = 1, kArrowDown = 2 };

    static int FillRect(IDirect3DDevice9* device, const RECT& r, uint32_t color);
    // The one-pixel border just inside r (its right and bottom edges on the
    // last column and row of r).
    static int FrameRect(IDirect3DDevice9* device, const RECT& r, uint32_t color);
    // An antialiased line between pixel centres.
    static int Line(IDirect3DDevice9* device, float x1, float y1, float x2, float y2,
                    uint32_t color);
    static int PolyLine(IDirect3DDevice9* device, const POINT* points, int count, uint32_t color);
    // Filled as a fan around the first point: right for convex polygons
    // (and any polygon star-shaped about its first point).
    static int FillPolygon(IDirect3DDevice9* device, const POINT* points, int count,
                           uint32_t color);
    // An isosceles triangle centred in r, base max(((width - 1) / 2) | 1, 7).
    static int ArrowGlyph(IDirect3DDevice9* device, const RECT& r, int direction, uint32_t color);
    // texture drawn texel for texel (point sampling) with its top-left corner
    // on pixel (x, y); width x height is the texture's size. Stage 0 is left
    // without a texture.
    static int TexturedRect(IDirect3DDevice9* device, IDirect3DTexture9* texture, int x, int y,
                            int width, int height);

    struct Vertex {  // XYZ | DIFFUSE, 16 bytes
        float x, y, z;
        uint32_t color;
    };
    static constexpr uint32_t kFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE;
};
