// The editor presented on a real display (run under Xvfb by under_xvfb.sh):
// a frame with a small dirty rectangle re-composes and copies only that
// rectangle, so what lies outside it stays on screen as it was even when the
// back buffer there holds something else; a whole frame shows everything.
// The window composed on the CPU, as it is on a software rasteriser, shows
// the same pixels as the window composed by GL.
// A frame held back to keep to the display's pace goes out before a timer's
// work. Also the display's end: closed with no window left, it takes the
// driver's threads with it, and the next window opens it again.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "base/wnd.h"
#include "platform/gl/gl_compositor.h"
#include "platform/window.h"
#include "platform/window/window_internal.h"
#include "platform/window_menu.h"
#include "tests/support/test_support.h"
#include "tests/ui/screen_reader.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace ui_test;

constexpr uint32_t kGreen = 0xFF00C000, kRed = 0xFFE00000, kBlue = 0xFF0000E0;
constexpr int kWidth = 320, kHeight = 240;

// Handles messages until the compositor's pending presents are out (it shows
// at most one frame every 16 ms).
void Settle(int rounds = 6) {
    for (int i = 0; i < rounds; ++i) {
        mtxOs::MSG msg;
        while (mtxOs::PeekMessage(msg, true)) mtxOs::DispatchMessage(msg);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

struct Screen {
    std::vector<uint32_t> pixels;
    int x0 = -1, y0 = -1;  // the editor's top-left corner on screen
    uint32_t At(int x, int y) const { return pixels[size_t(y0 + y) * 640 + size_t(x0 + x)]; }
};

// The screen, with the editor found as the first pixel of its known colour
// at its top-left corner.
Screen Read(uint32_t topLeft) {
    Screen s;
    s.pixels = ReadScreen(0, 0, 640, 480);
    for (int y = 0; y < 480 && s.y0 < 0 && !s.pixels.empty(); ++y)
        for (int x = 0; x < 640; ++x)
            if (s.pixels[size_t(y) * 640 + size_t(x)] == (topLeft & 0xFFFFFF)) {
                s.x0 = x, s.y0 = y;
                break;
            }
    return s;
}

// Reads the screen until it shows the editor and what is awaited, for up to
// 5 s: a loaded machine may show a present late, never out of order.
Screen ReadWhen(uint32_t topLeft, const std::function<bool(const Screen&)>& shows) {
    Screen s;
    for (int i = 0; i < 250; ++i) {
        Settle(1);
        s = Read(topLeft);
        if (s.x0 >= 0 && shows(s)) break;
    }
    return s;
}

Screen ReadWhenOnScreen(uint32_t topLeft) {
    return ReadWhen(topLeft, [](const Screen&) { return true; });
}

TEST(PartialPresent, LeavesTheWindowOutsideTheDirtyRectangleAsItWas) {
    testing_support::SharedApp();
    ASSERT_FALSE(mtxOs::IsHeadless()) << "run under a display (under_xvfb.sh)";
    mtxWnd top;  // from the id pool, so that it destroys its window
    top.Create(nullptr, nullptr, mtxOs::WS_OVERLAPPEDWINDOW, "Present", 0, 0, kWidth, kHeight, 0,
               nullptr);
    top.Show(mtxOs::SW_SHOWNORMAL);
    mtxImageEditor editor;
    ASSERT_EQ(editor.Create(&top, 0, 0, kWidth, kHeight), 1);
    editor.Show(mtxOs::SW_SHOWNORMAL);
    new Spy(editor.canvas.get(), {0, 0, kWidth, kHeight}, kGreen);
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    Screen before = ReadWhen(kGreen, [](const Screen& s) {
        return s.At(kWidth - 1, kHeight - 1) == (kGreen & 0xFFFFFF);
    });
    ASSERT_GE(before.x0, 0) << "the editor is not on screen";
    EXPECT_EQ(before.At(200, 150), kGreen & 0xFFFFFF);
    EXPECT_EQ(before.At(kWidth - 1, kHeight - 1), kGreen & 0xFFFFFF);

    // The back buffer turns blue at (180..240, 120..180) behind everyone's
    // back; then a control appears at (40..80, 40..80) and only it is drawn.
    IDirect3DDevice9* device = editor.GetDevice();
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    RECT hidden = {180, 120, 240, 180};
    ASSERT_EQ(device->Clear(1, &hidden, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
    new Spy(editor.canvas.get(), {40, 40, 80, 80}, kRed);
    const uint64_t frames = editor.frameCount;
    editor.Paint();
    EXPECT_EQ(editor.frameCount, frames + 1);
    Screen after =
        ReadWhen(kGreen, [](const Screen& s) { return s.At(60, 60) == (kRed & 0xFFFFFF); });
    ASSERT_EQ(after.x0, before.x0);
    EXPECT_EQ(after.At(60, 60), kRed & 0xFFFFFF);
    EXPECT_EQ(after.At(40, 40), kRed & 0xFFFFFF);
    EXPECT_EQ(after.At(39, 60), kGreen & 0xFFFFFF);
    EXPECT_EQ(after.At(210, 150), kGreen & 0xFFFFFF)
        << "a partial present copied more than its rectangle";
    EXPECT_EQ(after.At(10, 200), kGreen & 0xFFFFFF);

    // A whole frame redraws and shows everything: the blue is drawn over again.
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    Settle();
    Screen whole = Read(kGreen);
    EXPECT_EQ(whole.At(210, 150), kGreen & 0xFFFFFF);
    EXPECT_EQ(whole.At(60, 60), kRed & 0xFFFFFF);
}

// The whole screen showing a window with a menu bar, an editor of coloured
// patches (a layer read back one pixel off would show) and the File menu
// open over the editor, composed by GL or not.
std::vector<uint32_t> MenuOverPatches(bool composeOnGl) {
    if (composeOnGl)
        setenv("DAUBRY_GL_COMPOSE", "1", 1);
    else
        unsetenv("DAUBRY_GL_COMPOSE");
    mtxWnd top;
    top.Create(nullptr, nullptr, mtxOs::WS_OVERLAPPEDWINDOW, "Compose", 0, 0, kWidth, kHeight, 0,
               nullptr);
    EXPECT_EQ(top.SetMenu(40601), 1);
    top.Show(mtxOs::SW_SHOWNORMAL);
    RECT client;
    mtxOs::GetClientRect(top.Handle(), client);
    mtxImageEditor editor;
    EXPECT_EQ(editor.Create(&top, 0, 0, client.right, client.bottom), 1);
    editor.Show(mtxOs::SW_SHOWNORMAL);
    new Spy(editor.canvas.get(), {0, 0, kWidth, kHeight}, kGreen);
    for (int i = 0; i < 12; ++i)
        new Spy(editor.canvas.get(), {7 + 23 * i, 3 + 13 * i, 19 + 23 * i, 9 + 13 * i},
                i % 2 ? kRed : kBlue);
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    auto green = [](const std::vector<uint32_t>& screen) {
        return std::count(screen.begin(), screen.end(), kGreen & 0xFFFFFF);
    };
    const auto greenWithoutMenu = green(
        ReadWhen(kGreen, [](const Screen& s) { return s.At(8, 4) == (kBlue & 0xFFFFFF); }).pixels);
    mtxOs::MSG alt{top.Handle(), mtxOs::WM_SYSKEYDOWN, mtxOs::WPARAM('F'), 1 << 29, 0, {}};
    mtxOs::TranslateMessage(alt);
    // The menu shown, and the screen still from one read to the next.
    std::vector<uint32_t> screen;
    ReadWhen(kGreen, [&](const Screen& s) {
        bool still = s.pixels == screen;
        screen = s.pixels;
        return still && green(screen) < greenWithoutMenu;
    });
    EXPECT_TRUE(mtxOs::MenuIsActive(top.Handle()));
    EXPECT_LT(green(screen), greenWithoutMenu) << "the menu does not lie over the editor";
    mtxOs::MenuHandleKey(top.Handle(), mtxOs::VK_ESCAPE);
    mtxOs::MenuHandleKey(top.Handle(), mtxOs::VK_ESCAPE);
    unsetenv("DAUBRY_GL_COMPOSE");
    return screen;
}

TEST(Compose, OnTheCpuShowsTheSamePixelsAsGl) {
    testing_support::SharedApp();
    ASSERT_FALSE(mtxOs::IsHeadless()) << "run under a display (under_xvfb.sh)";
    std::vector<uint32_t> cpu = MenuOverPatches(false), gl = MenuOverPatches(true);
    ASSERT_EQ(cpu.size(), size_t(640 * 480));
    ASSERT_EQ(gl.size(), cpu.size());
    auto count = [&](uint32_t color) {
        return std::count(cpu.begin(), cpu.end(), color & 0xFFFFFF);
    };
    EXPECT_GT(count(kGreen), 10000) << "the editor is not on screen";
    EXPECT_GT(count(kRed), 50) << "no patch is left beside the File popup";
    size_t differ = 0, first = 0;
    for (size_t i = 0; i < cpu.size(); ++i)
        if (cpu[i] != gl[i] && differ++ == 0) first = i;
    EXPECT_EQ(differ, 0u) << "first at (" << first % 640 << ", " << first / 640 << "): CPU "
                          << std::hex << cpu[first] << ", GL " << gl[first];
}

size_t ThreadCount() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

// A window with an editor filled green; the cursor is set over it.
struct GreenWindow {
    explicit GreenWindow(mtxOs::HCURSOR cursor) {
        top.Create(nullptr, nullptr, mtxOs::WS_OVERLAPPEDWINDOW, "Display", 0, 0, kWidth, kHeight,
                   0, nullptr);
        top.Show(mtxOs::SW_SHOWNORMAL);
        ok = editor.Create(&top, 0, 0, kWidth, kHeight);
        editor.Show(mtxOs::SW_SHOWNORMAL);
        new Spy(editor.canvas.get(), {0, 0, kWidth, kHeight}, kGreen);
        mtxOs::SetCursor(cursor);
        editor.AddDirty(editor.clientRect);
        editor.Paint();
        Settle();
    }
    mtxWnd top;
    mtxImageEditor editor;
    int ok = 0;
};

// Calls back on every WM_TIMER.
struct TimerWindow : mtxWnd {
    std::function<void()> onTimer;
    mtxOs::LRESULT OnTimer(mtxOs::WPARAM, mtxOs::LPARAM) override {
        if (onTimer) onTimer();
        return 0;
    }
};

// A frame held back to keep to the display's pace goes out before a timer's
// work: a timer due every millisecond whose work takes long (the filling's)
// must not hold back a frame that shows a menu opened meanwhile.
TEST(Display, AFrameHeldBackForThePaceGoesOutBeforeATimer) {
    testing_support::SharedApp();
    ASSERT_FALSE(mtxOs::IsHeadless()) << "run under a display (under_xvfb.sh)";
    GreenWindow window(mtxOs::LoadCursor(mtxOs::SystemCursor::Arrow));
    ASSERT_EQ(window.ok, 1);
    mtxOs::detail::Window* top = mtxOs::detail::Find(window.top.Handle());
    ASSERT_TRUE(top && top->top);
    mtxGlCompositor* compositor = mtxGlCompositor::Of(top->top->display, false);
    ASSERT_NE(compositor, nullptr);
    TimerWindow timed;
    timed.Create(nullptr, nullptr, mtxOs::WS_OVERLAPPEDWINDOW, "Timer", 0, 0, 50, 50, 0, nullptr);
    // A round counts where the second of two frames in a row was held back;
    // a loaded machine may take longer than the pace between them.
    int rounds = 0;
    for (int attempt = 0; attempt < 20 && rounds < 3; ++attempt) {
        Settle();
        window.editor.AddDirty(window.editor.clientRect);
        window.editor.Paint();
        const uint64_t shown = compositor->composed;
        window.editor.AddDirty(window.editor.clientRect);
        window.editor.Paint();
        if (compositor->composed != shown) continue;
        ++rounds;
        int64_t atTimer = -1;
        timed.onTimer = [&] {
            if (atTimer < 0) atTimer = int64_t(compositor->composed);
        };
        mtxOs::SetTimer(timed.Handle(), 1, 1);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        mtxOs::MSG msg;
        while (atTimer < 0 && std::chrono::steady_clock::now() < end) {
            if (mtxOs::PeekMessage(msg, true))
                mtxOs::DispatchMessage(msg);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        mtxOs::KillTimer(timed.Handle(), 1);
        timed.onTimer = nullptr;
        EXPECT_GT(atTimer, int64_t(shown)) << "the timer came before the frame held back";
    }
    EXPECT_GT(rounds, 0) << "no frame was held back: two frames in a row came 16 ms apart";
    mtxOs::DestroyWindow(timed.Handle());
}

TEST(Display, ClosesWithNoWindowLeftEndingTheDriversThreadsAndOpensAgainForTheNext) {
    testing_support::SharedApp();
    ASSERT_FALSE(mtxOs::IsHeadless()) << "run under a display (under_xvfb.sh)";
    std::vector<uint32_t> arrow(16 * 16, 0xFF202020);
    mtxOs::HCURSOR custom = mtxOs::CreateCursor(arrow.data(), 16, 16, 0, 0);
    size_t withDisplay = 0;
    {
        GreenWindow first(custom);
        ASSERT_EQ(first.ok, 1);
        mtxOs::CloseDisplay();  // a window is left: nothing happens
        first.editor.AddDirty(first.editor.clientRect);
        first.editor.Paint();
        EXPECT_GE(ReadWhenOnScreen(kGreen).x0, 0) << "the display closed under a window";
        mtxOs::SetCursor(mtxOs::LoadCursor(mtxOs::SystemCursor::Arrow));
        withDisplay = ThreadCount();
    }
    mtxOs::CloseDisplay();
    EXPECT_LT(ThreadCount(), withDisplay) << "the driver's threads outlived the display";

    // A window in the second opening, with a cursor from the first.
    GreenWindow second(custom);
    ASSERT_EQ(second.ok, 1);
    EXPECT_GE(ReadWhenOnScreen(kGreen).x0, 0) << "no window after the display opened again";
    mtxOs::SetCursor(mtxOs::LoadCursor(mtxOs::SystemCursor::Arrow));
    EXPECT_TRUE(mtxOs::DestroyCursor(custom));
}

}  // namespace
