#pragma once
#include <memory>

#include "image/image.h"
#include "platform/device.h"

// An image whose pixels live in a system-memory surface of the device
// (A8R8G8B8). data and pitch are valid only between Lock and Unlock; the
// viewer's tiles copy the surface into their textures (GetSurface).
class mtxImageDx : public mtxImage {
  public:
    mtxImageDx() = default;
    // The device may also be given later (SetDevice) before Create.
    explicit mtxImageDx(IDirect3DDevice9* device) : device(device) {}
    ~mtxImageDx() override;

    // Maps the surface: data and pitch from the lock. 0 without a surface.
    int Lock() override;
    // Unmaps; data and pitch become 0.
    void Unlock() override;
    // Keeps surface and pixels when the size is unchanged; otherwise a new
    // surface, pixels not written. 0 (and no surface) on failure.
    int Create(int width, int height, mtxColorValue fill) override;
    // Releases the surface too, so no stale surface outlives the size.
    void Free() override;
    // Copies the pixels into a surface of the other's size; 0 on failure.
    int Assign(const Base& other) override;
    // A device image on the same device, filled opaque black.
    std::unique_ptr<mtxImage> CreateSameKind(int width, int height) const override;

    // Unlocks and returns the surface (not referenced), or null.
    IDirect3DSurface9* GetSurface();
    void SetDevice(IDirect3DDevice9* newDevice) { device = newDevice; }

    IDirect3DDevice9* device = nullptr;    // not owned
    IDirect3DSurface9* surface = nullptr;  // owned

  private:
    void ReleaseSurface();
    int locked_ = 0;
};
