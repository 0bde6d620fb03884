// The viewer control and the filling tool in a headless editor of 1280 x 800
// (llvmpipe where there is no GPU):
// - BM_ViewerFullPaint: one frame that repaints the whole viewer, a picture
//   larger than its client area composed into it (the frame waits for the
//   device);
// - BM_FrameWithoutViewer: the same frame with the viewer hidden, for
//   comparison;
// - BM_ToolPlacements: the filling tool running on its 1 ms timer through the
//   editor's message loop for one second per iteration, placing 32 x 32
//   samples at sizes 8 to 48 into a picture of 1 MP (1280 x 800) or 4 MP
//   (2560 x 1600), Calm (0) or Fast (1), and repainting what changed:
//   placements and frames per second, the 95th percentile of the time between
//   frames and of the time one message holds the loop. BM_SessionSteps: the same stamps from
//   the fill session alone, as `daubry fill` places them, for comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "app/filling/mdf_field.h"
#include "base/application.h"
#include "fill/fill_session.h"
#include "fill/sample_collection.h"
#include "image/image_stack.h"
#include "platform/device.h"
#include "platform/window.h"
#include "render/create_texture.h"
#include "render/image_dx.h"
#include "render/layers/viewer_layer.h"
#include "ui/image_editor.h"
#include "ui/tool_bar.h"
#include "ui/viewer/viewer.h"

namespace {

using Clock = std::chrono::steady_clock;

class BenchApp : public mtxApplication {
  public:
    BenchApp() : mtxApplication(nullptr, nullptr, "", 0) {}
    int Init() override { return 1; }
};

// Areas of colour with some grain, so the segmentation finds regions.
std::unique_ptr<mtxImageDx> MakePicture(IDirect3DDevice9* device, int width, int height) {
    auto image = std::make_unique<mtxImageDx>(device);
    if (!image->Create(width, height, 0) || !image->Lock()) return nullptr;
    std::mt19937 random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t base = (x / 160 + y / 120) % 3 == 0   ? 0xFF2060C0u
                            : (x / 160 + y / 120) % 3 == 1 ? 0xFFE0C020u
                                                           : 0xFF30A040u;
            image->At(x, y) = base + (random() & 0x070707u);
        }
    image->Unlock();
    return image;
}

struct Window {
    BenchApp app;
    mtxImageEditor editor;
    mtxImageStack stack;
    mtxIEToolBar* bar = nullptr;
    mtxIEViewer* viewer = nullptr;
    bool ok = false;

    Window(int pictureWidth, int pictureHeight) {
        mtxOs::SetHeadless(true);
        mtxDxTestSwitches().headlessWidth = 1280;
        mtxDxTestSwitches().headlessHeight = 800;
        if (!editor.CreateHeadless(1280, 800)) return;
        bar = new mtxIEToolBar(editor.canvas.get());
        bar->SetRect({0, 0, 1280, 45});
        bar->Show(1);
        viewer = new mtxIEViewer(editor.canvas.get());
        viewer->SetRect({0, 45, 1280, 800});
        stack.AddLayer(0, MakePicture(editor.GetDevice(), pictureWidth, pictureHeight));
        viewer->SetStack(&stack);
        editor.AddDirty(editor.clientRect);
        editor.Paint();
        ok = stack.LayerCount() == 1 && viewer->paintFailed == 0;
    }
    ~Window() { viewer->SetStack(nullptr); }

    void Pump(Clock::time_point until) {
        mtxOs::MSG msg;
        while (Clock::now() < until) {
            Clock::time_point start = Clock::now();
            if (mtxOs::PeekMessage(msg, true)) {
                mtxOs::DispatchMessage(msg);
                // How long a click arriving now would wait: the message at hand.
                handling.push_back(Ms(Clock::now() - start));
            } else {
                mtxOs::WaitMessage(1);
            }
            if (editor.frameCount != lastFrame) {
                Clock::time_point now = Clock::now();
                if (lastFrame) frameGaps.push_back(Ms(now - lastFrameAt));
                lastFrame = editor.frameCount, lastFrameAt = now;
            }
        }
    }
    static double Ms(Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    }
    static double Percentile(std::vector<double> values, double share) {
        if (values.empty()) return 0;
        size_t at = std::min(values.size() - 1, size_t(share * double(values.size())));
        std::nth_element(values.begin(), values.begin() + long(at), values.end());
        return values[at];
    }

    std::vector<double> frameGaps, handling;  // milliseconds
    uint64_t lastFrame = 0;
    Clock::time_point lastFrameAt;
};

