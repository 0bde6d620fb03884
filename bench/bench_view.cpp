// The viewer layer's operations at the sizes the filling run meets: a 64-pixel
// stamp drawn into 1, 2 and 4 tiles, stamps drawn one by one and in batches,
// CommitTiles of a fully dirty
// 12-megapixel layer, FlattenStack of 12 megapixels and the relief light's
// shade of a 12-megapixel picture.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "image/image.h"
#include "image/image_stack.h"
#include "render/create_texture.h"
#include "render/image_dx.h"
#include "render/image_editor_device.h"
#include "render/layers/flatten_stack.h"
#include "render/layers/relief_light.h"
#include "render/layers/viewer_layer.h"
#include "render/layers/viewer_tile.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;  // 12 megapixels

struct Scene {
    mtxImageEditorDevice editor;
    mtxImageStack stack;
    std::unique_ptr<mtxIEViewerLayer> layer;
    IDirect3DTexture9* sample = nullptr;
    mtxIEPixelShader* shader = nullptr;

    bool Open(int width, int height) {
        if (!editor.CreateDevice(nullptr)) return false;
        editor.SetFrameStates();
        IDirect3DDevice9* device = editor.GetDevice();
        auto image = std::make_unique<mtxImageDx>(device);
        if (!image->Create(width, height, 0) || !image->Lock()) return false;
        std::mt19937 random(3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) image->At(x, y) = random() | 0xFF000000u;
        image->Unlock();
        stack.AddLayer(0, std::move(image));
        layer = std::make_unique<mtxIEViewerLayer>(&editor);
        layer->SetSource(stack.GetLayer(0));
        std::vector<uint32_t> pixels(64 * 64);
        for (uint32_t& p : pixels) p = random();
        mtxImage picture(pixels.data(), 64, 64, 64 * 4);
        sample = mtxCreateTexture(device, picture);
        shader = editor.GetPixelShader(5357);
        return sample && shader;
    }
    ~Scene() {
        layer.reset();
        if (sample) sample->Release();
    }

    // Waits until the device has drawn everything (the last tile read back).
    void Finish() {
        mtxIEViewerLayer::Tile* last = layer->tiles.back().get();
        IDirect3DDevice9* device = editor.GetDevice();
        IDirect3DSurface9 *memory = nullptr, *level = nullptr;
        device->CreateOffscreenPlainSurface(128, 128, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory,
                                            nullptr);
        last->color->GetSurfaceLevel(0, &level);
        device->GetRenderTargetData(level, memory);
        level->Release();
        memory->Release();
    }

    int Stamp(float x, float y, float angle) {
        mtxIEViewerQuad quad;
        quad.left = quad.top = -32.0f;
        quad.right = quad.bottom = 32.0f;
        float c = std::cos(angle), s = std::sin(angle);
        const float m[9] = {c, s, 0, -s, c, 0, x, y, 1};
        std::copy(m, m + 9, quad.transform);
        const float c0[4] = {0.5f, 0.45f, 0.6f, 1.1f}, c1[4] = {0.2f, 0.3f, 0.4f, 1.0f};
        IDirect3DDevice9* device = editor.GetDevice();
        device->BeginScene();
        device->SetTexture(0, sample);
        int result = layer->DrawQuad(quad, shader, c0, c1);
        device->SetPixelShader(nullptr);
        device->EndScene();
        return result;
    }
};

