#pragma once
#include <cstdint>
#include <vector>

#include "platform/device.h"
#include "platform/window.h"

class mtxImageEditor;

// A cursor of the window system.
class mtxIECursor {
  public:
    virtual ~mtxIECursor() = default;
    // A cursor the system provides; 1 on success.
    int LoadSystem(mtxOs::SystemCursor which);
    // FIXME: cursors from the program's picture resources are not loaded yet.
    // Makes it the window system's cursor.
    void Set() const;

    mtxOs::HCURSOR handle = nullptr;
};

// A cursor the editor draws itself as a picture over everything, at the mouse
// position less the hot spot. Moving it redraws where it was and where it is.
class mtxIECursorEx : public mtxIECursor {
  public:
    ~mtxIECursorEx() override;
    // Takes width x height pixels (A8R8G8B8, row 0 first) and the hot spot.
    // The texture sides are the picture's rounded up to powers of two.
    // 0 for an empty or oversized picture.
    int SetPicture(const uint32_t* pixels, int width, int height, int hotX, int hotY);
    void MoveTo(mtxImageEditor* editor, int x, int y);
    // Where the picture lies, in editor coordinates.
    RECT Bounds() const;
    void Invalidate(mtxImageEditor* editor) const;
    // Draws at the current position; the texture is made on first use and
    // after a device reset.
    void Draw(mtxImageEditor* editor);
    void ReleaseTexture();

    std::vector<uint32_t> pixels;
    int width = 0, height = 0, textureWidth = 1, textureHeight = 1;
    POINT hotSpot, position = {-10000, -10000};
    IDirect3DTexture9* texture = nullptr;
    IDirect3DDevice9* textureDevice = nullptr;
};
