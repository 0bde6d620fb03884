#include "tests/render/render_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "image/image.h"
#include "render/create_texture.h"
#include "tests/support/image_pixels.h"

namespace render_test {

mtxImageEditorDevice& Editor() {
    return SharedEditor<mtxImageEditorDevice>();
}

IDirect3DDevice9* Device() {
    IDirect3DDevice9* device = Editor().GetDevice();
    EXPECT_NE(device, nullptr) << "no headless OpenGL 3.3 device (EGL, Mesa llvmpipe)";
    return device;
}

void ResetStates(IDirect3DDevice9* device) {
    IDirect3DSurface9* back = nullptr;
    device->GetBackBuffer(0, 0, 0, &back);
    device->SetRenderTarget(0, back);
    back->Release();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    for (uint32_t i = 0; i < 8; ++i) {
        device->SetTexture(i, nullptr);
        device->SetSamplerState(i, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        device->SetSamplerState(i, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
        device->SetSamplerState(i, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        device->SetSamplerState(i, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        device->SetSamplerState(i, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    }
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetFVF(kVertexFormat);
}

std::unique_ptr<mtxImageDx> DeviceImage(IDirect3DDevice9* device, int width, int height,
                                        const std::vector<uint32_t>& pixels) {
    auto image = std::make_unique<mtxImageDx>(device);
    if (!testing_support::PutPixels(*image, width, height, pixels)) return nullptr;
    return image;
}

IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, int width, int height,
                               const std::vector<uint32_t>& pixels) {
    mtxImage image(const_cast<uint32_t*>(pixels.data()), width, height, width * 4);
    return mtxCreateTexture(device, image);
}

IDirect3DTexture9* MakeTarget(IDirect3DDevice9* device, int width, int height, D3DFORMAT format) {
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(uint32_t(width), uint32_t(height), 1, D3DUSAGE_RENDERTARGET, format,
                          D3DPOOL_DEFAULT, &texture, nullptr);
    return texture;
}

std::vector<uint32_t> ReadTarget(IDirect3DDevice9* device, IDirect3DTexture9* target) {
    D3DSURFACE_DESC desc;
    target->GetLevelDesc(0, &desc);
    IDirect3DSurface9* memory = nullptr;
    IDirect3DSurface9* level = nullptr;
    std::vector<uint32_t> pixels;
    if (FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                   D3DPOOL_SYSTEMMEM, &memory, nullptr)))
        return pixels;
    target->GetSurfaceLevel(0, &level);
    if (SUCCEEDED(device->GetRenderTargetData(level, memory))) {
        D3DLOCKED_RECT locked;
        memory->LockRect(&locked, nullptr, 0);
        pixels.resize(size_t(desc.Width) * desc.Height);
        for (uint32_t y = 0; y < desc.Height; ++y)
            std::memcpy(&pixels[y * desc.Width],
                        static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, desc.Width * 4);
        memory->UnlockRect();
    }
    level->Release();
    memory->Release();
    return pixels;
}

void SetTarget(IDirect3DDevice9* device, IDirect3DTexture9* target) {
    IDirect3DSurface9* level = nullptr;
    target->GetSurfaceLevel(0, &level);
    device->SetRenderTarget(0, level);
    level->Release();
}

void DrawQuad(IDirect3DDevice9* device, int width, int height, float z, uint32_t color, float u0,
              float v0, float u1, float v1) {
    float l = -0.5f, t = -0.5f, r = float(width) - 0.5f, b = float(height) - 0.5f;
    Vertex quad[4] = {{l, t, z, color, u0, v0},
                      {r, t, z, color, u1, v0},
                      {l, b, z, color, u0, v1},
                      {r, b, z, color, u1, v1}};
    device->SetFVF(kVertexFormat);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
}

std::vector<uint32_t> RandomPixels(int count, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint32_t> pixels(static_cast<size_t>(count));
    for (uint32_t& p : pixels) p = random();
    return pixels;
}

std::string CompareChannels(const std::vector<uint32_t>& got,
                            const std::vector<std::vector<float>>& want, int tolerance) {
    if (got.size() != want.size()) return "size differs";
    for (size_t i = 0; i < got.size(); ++i)
        for (int c = 0; c < 4; ++c) {
            float w = std::clamp(want[i][size_t(c)], 0.0f, 1.0f);
            int expected = int(std::lround(w * 255.0f));
            int actual = int((got[i] >> (8 * c)) & 0xFF);
            if (std::abs(expected - actual) > tolerance)
                return "pixel " + std::to_string(i) + " channel " + std::to_string(c) + ": got " +
                       std::to_string(actual) + ", want " + std::to_string(expected);
        }
    return "";
}

}  // namespace render_test
