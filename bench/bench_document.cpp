// What a person waits for: the editor window made and its first frame drawn,
// and a 12-megapixel JPEG opened until the first frame shows it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "app/document/designer.h"
#include "app/document/picture_file.h"
#include "app/editor/image_editor_vd.h"
#include "base/application.h"
#include "image/image.h"
#include "platform/window.h"

namespace {

class BenchApp : public mtxApplication {
  public:
    BenchApp() : mtxApplication(nullptr, nullptr, "", 0) {}
    int Init() override { return 1; }
};

BenchApp& App() {
    static BenchApp app;
    return app;
}

// A 4000 x 3000 photo-like JPEG (smooth shapes and noise) in the temporary folder.
std::string TwelveMegapixelJpeg() {
    static std::string path = [] {
        std::string file = (std::filesystem::temp_directory_path() / "daubry-bench-12mp.jpg");
        mtxImage image(4000, 3000);
        std::mt19937 random(5);
        for (int y = 0; y < 3000; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(image.Row(y));
            for (int x = 0; x < 4000; ++x) {
                uint32_t noise = random() & 15;
                row[x] = 0xFF000000u | ((x / 16 + noise) & 255) << 16 |
                         ((y / 12 + noise) & 255) << 8 | (((x + y) / 28) & 255);
            }
        }
        mtxWritePictureFile(image, file, mtxPictureFormat::kJpeg);
        return file;
    }();
    return path;
}

// Waits until the device has drawn the frame: the back buffer read back.
void Finish(mtxImageEditor& editor) {
    IDirect3DDevice9* device = editor.GetDevice();
    IDirect3DSurface9* back = nullptr;
    if (!device || device->GetBackBuffer(0, 0, 0, &back) != D3D_OK || !back) return;
    D3DSURFACE_DESC desc = {};
    back->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                        &copy, nullptr);
    if (copy) {
        device->GetRenderTargetData(back, copy);
        copy->Release();
    }
    back->Release();
}

void BM_StartToFirstFrame(benchmark::State& state) {
    mtxOs::SetHeadless(true);
    App();
    for (auto _ : state) {
        auto editor = std::make_unique<mtxImageEditorVD>();
        if (!editor->CreateHeadless(1280, 800)) {
            state.SkipWithError("no headless device");
            return;
        }
        editor->Paint();
        Finish(*editor);
        state.PauseTiming();
        editor.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OpenTwelveMegapixelJpegToFirstFrame(benchmark::State& state) {
    mtxOs::SetHeadless(true);
    App();
    std::string path = TwelveMegapixelJpeg();
    mtxImageEditorVD editor;
    if (!editor.CreateHeadless(1280, 800)) {
        state.SkipWithError("no headless device");
        return;
    }
    editor.Paint();
    for (auto _ : state) {
        if (!editor.GetDesigner()->Open(path, 0)) {
            state.SkipWithError("the JPEG did not open");
            return;
        }
        editor.AddDirty(editor.clientRect);
        editor.Paint();
        Finish(editor);
    }
}
BENCHMARK(BM_OpenTwelveMegapixelJpegToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
