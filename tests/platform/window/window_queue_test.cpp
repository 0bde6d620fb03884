// Message queues, the message loop, timers, focus and capture of the window
// system, run without a display.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/window.h"
#include "platform/window/window_internal.h"

using namespace mtxOs;

namespace {

struct Log {
    std::vector<MSG> messages;
};
thread_local Log* tLog = nullptr;

LRESULT LoggingProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
    if (tLog) tLog->messages.push_back({hwnd, message, wParam, lParam, 0, {}});
    if (message == WM_USER + 7) return static_cast<LRESULT>(wParam * 2);
    return DefWindowProc(hwnd, message, wParam, lParam);
}

HWND MakeWindow() {
    SetHeadless(true);
    static bool registered = [] {
        WNDCLASS wc;
        wc.proc = &LoggingProc;
        wc.name = "QueueTestClass";
        return RegisterClass(wc);
    }();
    EXPECT_TRUE(registered);
    return CreateWindowEx(0, "QueueTestClass", "q", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                          0);
}

// Runs the loop until pred holds or the time is up.
template <class Pred>
bool PumpUntil(Pred pred, int timeoutMs = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    MSG msg;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        if (PeekMessage(msg, true)) {
            TranslateMessage(msg);
            DispatchMessage(msg);
        } else {
            WaitMessage(10);
        }
    }
    return true;
}

TEST(WindowQueue, PostsFromManyThreadsArriveInPostingOrderPerThread) {
    Log log;
    tLog = &log;
    HWND hwnd = MakeWindow();
    constexpr int kThreads = 4, kEach = 3000;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([=] {
            for (int i = 0; i < kEach; ++i) ASSERT_TRUE(PostMessage(hwnd, WM_USER, t, i));
        });
    auto count = [&] {
        int n = 0;
        for (const MSG& m : log.messages) n += m.message == WM_USER;
        return n;
    };
    EXPECT_TRUE(PumpUntil([&] { return count() == kThreads * kEach; }));
    for (auto& p : posters) p.join();
    std::vector<LPARAM> next(kThreads, 0);
    for (const MSG& m : log.messages) {
        if (m.message != WM_USER) continue;
        ASSERT_EQ(m.lParam, next[m.wParam]) << "thread " << m.wParam;
        ++next[m.wParam];
    }
    EXPECT_EQ(count(), kThreads * kEach);  // none lost, none doubled
    DestroyWindow(hwnd);
    tLog = nullptr;
}

