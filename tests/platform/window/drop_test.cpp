// Files dropped on a window: WM_DROPFILES, what the handler reads from it,
// and that a drop ends with its message whether or not anyone handled it.
#include "platform/drop_files.h"

#include <gtest/gtest.h>

#include "base/wnd.h"
#include "tests/support/test_support.h"

using namespace mtxOs;

namespace {

// Reads every drop it gets; finishes it only when told to.
class DropTarget : public mtxWnd {
  public:
    LRESULT WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_DROPFILES || !handle) return mtxWnd::WindowProc(message, wParam, lParam);
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        lastDrop = drop;
        paths.clear();
        for (uint32_t i = 0; i < DragQueryFileCount(drop); ++i) {
            std::string path;
            EXPECT_TRUE(DragQueryFile(drop, i, path));
            paths.push_back(path);
        }
        std::string past;
        EXPECT_FALSE(DragQueryFile(drop, DragQueryFileCount(drop), past));
        hasPoint = DragQueryPoint(drop, point);
        if (finish) DragFinish(drop);
        return 0;
    }
    bool handle = true, finish = true;
    HDROP lastDrop = nullptr;
    std::vector<std::string> paths;
    POINT point{-1, -1};
    bool hasPoint = false;
};

class Drops : public ::testing::Test {
  protected:
    void SetUp() override {
        testing_support::SharedApp();
        SetHeadless(true);
        target.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "drop", 0, 0, 300, 200, 0, nullptr);
        ASSERT_NE(target.Handle(), nullptr);
    }
    void TearDown() override {
        if (IsWindow(target.Handle())) DestroyWindow(target.Handle());
        Run();
    }
    // Dispatches what is queued; how many WM_DROPFILES went by.
    int Run() {
        int drops = 0;
        MSG msg;
        while (PeekMessage(msg, true)) {
            drops += msg.message == WM_DROPFILES;
            DispatchMessage(msg);
        }
        return drops;
    }
    DropTarget target;
};

TEST_F(Drops, TheHandlerReadsEveryPathAndThePoint) {
    // Paths as the desktop gives them: spaces, quotes, non-ASCII, very long.
    std::vector<std::string> paths = {"/home/ann/My Pictures/cat \"tabby\".jpg",
                                      "/tmp/\xc3\xa9t\xc3\xa9.png",
                                      "/" + std::string(5000, 'x') + ".gif"};
    POINT at{40, 25};
    ASSERT_TRUE(QueueFileDrop(target.Handle(), paths, &at));
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(target.paths, paths);
    EXPECT_TRUE(target.hasPoint);
    EXPECT_EQ(target.point.x, 40);
    EXPECT_EQ(target.point.y, 25);
    // Finished: the handle now names nothing.
    EXPECT_EQ(DragQueryFileCount(target.lastDrop), 0u);

    ASSERT_TRUE(QueueFileDrop(target.Handle(), {"/a.png"}, nullptr));
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(target.paths, std::vector<std::string>{"/a.png"});
    EXPECT_FALSE(target.hasPoint);  // no point known
    EXPECT_EQ(target.point.x, 0);
}

TEST_F(Drops, AnUnfinishedOrUnhandledDropEndsWithItsMessage) {
    target.finish = false;
    ASSERT_TRUE(QueueFileDrop(target.Handle(), {"/one.png"}, nullptr));
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(target.paths.size(), 1u);
    EXPECT_EQ(DragQueryFileCount(target.lastDrop), 0u);  // freed after dispatch all the same

    // Handled by nobody: the default procedure ignores it and it is freed too.
    target.handle = false;
    ASSERT_TRUE(QueueFileDrop(target.Handle(), {"/two.png"}, nullptr));
    MSG msg;
    ASSERT_TRUE(PeekMessage(msg, true));
    ASSERT_EQ(msg.message, WM_DROPFILES);
    HDROP drop = reinterpret_cast<HDROP>(msg.wParam);
    EXPECT_EQ(DragQueryFileCount(drop), 1u);
    DispatchMessage(msg);
    EXPECT_EQ(DragQueryFileCount(drop), 0u);
    DragFinish(drop);  // finishing twice, or a dead handle, does nothing
    DragFinish(nullptr);
    POINT p{5, 5};
    EXPECT_FALSE(DragQueryPoint(drop, p));
}

TEST_F(Drops, ADropGoesWithItsWindowAndNeedsATopLevelWindowAndPaths) {
    ASSERT_TRUE(QueueFileDrop(target.Handle(), {"/x.png"}, nullptr));
    MSG msg;
    ASSERT_TRUE(PeekMessage(msg, false));
    HDROP drop = reinterpret_cast<HDROP>(msg.wParam);
    EXPECT_EQ(DragQueryFileCount(drop), 1u);
    DestroyWindow(target.Handle());
    EXPECT_EQ(DragQueryFileCount(drop), 0u);  // the window's drops went with it
    EXPECT_EQ(Run(), 1);                      // the message itself harms nobody

    mtxWnd top, child;
    top.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "top", 0, 0, 100, 100, 0, nullptr);
    child.Create(&top, nullptr, WS_CHILD | WS_VISIBLE, "", 0, 0, 10, 10, 0, nullptr);
    EXPECT_FALSE(QueueFileDrop(child.Handle(), {"/x.png"}, nullptr));
    EXPECT_FALSE(QueueFileDrop(top.Handle(), {}, nullptr));
    EXPECT_FALSE(QueueFileDrop(nullptr, {"/x.png"}, nullptr));
    EXPECT_EQ(Run(), 0);
    DestroyWindow(top.Handle());
}

}  // namespace