// Where a 64-pixel stamp (turned, so its box is up to 91 pixels) touches 1, 2
// or 4 tiles.
void BM_DrawQuad(benchmark::State& state) {
    Scene scene;
    if (!scene.Open(600, 600)) {
        state.SkipWithError("no headless device or shaders");
        return;
    }
    const float at[3][2] = {{63.0f, 63.0f}, {126.0f, 63.0f}, {126.0f, 126.0f}};
    const float* where = at[state.range(0) == 1 ? 0 : state.range(0) == 2 ? 1 : 2];
    float angle = 0.0f;
    for (auto _ : state) {
        angle += 0.37f;
        // Turned by at most 11 degrees so the single-tile case stays in one tile.
        if (!scene.Stamp(where[0], where[1], 0.2f * std::sin(angle))) {
            state.SkipWithError("DrawQuad failed");
            return;
        }
    }
    state.counters["dirty tiles"] = double(scene.layer->DirtyTileCount());
    scene.layer->CommitTiles();  // waits for the device
    state.counters["quads/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawQuad)->Arg(1)->Arg(2)->Arg(4)->UseRealTime()->MinTime(2.0);

// Stamps of 8 to 48 pixels at random over a 4-megapixel layer, drawn one by
// one (batch 1) or in batches of the given size, as a filling run draws them.
void BM_StampBatches(benchmark::State& state) {
    Scene scene;
    if (!scene.Open(2450, 1630)) {
        state.SkipWithError("no headless device or shaders");
        return;
    }
    const size_t batch = size_t(state.range(0));
    std::mt19937 random(5);
    std::uniform_real_distribution<float> x(0.0f, 2450.0f), y(0.0f, 1630.0f), size(8.0f, 48.0f),
        angle(0.0f, 6.3f);
    const float c0[4] = {0.5f, 0.45f, 0.6f, 1.1f}, c1[4] = {0.2f, 0.3f, 0.4f, 1.0f};
    for (auto _ : state) {
        if (batch > 1) scene.layer->OpenBatch();
        for (size_t i = 0; i < batch; ++i) {
            mtxIEViewerQuad quad;
            const float half = size(random) / 2, turn = angle(random);
            quad.left = quad.top = -half;
            quad.right = quad.bottom = half;
            const float c = std::cos(turn), s = std::sin(turn);
            const float m[9] = {c, s, 0, -s, c, 0, x(random), y(random), 1};
            std::copy(m, m + 9, quad.transform);
            scene.layer->DrawQuad(quad, scene.shader, scene.sample, c0, c1);
        }
        if (batch > 1 && !scene.layer->CloseBatch()) {
            state.SkipWithError("a batch failed");
            return;
        }
    }
    scene.layer->CommitTiles();  // waits for the device
    state.counters["stamps/s"] =
        benchmark::Counter(double(state.iterations() * batch), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StampBatches)->Arg(1)->Arg(100)->Arg(1000)->UseRealTime()->MinTime(3.0);

void BM_CommitTiles12MP(benchmark::State& state) {
    Scene scene;
    if (!scene.Open(kWidth, kHeight)) {
        state.SkipWithError("no headless device or shaders");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        // Every tile dirty: one stamp per tile.
        for (int r = 0; r < scene.layer->rows; ++r)
            for (int c = 0; c < scene.layer->columns; ++c)
                scene.Stamp(float(c * 126 + 63), float(r * 126 + 63), 0.0f);
        scene.Finish();
        state.ResumeTiming();
        if (!scene.layer->CommitTiles()) state.SkipWithError("CommitTiles failed");
    }
    state.counters["tiles"] = double(scene.layer->columns * scene.layer->rows);
}
BENCHMARK(BM_CommitTiles12MP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_FlattenStack12MP(benchmark::State& state) {
    Scene scene;
    if (!scene.Open(kWidth, kHeight)) {
        state.SkipWithError("no headless device or shaders");
        return;
    }
    mtxImage picture;
    for (auto _ : state)
        if (!FlattenStack(scene.stack, picture)) state.SkipWithError("FlattenStack failed");
}
BENCHMARK(BM_FlattenStack12MP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ReliefLight12MP(benchmark::State& state) {
    Scene scene;
    if (!scene.Open(kWidth, kHeight)) {
        state.SkipWithError("no headless device or shaders");
        return;
    }
    mtxImage picture;
    FlattenStack(scene.stack, picture);
    mtxImageDx shade(scene.editor.GetDevice());
    mtxReliefLight light;
    light.on = true;
    for (auto _ : state)
        if (!mtxRenderReliefLight(&scene.editor, picture, light, shade))
            state.SkipWithError("the light could not be rendered");
}
BENCHMARK(BM_ReliefLight12MP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
