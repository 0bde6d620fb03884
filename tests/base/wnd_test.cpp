// The message dispatch of mtxWnd: which handler a message reaches and what the
// window procedure returns, with windows that exist only as message targets.
#include <gtest/gtest.h>

#include <map>

#include "base/wnd.h"
#include "tests/support/test_support.h"

using namespace mtxOs;

namespace {

// Records every handler call and returns the result the test asks for.
class RecordingWnd : public mtxWnd {
  public:
    using mtxWnd::mtxWnd;
    std::map<std::string, int> calls;
    LRESULT result = 0;
    uint32_t lastMouse = 0;

    LRESULT Hit(const char* name) {
        ++calls[name];
        return result;
    }
    LRESULT OnActivate(WPARAM, LPARAM) override { return Hit("Activate"); }
    LRESULT OnCommand(WPARAM, LPARAM) override { return Hit("Command"); }
    LRESULT OnPaint(WPARAM, LPARAM) override { return Hit("Paint"); }
    LRESULT OnSizing(WPARAM, LPARAM) override { return Hit("Sizing"); }
    LRESULT OnSize(WPARAM, LPARAM) override { return Hit("Size"); }
    LRESULT OnDestroy(WPARAM, LPARAM) override { return Hit("Destroy"); }
    LRESULT OnClose(WPARAM, LPARAM) override { return Hit("Close"); }
    LRESULT OnTimer(WPARAM, LPARAM) override { return Hit("Timer"); }
    LRESULT OnChar(WPARAM, LPARAM) override { return Hit("Char"); }
    LRESULT OnKeyDown(WPARAM, LPARAM) override { return Hit("KeyDown"); }
    LRESULT OnKillFocus(WPARAM, LPARAM) override { return Hit("KillFocus"); }
    LRESULT OnSetCursor(WPARAM, LPARAM) override { return Hit("SetCursor"); }
    LRESULT OnEraseBkgnd(WPARAM, LPARAM) override { return Hit("EraseBkgnd"); }
    LRESULT OnMouse(uint32_t message, WPARAM, LPARAM) override {
        lastMouse = message;
        return Hit("Mouse");
    }
    LRESULT OnPowerBroadcast(WPARAM, LPARAM) override { return Hit("PowerBroadcast"); }
    LRESULT OnSysCommand(WPARAM, LPARAM) override { return Hit("SysCommand"); }
    LRESULT OnDestroyClipboard(WPARAM, LPARAM) override { return Hit("DestroyClipboard"); }
};

class WndDispatch : public ::testing::Test {
  protected:
    void SetUp() override {
        testing_support::SharedApp();
        SetHeadless(true);
        wnd.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "test", 0, 0, 200, 100, 0, nullptr);
        ASSERT_NE(wnd.Handle(), nullptr);
    }
    // Sends a message; reports the result and whether the default procedure ran.
    LRESULT Send(uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0,
                 bool* defaulted = nullptr) {
        uint64_t before = DefWindowProcCount();
        LRESULT r = SendMessage(wnd.Handle(), message, wParam, lParam);
        if (defaulted) *defaulted = DefWindowProcCount() != before;
        return r;
    }
    RecordingWnd wnd;
};

TEST_F(WndDispatch, HandlersWhoseResultIsAlwaysZero) {
    const std::pair<uint32_t, const char*> cases[] = {{WM_KILLFOCUS, "KillFocus"},
                                                      {WM_KEYDOWN, "KeyDown"},
                                                      {WM_CHAR, "Char"},
                                                      {WM_TIMER, "Timer"}};
    wnd.result = 7;
    for (auto [message, name] : cases) {
        bool defaulted = true;
        EXPECT_EQ(Send(message, 0, 0, &defaulted), 0) << name;
        EXPECT_FALSE(defaulted) << name;
        EXPECT_EQ(wnd.calls[name], 1) << name;
    }
}

TEST_F(WndDispatch, SizeAndSizingReturnTheHandlersResult) {
    wnd.result = 42;
    bool defaulted = true;
    EXPECT_EQ(Send(WM_SIZE, 0, 0, &defaulted), 42);
    EXPECT_FALSE(defaulted);
    EXPECT_EQ(Send(WM_SIZING), 42);
    EXPECT_EQ(wnd.calls["Size"], 1);
    EXPECT_EQ(wnd.calls["Sizing"], 1);
}

