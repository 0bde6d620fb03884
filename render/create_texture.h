#pragma once

class mtxImage;
class IDirect3DTexture9;
class IDirect3DDevice9;

// A new managed A8R8G8B8 texture of the image's size holding its pixels, or
// null (no device, an empty image, or a failed creation or lock).
IDirect3DTexture9* mtxCreateTexture(IDirect3DDevice9* device, mtxImage& image);
