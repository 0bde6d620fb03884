#pragma once
// Drawing helpers for the device tests: a headless editor, textures from pixel
// lists, full-target quads and read-backs.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/device.h"
#include "render/image_dx.h"
#include "render/image_editor_device.h"
#include "tests/support/test_support.h"

namespace render_test {

struct Vertex {  // XYZ | DIFFUSE | TEX1
    float x, y, z;
    uint32_t color;
    float u, v;
};
constexpr uint32_t kVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// An editor of type E with a headless device, made and prepared once for all
// the tests of a program. It goes when the tests end, while nothing else is
// ending, so the driver's threads are joined before the leak checker runs.
template <class E>
E& SharedEditor(void (*prepare)(E&) = nullptr) {
    static std::unique_ptr<E> editor;
    if (!editor) {
        editor = std::make_unique<E>();
        editor->CreateDevice(nullptr);
        if (prepare) prepare(*editor);
        testing_support::AtTestsEnd([] { editor.reset(); });
    }
    return *editor;
}

// The editor shared by one test program, with a headless device. Fails the
// test (not skips) when no device can be made.
mtxImageEditorDevice& Editor();
IDirect3DDevice9* Device();

// Direct3D's states after creation, so each test starts clean.
void ResetStates(IDirect3DDevice9* device);

// A managed texture holding pixels (row 0 first), through mtxImage::CreateTexture.
IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, int width, int height,
                               const std::vector<uint32_t>& pixels);
IDirect3DTexture9* MakeTarget(IDirect3DDevice9* device, int width, int height,
                              D3DFORMAT format = D3DFMT_A8R8G8B8);
// Level 0 of a render target as 32-bit words, row 0 first.
std::vector<uint32_t> ReadTarget(IDirect3DDevice9* device, IDirect3DTexture9* target);
void SetTarget(IDirect3DDevice9* device, IDirect3DTexture9* target);

// A quad from (-0.5, -0.5) to (width - 0.5, height - 0.5), texture
// coordinates (u0, v0) to (u1, v1), as a triangle strip.
void DrawQuad(IDirect3DDevice9* device, int width, int height, float z = 100.0f,
              uint32_t color = 0xFFFFFFFF, float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1);

// An image on the device holding pixels (row 0 first); null when it cannot be made.
std::unique_ptr<mtxImageDx> DeviceImage(IDirect3DDevice9* device, int width, int height,
                                        const std::vector<uint32_t>& pixels);

std::vector<uint32_t> RandomPixels(int count, uint32_t seed);

// Byte channel c (0 blue, 1 green, 2 red, 3 alpha) of a pixel, as 0..1.
inline float Channel(uint32_t pixel, int c) {
    return float((pixel >> (8 * c)) & 0xFF) / 255.0f;
}

// Compares every channel of got with want (0..1 floats, blue green red
// alpha) within tolerance bytes; describes the first difference or returns "".
std::string CompareChannels(const std::vector<uint32_t>& got,
                            const std::vector<std::vector<float>>& want, int tolerance);

}  // namespace render_test
