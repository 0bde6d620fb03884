// The present of an on-screen editor window of 1280 x 800: the compositor
// puts the window's frame and the back buffer together and shows them.
// Frames of one dirty pixel, so that the present is nearly all of it, of
// 100 x 30 pixels, and of the whole window; and the present of a whole window
// alone, its frame drawn beforehand.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "base/wnd.h"
#include "platform/window.h"
#include "ui/image_editor.h"

namespace {

struct OnScreen {
    OnScreen() {
        if (mtxOs::IsHeadless()) return;
        top.Create(nullptr, nullptr, mtxOs::WS_OVERLAPPEDWINDOW, "Daubry", 0, 0, 1280, 800, 0,
                   nullptr);
        top.Show(mtxOs::SW_SHOWNORMAL);
        ok = editor.Create(&top, 0, 0, 1280, 800);
        editor.Show(mtxOs::SW_SHOWNORMAL);
        Pump();
    }
    void Pump() {
        mtxOs::MSG msg;
        while (mtxOs::PeekMessage(msg, true)) mtxOs::DispatchMessage(msg);
    }
    mtxWnd top{1};
    mtxImageEditor editor;
    int ok = 0;
};

void Present(benchmark::State& state, RECT dirty) {
    OnScreen s;
    if (!s.ok) return state.SkipWithError("no display with OpenGL: run under Xvfb");
    for (auto _ : state) {
        // The compositor presents at most every 16 ms: wait that out untimed.
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(17));
        state.ResumeTiming();
        s.editor.AddDirty(dirty);
        s.editor.Paint();
    }
}

void PresentOneDirtyPixel(benchmark::State& state) {
    Present(state, {10, 10, 11, 11});
}
BENCHMARK(PresentOneDirtyPixel)->Unit(benchmark::kMillisecond);

void PresentDirty100x30(benchmark::State& state) {
    Present(state, {600, 420, 700, 450});
}
BENCHMARK(PresentDirty100x30)->Unit(benchmark::kMillisecond);

void FrameAndPresentWholeWindow(benchmark::State& state) {
    Present(state, {0, 0, 1280, 800});
}
BENCHMARK(FrameAndPresentWholeWindow)->Unit(benchmark::kMillisecond);

void PresentWholeWindow(benchmark::State& state) {
    OnScreen s;
    if (!s.ok) return state.SkipWithError("no display with OpenGL: run under Xvfb");
    IDirect3DDevice9* device = s.editor.GetDevice();
    for (auto _ : state) {
        state.PauseTiming();
        s.editor.AddDirty({0, 0, 1280, 800});
        s.editor.Paint();
        std::this_thread::sleep_for(std::chrono::milliseconds(17));
        state.ResumeTiming();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
}
BENCHMARK(PresentWholeWindow)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
