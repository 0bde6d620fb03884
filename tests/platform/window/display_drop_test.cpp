// Files dropped on a real window of the display: SDL's drop events, pushed
// into its queue as the desktop's drag and drop would, become WM_DROPFILES
// for the window they were dropped on. The display library's off-screen
// driver stands in for a screen.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/wnd.h"
#include "platform/drop_files.h"
#include "tests/support/test_support.h"

using namespace mtxOs;

namespace {

class DropTarget : public mtxWnd {
  public:
    LRESULT WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_DROPFILES) return mtxWnd::WindowProc(message, wParam, lParam);
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        std::vector<std::string> paths;
        for (uint32_t i = 0; i < DragQueryFileCount(drop); ++i) {
            std::string path;
            DragQueryFile(drop, i, path);
            paths.push_back(path);
        }
        drops.push_back(paths);
        DragFinish(drop);
        return 0;
    }
    std::vector<std::vector<std::string>> drops;
};

void Push(uint32_t type, uint32_t windowId, const char* file) {
    SDL_Event e{};
    e.drop.type = type;
    e.drop.windowID = windowId;
    e.drop.file = file ? SDL_strdup(file) : nullptr;  // the receiver frees it
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void Pump() {
    MSG msg;
    for (int i = 0; i < 3; ++i) {  // a few rounds: the display is pumped inside the peek
        while (PeekMessage(msg, true)) DispatchMessage(msg);
        WaitMessage(10);
    }
}

TEST(DisplayDrops, SdlDropEventsBecomeOneMessagePerDropForTheirWindow) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    testing_support::SharedApp();
    SetHeadless(false);
    DropTarget a, b;
    a.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "a", 0, 0, 200, 100, 0, nullptr);
    b.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "b", 0, 0, 200, 100, 0, nullptr);
    ASSERT_FALSE(IsHeadless()) << "the off-screen display did not start";
    ASSERT_NE(a.Handle(), nullptr);
    ASSERT_NE(b.Handle(), nullptr);
    // The display's windows, in creation order: a's first.
    std::vector<uint32_t> ids;
    for (uint32_t id = 1; id < 64 && ids.size() < 2; ++id)
        if (SDL_GetWindowFromID(id)) ids.push_back(id);
    ASSERT_EQ(ids.size(), 2u);

    // Two files in one drop on b; one file without a begin on a (older
    // desktops); dropped text and a drop on no window are nobody's.
    Push(SDL_DROPBEGIN, ids[1], nullptr);
    Push(SDL_DROPFILE, ids[1], "/home/ann/one.png");
    Push(SDL_DROPFILE, ids[1], "/home/ann/two words.jpg");
    Push(SDL_DROPCOMPLETE, ids[1], nullptr);
    Push(SDL_DROPFILE, ids[0], "/tmp/single.gif");
    Push(SDL_DROPTEXT, ids[0], "some text");
    Push(SDL_DROPFILE, 0, "/tmp/nowhere.png");
    Push(SDL_DROPBEGIN, ids[0], nullptr);
    Push(SDL_DROPCOMPLETE, ids[0], nullptr);  // an empty drop is no drop
    Pump();

    ASSERT_EQ(b.drops.size(), 1u);
    EXPECT_EQ(b.drops[0],
              (std::vector<std::string>{"/home/ann/one.png", "/home/ann/two words.jpg"}));
    ASSERT_EQ(a.drops.size(), 1u);
    EXPECT_EQ(a.drops[0], std::vector<std::string>{"/tmp/single.gif"});
    DestroyWindow(a.Handle());
    DestroyWindow(b.Handle());
    SetHeadless(true);
}

}  // namespace