TEST(WindowQueue, SendingFromAnotherThreadRunsOnTheOwnerAndReturnsItsResult) {
    Log log;
    tLog = &log;
    HWND hwnd = MakeWindow();
    std::atomic<LRESULT> result{0};
    std::atomic<bool> done{false};
    std::thread sender([&] {
        result = SendMessage(hwnd, WM_USER + 7, 21, 0);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    sender.join();
    EXPECT_EQ(result.load(), 42);
    ASSERT_EQ(log.messages.size(), 1u);  // logged on this thread: the owner ran it
    DestroyWindow(hwnd);
    tLog = nullptr;
}

TEST(WindowQueue, QuitComesAfterPostedMessagesWithItsExitCode) {
    Log log;
    tLog = &log;
    HWND hwnd = MakeWindow();
    PostMessage(hwnd, WM_USER, 1, 0);
    PostQuitMessage(3);
    PostMessage(hwnd, WM_USER, 2, 0);
    MSG msg;
    int loops = 0;
    while (GetMessage(msg)) {
        DispatchMessage(msg);
        ++loops;
    }
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(loops, 2);
    DestroyWindow(hwnd);
    tLog = nullptr;
}

TEST(WindowQueue, ThreadMessagesReachTheirThreadOnly) {
    std::atomic<uint64_t> id{0};
    std::atomic<WPARAM> got{0};
    std::thread worker([&] {
        id = ThreadId();
        MSG msg;
        while (GetMessage(msg)) {
            if (!msg.hwnd && msg.message == WM_COMMAND) {
                got = msg.wParam;
                break;
            }
        }
    });
    while (!id) std::this_thread::yield();
    EXPECT_TRUE(PostThreadMessage(id, WM_COMMAND, 1, 0));
    worker.join();
    EXPECT_EQ(got.load(), 1u);
    EXPECT_FALSE(PostThreadMessage(id, WM_COMMAND, 1, 0));  // its queue ended with it
}

TEST(WindowQueue, TimersFireWithTheirIdsUntilKilled) {
    Log log;
    tLog = &log;
    HWND hwnd = MakeWindow();
    ASSERT_EQ(SetTimer(hwnd, 5, 10), 5u);
    ASSERT_EQ(SetTimer(hwnd, 6, 15), 6u);
    auto fired = [&](WPARAM id) {
        int n = 0;
        for (const MSG& m : log.messages) n += m.message == WM_TIMER && m.wParam == id;
        return n;
    };
    EXPECT_TRUE(PumpUntil([&] { return fired(5) >= 3 && fired(6) >= 3; }));
    EXPECT_TRUE(KillTimer(hwnd, 5));
    EXPECT_FALSE(KillTimer(hwnd, 5));
    int before = fired(5);
    int sixBefore = fired(6);
    EXPECT_TRUE(PumpUntil([&] { return fired(6) >= sixBefore + 3; }));
    EXPECT_EQ(fired(5), before);
    for (const MSG& m : log.messages) {
        if (m.message == WM_TIMER) {
            EXPECT_EQ(m.hwnd, hwnd);
        }
    }
    DestroyWindow(hwnd);
    EXPECT_FALSE(KillTimer(hwnd, 6));  // destroying the window ended its timers
    tLog = nullptr;
}

// A timer due every millisecond whose handler takes longer keeps the queue
// busy; what the frame shows (a menu closed, the bar) still goes out.
TEST(WindowQueue, ABusyTimerDoesNotHoldBackThePresent) {
    Log log;
    tLog = &log;
    HWND hwnd = MakeWindow();
    ASSERT_EQ(SetTimer(hwnd, 9, 1), 9u);
    detail::Window* top = detail::Find(hwnd);
    ASSERT_NE(top, nullptr);
    ASSERT_NE(top->top, nullptr);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(60);
    MSG msg;
    int timers = 0;
    while (std::chrono::steady_clock::now() < until) {
        if (!PeekMessage(msg, true)) continue;
        if (msg.message == WM_TIMER) {
            // The frame changes while a timer is handled: the menu closed.
            if (++timers == 3) top->top->needsPresent = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        DispatchMessage(msg);
    }
    EXPECT_GT(timers, 5);
    EXPECT_FALSE(top->top->needsPresent);
    DestroyWindow(hwnd);
    tLog = nullptr;
}

TEST(WindowQueue, DeadHandlesAreHarmless) {
    HWND hwnd = MakeWindow();
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_FALSE(PostMessage(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(hwnd, WM_USER + 7, 1, 0), 0);
    EXPECT_EQ(SetTimer(hwnd, 1, 10), 0u);
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    RECT r;
    EXPECT_FALSE(GetClientRect(hwnd, r));
    // A new window never gets the old handle back.
    HWND other = MakeWindow();
    EXPECT_NE(other, hwnd);
    DestroyWindow(other);
}

TEST(WindowQueue, FocusAndCaptureTellTheWindowsThatLoseThem) {
    Log log;
    tLog = &log;
    HWND a = MakeWindow(), b = MakeWindow();
    SetFocus(a);
    SetFocus(b);
    EXPECT_EQ(GetFocus(), b);
    bool killed = false;
    for (const MSG& m : log.messages)
        killed |=
            m.hwnd == a && m.message == WM_KILLFOCUS && m.wParam == reinterpret_cast<WPARAM>(b);
    EXPECT_TRUE(killed);
    SetCapture(a);
    EXPECT_EQ(GetCapture(), a);
    log.messages.clear();
    DestroyWindow(a);  // losing the window loses the capture
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages.front().message, WM_CAPTURECHANGED);
    DestroyWindow(b);
    EXPECT_EQ(GetFocus(), nullptr);
    tLog = nullptr;
}

// Each key's character is read right after the key, ahead of keys typed
// later, as a control reading both expects.
TEST(WindowQueue, ControlKeysBecomeCharactersReadRightAfterThem) {
    Log log;
    tLog = &log;
    HWND hwnd = MakeWindow();
    EXPECT_FALSE(TranslateMessage({hwnd, WM_KEYDOWN, VK_LEFT, 1, 0, {}}));
    detail::QueueInput({hwnd, WM_KEYDOWN, VK_RETURN, 1, 0, {}});
    detail::QueueInput({hwnd, WM_KEYDOWN, VK_BACK, 1, 0, {}});
    detail::QueueInput({hwnd, WM_SYSKEYDOWN, 'F', 1 << 29, 0, {}});
    EXPECT_TRUE(PumpUntil([&] { return log.messages.size() >= 6; }));
    std::erase_if(log.messages, [](const MSG& m) {
        return m.message != WM_KEYDOWN && m.message != WM_SYSKEYDOWN && m.message != WM_CHAR &&
               m.message != WM_SYSCHAR;
    });
    std::vector<std::pair<uint32_t, WPARAM>> seen;
    for (const MSG& m : log.messages) seen.emplace_back(m.message, m.wParam);
    std::vector<std::pair<uint32_t, WPARAM>> expected{{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, 0x0D},
                                                      {WM_KEYDOWN, VK_BACK},   {WM_CHAR, 0x08},
                                                      {WM_SYSKEYDOWN, 'F'},    {WM_SYSCHAR, 'f'}};
    EXPECT_EQ(seen, expected);
    DestroyWindow(hwnd);
    tLog = nullptr;
}

}  // namespace
