#pragma once
#include <cstdint>
#include <vector>

#include "platform/device.h"
#include "platform/window.h"

class mtxImageEditor;

// A cursor of the window system.
class mtxIECursor {
  public:
    // The program's cursor pictures (drawn by tools/picture_gen). Their hot
    // spot is their middle pixel.
    enum Resource : uint32_t { kMoveId = 3201, kRotateId = 3202, kPaintId = 3203 };

    mtxIECursor() = default;
    mtxIECursor(const mtxIECursor&) = delete;
    mtxIECursor& operator=(const mtxIECursor&) = delete;
    virtual ~mtxIECursor() { Free(); }
    // A cursor the system provides; 1 on success.
    int LoadSystem(mtxOs::SystemCursor which);
    // A cursor drawn as the program's picture resource id, its hot spot in the
    // middle; 1 on success, 0 (the cursor unchanged) when the picture is
    // missing, unreadable or larger than 256 x 256.
    int Load(uint32_t id);
    // Makes it the window system's cursor.
    void Set() const;

    mtxOs::HCURSOR handle = nullptr;

  protected:
    void Free();
    bool owned_ = false;  // handle made from a picture, destroyed with the object
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
    // The program's picture resource id, hot spot in the middle; 0 as Load.
    int LoadPicture(uint32_t id);
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