TEST_F(WndDispatch, EraseBackgroundHonoursTheHandledBit) {
    bool defaulted = true;
    wnd.result = 0x10000;
    EXPECT_EQ(Send(WM_ERASEBKGND, 0, 0, &defaulted), 0);
    EXPECT_FALSE(defaulted);
    wnd.result = 0x10001;
    EXPECT_EQ(Send(WM_ERASEBKGND, 0, 0, &defaulted), 1);
    EXPECT_FALSE(defaulted);
    // Without the bit the default procedure erases and answers.
    wnd.result = 0x0001;
    Send(WM_ERASEBKGND, 0, 0, &defaulted);
    EXPECT_TRUE(defaulted);
    EXPECT_EQ(wnd.calls["EraseBkgnd"], 3);
}

TEST_F(WndDispatch, PowerBroadcastPassesOnlyTheDenial) {
    bool defaulted = false;
    wnd.result = BROADCAST_QUERY_DENY;
    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0, &defaulted), BROADCAST_QUERY_DENY);
    EXPECT_FALSE(defaulted);
    wnd.result = 5;
    EXPECT_NE(Send(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0, &defaulted), 5);
    EXPECT_TRUE(defaulted);
}

TEST_F(WndDispatch, SysCommandIsSwallowedWhenTheHandlerSaysSo) {
    wnd.result = 1;
    bool defaulted = true;
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_CLOSE, 0, &defaulted), 0);
    EXPECT_FALSE(defaulted);
    EXPECT_TRUE(IsWindow(wnd.Handle()));  // the close never happened
    wnd.result = 0;
    Send(WM_SYSCOMMAND, SC_CLOSE, 0, &defaulted);
    EXPECT_TRUE(defaulted);
    EXPECT_FALSE(IsWindow(wnd.Handle()));  // default: WM_CLOSE, then destruction
    EXPECT_EQ(wnd.calls["Close"], 1);
    EXPECT_EQ(wnd.calls["Destroy"], 1);
}

TEST_F(WndDispatch, CommandAlwaysReachesTheDefaultProcedure) {
    for (LRESULT result : {0, 1, 0x10000}) {
        wnd.result = result;
        bool defaulted = false;
        Send(WM_COMMAND, 40102, 0, &defaulted);
        EXPECT_TRUE(defaulted) << result;
    }
    EXPECT_EQ(wnd.calls["Command"], 3);
}

TEST_F(WndDispatch, ActivateFallsToTheDefaultUnlessTheHandlerReturnsZero) {
    SetFocus(nullptr);
    wnd.result = 0;
    EXPECT_EQ(Send(WM_ACTIVATE, WA_ACTIVE), 0);
    EXPECT_EQ(GetFocus(), nullptr);
    wnd.result = 1;
    Send(WM_ACTIVATE, WA_ACTIVE);
    EXPECT_EQ(GetFocus(), wnd.Handle());  // the default gives the active window the focus
    EXPECT_EQ(wnd.calls["Activate"], 2);
}

TEST_F(WndDispatch, SetCursorAndClipboardResults) {
    bool defaulted = true;
    wnd.result = 3;
    EXPECT_EQ(Send(WM_SETCURSOR, 0, 0, &defaulted), 1);
    EXPECT_FALSE(defaulted);
    wnd.result = 0;
    Send(WM_SETCURSOR, 0, 0, &defaulted);
    EXPECT_TRUE(defaulted);
    wnd.result = 1;
    EXPECT_EQ(Send(WM_DESTROYCLIPBOARD, 0, 0, &defaulted), 0);
    EXPECT_FALSE(defaulted);
    wnd.result = 0;
    Send(WM_DESTROYCLIPBOARD, 0, 0, &defaulted);
    EXPECT_TRUE(defaulted);
}

TEST_F(WndDispatch, PaintAndCloseRunTheHandlerThenTheDefault) {
    InvalidateRect(wnd.Handle(), nullptr, false);
    bool defaulted = false;
    Send(WM_PAINT, 0, 0, &defaulted);
    EXPECT_TRUE(defaulted);
    EXPECT_EQ(wnd.calls["Paint"], 1);
    MSG msg;
    EXPECT_FALSE(PeekMessage(msg, false) && msg.message == WM_PAINT);  // validated by the default
    Send(WM_CLOSE);
    EXPECT_EQ(wnd.calls["Close"], 1);
    EXPECT_FALSE(IsWindow(wnd.Handle()));
}

