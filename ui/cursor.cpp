#include "ui/cursor.h"

#include <cstring>

#include "image/image.h"
#include "image/io/image_load.h"

#include "ui/image_editor.h"
#include "ui/primitives.h"

namespace {

int PowerOfTwo(int n) {
    int p = 1;
    while (p < n) p <<= 1;
    return p;
}

// The picture resource as rows of ARGB pixels, at most 256 x 256.
bool LoadCursorPicture(uint32_t id, std::vector<uint32_t>& pixels, int& width, int& height) {
    mtxImage image;
    if (!mtxImageLoad(image, id, 0) || image.IsEmpty() || image.width > 256 || image.height > 256)
        return false;
    width = image.width, height = image.height;
    pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * size_t(width) + size_t(x)] = image.At(x, y);
    return true;
}

}  // namespace

int mtxIECursor::LoadSystem(mtxOs::SystemCursor which) {
    Free();
    handle = mtxOs::LoadCursor(which);
    return handle ? 1 : 0;
}

int mtxIECursor::Load(uint32_t id) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    if (!LoadCursorPicture(id, pixels, width, height)) return 0;
    mtxOs::HCURSOR made = mtxOs::CreateCursor(pixels.data(), width, height, width / 2, height / 2);
    if (!made) return 0;
    Free();
    handle = made;
    owned_ = true;
    return 1;
}

void mtxIECursor::Free() {
    if (owned_ && handle) mtxOs::DestroyCursor(handle);
    handle = nullptr;
    owned_ = false;
}

void mtxIECursor::Set() const {
    if (handle) mtxOs::SetCursor(handle);
}

mtxIECursorEx::~mtxIECursorEx() {
    ReleaseTexture();
}

int mtxIECursorEx::LoadPicture(uint32_t id) {
    std::vector<uint32_t> picture;
    int w = 0, h = 0;
    if (!LoadCursorPicture(id, picture, w, h)) return 0;
    return SetPicture(picture.data(), w, h, w / 2, h / 2);
}

int mtxIECursorEx::SetPicture(const uint32_t* source, int w, int h, int hotX, int hotY) {
    if (!source || w <= 0 || h <= 0 || w > 256 || h > 256) return 0;
    ReleaseTexture();
    pixels.assign(source, source + size_t(w) * size_t(h));
    width = w, height = h;
    textureWidth = PowerOfTwo(w), textureHeight = PowerOfTwo(h);
    hotSpot = {hotX, hotY};
    return 1;
}

RECT mtxIECursorEx::Bounds() const {
    int left = position.x - hotSpot.x, top = position.y - hotSpot.y;
    return {left, top, left + width, top + height};
}

void mtxIECursorEx::Invalidate(mtxImageEditor* editor) const {
    if (editor) editor->AddDirty(Bounds());
}

void mtxIECursorEx::MoveTo(mtxImageEditor* editor, int x, int y) {
    if (position.x == x && position.y == y) return;
    Invalidate(editor);
    position = {x, y};
    Invalidate(editor);
}

void mtxIECursorEx::ReleaseTexture() {
    if (texture) texture->Release();
    texture = nullptr;
    textureDevice = nullptr;
}

void mtxIECursorEx::Draw(mtxImageEditor* editor) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!device || pixels.empty()) return;
    if (textureDevice != device) ReleaseTexture();
    if (!texture) {
        // Managed: it outlives a device loss.
        if (FAILED(device->CreateTexture(uint32_t(textureWidth), uint32_t(textureHeight), 1, 0,
                                         D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)))
            return;
        D3DLOCKED_RECT locked;
        if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) return ReleaseTexture();
        for (int y = 0; y < textureHeight; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                                    size_t(y) * size_t(locked.Pitch));
            std::memset(row, 0, size_t(textureWidth) * 4);
            if (y < height) std::memcpy(row, &pixels[size_t(y) * width], size_t(width) * 4);
        }
        texture->UnlockRect(0);
        textureDevice = device;
    }
    RECT b = Bounds();
    mtxIEPrimitives::TexturedRect(device, texture, b.left, b.top, textureWidth, textureHeight);
}
