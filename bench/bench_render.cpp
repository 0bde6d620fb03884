// Steps per second of the filling engine's drawing pattern: per step and
// tile, one textured quad through the recolouring shader (5357) into a
// 128 x 128 scratch target, then that target laid over the tile's colour
// texture with sampleOver (5067, through 5066) into a second target, which
// becomes the tile's new colour texture.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "image/image.h"
#include "render/create_texture.h"
#include "render/image_editor_device.h"

namespace {

struct Vertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};
constexpr uint32_t kFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Scene {
    mtxImageEditorDevice editor;
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* sample = nullptr;
    mtxIEPixelShader* recolour = nullptr;
    mtxIEPixelShader* over = nullptr;
    mtxIEVertexShader* plain = nullptr;
    std::vector<IDirect3DTexture9*> tiles;

    bool Open(int tileCount) {
        if (!editor.CreateDevice(nullptr)) return false;
        device = editor.GetDevice();
        std::vector<uint32_t> pixels(64 * 64);
        std::mt19937 random(7);
        for (uint32_t& p : pixels) p = random();
        mtxImage image(pixels.data(), 64, 64, 64 * 4);
        sample = mtxCreateTexture(device, image);
        recolour = editor.GetPixelShader(5357);
        over = editor.GetPixelShader(5067);
        plain = editor.GetVertexShader(5066);
        if (!sample || !recolour || !over || !plain) return false;
        for (int i = 0; i < tileCount; ++i) {
            IDirect3DTexture9* tile = editor.AcquireTexture(mtxImageEditorDevice::kPoolColor);
            if (!tile) return false;
            IDirect3DSurface9* level = nullptr;
            tile->GetSurfaceLevel(0, &level);
            device->ColorFill(level, nullptr, 0xFF808080);
            level->Release();
            tiles.push_back(tile);
        }
        editor.SetFrameStates();
        return true;
    }
    ~Scene() {
        if (sample) sample->Release();
    }

    // One sample drawn into one tile, as the viewer layer does it.
    void DrawIntoTile(size_t t, const Vertex* quad, const float constants[8]) {
        D3DMATRIX tileProjection = mtxImageEditorDevice::Projection(128, 128);
        IDirect3DSurface9* previous = nullptr;
        device->GetRenderTarget(0, &previous);

        IDirect3DTexture9* scratch = editor.AcquireTexture(mtxImageEditorDevice::kPoolColor);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        IDirect3DSurface9* level = nullptr;
        scratch->GetSurfaceLevel(0, &level);
        device->SetRenderTarget(0, level);
        level->Release();
        device->SetTransform(D3DTS_PROJECTION, &tileProjection);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->SetFVF(kFormat);
        device->SetVertexShader(nullptr);
        device->SetPixelShader(recolour->shader);
        device->SetTexture(0, sample);
        device->SetPixelShaderConstantF(0, constants, 2);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));

        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
        IDirect3DTexture9* result = editor.AcquireTexture(mtxImageEditorDevice::kPoolColor);
        result->GetSurfaceLevel(0, &level);
        device->SetRenderTarget(0, level);
        level->Release();
        device->SetTexture(2, tiles[t]);
        device->SetTexture(3, scratch);
        device->SetVertexShader(plain->shader);
        device->SetVertexShaderConstantF(0, &tileProjection.m[0][0], 4);
        device->SetPixelShader(over->shader);
        const Vertex full[4] = {{-0.5f, -0.5f, 100, 0xFFFFFFFF, 0, 0},
                                {127.5f, -0.5f, 100, 0xFFFFFFFF, 1, 0},
                                {-0.5f, 127.5f, 100, 0xFFFFFFFF, 0, 1},
                                {127.5f, 127.5f, 100, 0xFFFFFFFF, 1, 1}};
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, full, sizeof(Vertex));

        device->SetRenderTarget(0, previous);
        previous->Release();
        device->SetVertexShader(nullptr);
        device->SetTexture(2, nullptr);
        device->SetTexture(3, nullptr);
        editor.ReleaseTexture(mtxImageEditorDevice::kPoolColor, scratch);
        editor.ReleaseTexture(mtxImageEditorDevice::kPoolColor, tiles[t]);
        tiles[t] = result;
    }

    // Waits for the device by reading one tile back.
    void Finish() {
        IDirect3DSurface9* memory = nullptr;
        IDirect3DSurface9* level = nullptr;
        device->CreateOffscreenPlainSurface(128, 128, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory,
                                            nullptr);
        tiles[0]->GetSurfaceLevel(0, &level);
        device->GetRenderTargetData(level, memory);
        level->Release();
        memory->Release();
    }
};

void BM_PlaceSampleSteps(benchmark::State& state) {
    Scene scene;
    if (!scene.Open(int(state.range(0)))) {
        state.SkipWithError("no headless device or shaders");
        return;
    }
    IDirect3DDevice9* device = scene.device;
    const float constants[8] = {0.5f, 0.45f, 0.6f, 1.1f, 0.2f, 0.3f, 0.4f, 1.0f};
    float angle = 0;
    for (auto _ : state) {
        // A 40 x 40 sample turned about a point inside the tile.
        angle += 0.37f;
        float c = std::cos(angle), s = std::sin(angle);
        Vertex quad[4];
        const float corners[4][4] = {
            {-20, -20, 0, 0}, {20, -20, 1, 0}, {-20, 20, 0, 1}, {20, 20, 1, 1}};
        for (int i = 0; i < 4; ++i) {
            float x = corners[i][0], y = corners[i][1];
            quad[i] = {x * c - y * s + 64, x * s + y * c + 64, 100,
                       0xFFFFFFFF,         corners[i][2],      corners[i][3]};
        }
        device->BeginScene();
        for (size_t t = 0; t < scene.tiles.size(); ++t) scene.DrawIntoTile(t, quad, constants);
        device->SetPixelShader(nullptr);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        device->EndScene();
    }
    scene.Finish();
    state.counters["steps/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["tiles"] = double(state.range(0));
}
BENCHMARK(BM_PlaceSampleSteps)->Arg(1)->Arg(2)->Arg(4)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