void BM_ViewerFullPaint(benchmark::State& state) {
    Window window(1600, 1000);
    if (!window.ok) {
        state.SkipWithError("no headless device or the viewer could not paint");
        return;
    }
    for (auto _ : state) {
        window.viewer->Invalidate();
        window.editor.Paint();  // presents, which waits for the device headless
    }
    if (window.viewer->paintFailed) state.SkipWithError("the composition failed");
    RECT client = window.viewer->GetClientRect();
    state.counters["client pixels"] =
        double((client.right - client.left) * (client.bottom - client.top));
}
BENCHMARK(BM_ViewerFullPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The same frame with the viewer hidden: what the editor's frame costs alone.
void BM_FrameWithoutViewer(benchmark::State& state) {
    Window window(1600, 1000);
    if (!window.ok) {
        state.SkipWithError("no headless device");
        return;
    }
    window.viewer->Show(0);
    for (auto _ : state) {
        window.editor.AddDirty(window.editor.clientRect);
        window.editor.Paint();
    }
}
BENCHMARK(BM_FrameWithoutViewer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// 32 x 32 discs with a soft edge in eight colours.
void AddDiscs(SampleCollection& samples, IDirect3DDevice9* device) {
    for (int i = 0; i < 8; ++i) {
        mtxImage picture;
        picture.Create(32, 32, 0);
        uint32_t color = 0x00405080u + 0x00302010u * uint32_t(i);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                double r = std::hypot(x + 0.5 - 16, y + 0.5 - 16);
                double alpha = std::fmin(1.0, std::fmax(0.0, 14.5 - r));
                picture.At(x, y) = (uint32_t(alpha * 255) << 24) | color;
            }
        SampleCollection::Sample& s = samples.samples[samples.count++];
        s.texture = mtxCreateTexture(device, picture);
        s.width = s.height = 32;
        s.scale = float((32 / std::sqrt(2.0)) / 14);
        s.key[0] = 0.1f * float(i), s.key[1] = s.key[2] = 0.5f;
        s.meanColor[0] = s.meanColor[1] = s.meanColor[2] = 0.5f;
    }
    samples.changed = 1;
}

int PictureWidth(int64_t megapixels) {
    return megapixels >= 4 ? 2560 : 1280;
}
int PictureHeight(int64_t megapixels) {
    return megapixels >= 4 ? 1600 : 800;
}

void BM_ToolPlacements(benchmark::State& state) {
    Window window(PictureWidth(state.range(1)), PictureHeight(state.range(1)));
    if (!window.ok) {
        state.SkipWithError("no headless device or the viewer could not paint");
        return;
    }
    SampleCollection samples;
    samples.Bind(window.editor);
    samples.background = 1;
    samples.sizeMin = 8, samples.sizeMax = 48;
    samples.speed = state.range(0) ? SampleCollection::kSpeedFast : SampleCollection::kSpeedCalm;
    AddDiscs(samples, window.editor.GetDevice());
    auto* tool = new mtxIEMdfField(window.viewer, window.bar, samples);
    tool->Process(mtxIEMdfField::kGo, 0);
    Clock::time_point end = Clock::now() + std::chrono::seconds(120);
    while (tool->Preparing() && Clock::now() < end)
        window.Pump(Clock::now() + std::chrono::milliseconds(10));
    if (!tool->Prepared()) {
        state.SkipWithError("the picture was not prepared");
        window.viewer->RemoveChild(tool);
        return;
    }
    uint64_t placements = tool->placements, frames = window.editor.frameCount;
    window.frameGaps.clear(), window.handling.clear();
    double seconds = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        window.Pump(start + std::chrono::seconds(1));
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["placements/s"] = double(tool->placements - placements) / seconds;
    state.counters["frames/s"] = double(window.editor.frameCount - frames) / seconds;
    state.counters["coverage %"] = tool->Session()->Coverage() * 100.0;
    // The 95th percentile of the time between frames, and of the time one
    // message (a batch of stamps among them) holds the loop: what a click
    // on a menu waits at most before it is handled.
    state.counters["frame p95 ms"] = Window::Percentile(window.frameGaps, 0.95);
    state.counters["message p95 ms"] = Window::Percentile(window.handling, 0.95);
    state.counters["message max ms"] = Window::Percentile(window.handling, 1.0);
    window.viewer->RemoveChild(tool);
}
BENCHMARK(BM_ToolPlacements)
    ->ArgsProduct({{0, 1}, {1, 4}})
    ->ArgNames({"fast", "mp"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// The stamps of the tool above without the window: the session's steps in a
// loop, the tiles committed at the end, as `daubry fill` runs them.
void BM_SessionSteps(benchmark::State& state) {
    Window window(PictureWidth(state.range(0)), PictureHeight(state.range(0)));
    if (!window.ok) {
        state.SkipWithError("no headless device");
        return;
    }
    SampleCollection samples;
    samples.Bind(window.editor);
    samples.background = 1;
    samples.sizeMin = 8, samples.sizeMax = 48;
    AddDiscs(samples, window.editor.GetDevice());
    mtxIEViewerLayer* layer = window.viewer->GetLayer(0);
    mtxFillSession session(window.editor, samples, *layer);
    if (!session.BeginPreparation()) {
        state.SkipWithError("the picture cannot be prepared");
        return;
    }
    while (!session.PrepareSlice()) {
    }
    if (!session.FinishPreparation()) {
        state.SkipWithError("the picture was not prepared");
        return;
    }
    double seconds = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        while (Clock::now() - start < std::chrono::seconds(1)) session.Step(1);
        layer->CommitTiles();  // waits for the device
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["placements/s"] = double(session.stamps) / seconds;
    state.counters["coverage %"] = session.Coverage() * 100.0;
}
BENCHMARK(BM_SessionSteps)
    ->Arg(1)
    ->Arg(4)
    ->ArgName("mp")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