TEST_F(WndDispatch, MouseRangeAndCaptureLossGoToOnMouse) {
    wnd.result = 9;
    for (uint32_t m = WM_MOUSEMOVE; m <= WM_MOUSEWHEEL; ++m) {
        EXPECT_EQ(Send(m), 9);
        EXPECT_EQ(wnd.lastMouse, m);
    }
    EXPECT_EQ(Send(WM_CAPTURECHANGED), 9);
    EXPECT_EQ(wnd.calls["Mouse"], 12);
    Send(0x020B);  // the next mouse message is outside the range
    EXPECT_EQ(wnd.calls["Mouse"], 12);
}

TEST_F(WndDispatch, NotifyReturnsZeroAndOtherMessagesGoToTheDefault) {
    bool defaulted = true;
    EXPECT_EQ(Send(WM_NOTIFY, 0, 0, &defaulted), 0);
    EXPECT_FALSE(defaulted);
    Send(WM_USER + 5, 0, 0, &defaulted);
    EXPECT_TRUE(defaulted);
}

TEST(Wnd, MessagesBeforeTheObjectIsStoredGoToTheDefaultProcedure) {
    testing_support::SharedApp();
    SetHeadless(true);
    RecordingWnd registered;  // makes sure the default class exists
    registered.Create(nullptr, nullptr, 0, "", 0, 0, 10, 10, 0, nullptr);
    HWND bare = CreateWindowEx(0, mtxWnd::kDefaultClass, "bare", 0, 0, 0, 10, 10, nullptr, 0);
    ASSERT_NE(bare, nullptr);
    uint64_t before = DefWindowProcCount();
    SendMessage(bare, WM_COMMAND, 1, 0);
    EXPECT_EQ(DefWindowProcCount(), before + 1);
    EXPECT_TRUE(registered.calls.empty());
    DestroyWindow(bare);
}

TEST(Wnd, PoolIdsComeBackAndExplicitIdsAreLeftAlone) {
    auto& app = testing_support::SharedApp();
    SetHeadless(true);
    uint32_t id = 0;
    HWND hwnd = nullptr;
    {
        RecordingWnd pooled;
        EXPECT_TRUE(pooled.IdFromPool());
        id = pooled.Id();
        EXPECT_NE(id, 0u);
        pooled.Create(nullptr, nullptr, 0, "", 0, 0, 10, 10, 0, nullptr);
        hwnd = pooled.Handle();
    }
    EXPECT_FALSE(IsWindow(hwnd));
    uint16_t again = app.ids.Take();
    EXPECT_EQ(again, id);  // the lowest free id is the one given back
    app.ids.Give(again);

    {
        RecordingWnd fixed(9999);
        EXPECT_FALSE(fixed.IdFromPool());
        fixed.Create(nullptr, nullptr, 0, "", 0, 0, 10, 10, 0, nullptr);
        hwnd = fixed.Handle();
    }
    // The object went, its window stays, and its messages no longer reach
    // the object that is gone.
    EXPECT_TRUE(IsWindow(hwnd));
    uint64_t before = DefWindowProcCount();
    SendMessage(hwnd, WM_COMMAND, 1, 0);
    EXPECT_EQ(DefWindowProcCount(), before + 1);
    DestroyWindow(hwnd);
}

TEST(Wnd, ChildWindowsCarryTheObjectsId) {
    testing_support::SharedApp();
    SetHeadless(true);
    RecordingWnd parent;
    parent.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "p", 0, 0, 300, 200, 0, nullptr);
    RecordingWnd child(1234);
    child.Create(&parent, nullptr, WS_CHILD | WS_VISIBLE, "", 10, 20, 50, 40, 0, nullptr);
    ASSERT_NE(child.Handle(), nullptr);
    EXPECT_EQ(GetParent(child.Handle()), parent.Handle());
    RECT r;
    GetWindowRect(child.Handle(), r);
    RECT pr;
    GetWindowRect(parent.Handle(), pr);
    EXPECT_EQ(r.left - pr.left, 10);
    EXPECT_EQ(r.right - r.left, 50);
    DestroyWindow(child.Handle());
}

TEST(Wnd, CreateReportsSuccessEvenWhenTheWindowIsRefused) {
    testing_support::SharedApp();
    SetHeadless(true);
    RecordingWnd orphan;
    // A child without a parent cannot exist: Create still says 1, the handle stays null.
    EXPECT_EQ(orphan.Create(nullptr, nullptr, WS_CHILD, "", 0, 0, 5, 5, 0, nullptr), 1);
    EXPECT_EQ(orphan.Handle(), nullptr);
    EXPECT_FALSE(orphan.Show(SW_SHOW));
    EXPECT_EQ(orphan.SetMenu(40601), 0);
}

}  // namespace
