// The editor's frame, read back from the device: only the dirty rectangle is
// cleared and drawn, children are clipped, one extra frame at most, the focus
// control on top, and a full repaint after a device reset.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

TEST(EditorFrame, APartialFrameLeavesEveryPixelOutsideItsRectangle) {
    Editor editor(320, 200);
    auto* back = new Spy(editor.canvas.get(), {0, 0, 320, 200}, kRed);
    editor.Paint();
    back->color = kGreen;  // drawn only where the next frame reaches
    editor.AddDirty({10, 10, 110, 40});
    editor.Paint();
    Pixels p = ReadBack(editor);
    ASSERT_GE(p.width, 320);
    int wrong = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            bool inside = x >= 10 && x < 110 && y >= 10 && y < 40;
            wrong += p.At(x, y) != (inside ? kGreen : kRed);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Str(back->clips.back()), Str({10, 10, 110, 40}));
}

// Small changes far apart are drawn each on its own, not the rectangle that
// holds them all; many, or large ones, fall back to that rectangle.
TEST(EditorFrame, SmallDirtyPartsFarApartAreDrawnOnTheirOwn) {
    Editor editor(320, 200);
    auto* back = new Spy(editor.canvas.get(), {0, 0, 320, 200}, kRed);
    editor.Paint();
    back->color = kGreen;
    back->clips.clear();
    editor.AddDirty({10, 10, 30, 30});
    editor.AddDirty({250, 150, 270, 170});
    editor.AddDirty({25, 25, 40, 40});  // overlaps the first: one part
    editor.AddDirty({40, 10, 50, 20});  // touches it: the same part
    editor.Paint();
    ASSERT_EQ(back->clips.size(), 2u);
    EXPECT_EQ(Str(back->clips[0]), Str({250, 150, 270, 170}));
    EXPECT_EQ(Str(back->clips[1]), Str({10, 10, 50, 40}));
    Pixels p = ReadBack(editor);
    EXPECT_EQ(p.At(10, 10), kGreen);
    EXPECT_EQ(p.At(269, 169), kGreen);
    EXPECT_EQ(p.At(100, 100), kRed) << "between the parts nothing was drawn";
    EXPECT_TRUE(mtxIsEmpty(editor.dirtyRect));
    EXPECT_TRUE(editor.dirtyParts.empty());

    // Parts that cover most of their rectangle: one pass over it.
    back->clips.clear();
    editor.AddDirty({0, 0, 200, 200});
    editor.AddDirty({210, 0, 320, 200});
    editor.Paint();
    ASSERT_EQ(back->clips.size(), 1u);
    EXPECT_EQ(Str(back->clips[0]), Str({0, 0, 320, 200}));

    // More parts than are worth tracking: the rectangle.
    back->clips.clear();
    for (int i = 0; i <= int(mtxImageEditor::kMaxDirtyParts); ++i)
        editor.AddDirty({(i % 32) * 10, (i / 32) * 40, (i % 32) * 10 + 2, (i / 32) * 40 + 2});
    EXPECT_TRUE(editor.dirtyParts.empty());
    editor.AddDirty({300, 190, 302, 192});
    EXPECT_TRUE(editor.dirtyParts.empty()) << "not tracked again before the frame";
    editor.Paint();
    ASSERT_EQ(back->clips.size(), 1u);
    EXPECT_EQ(Str(back->clips[0]), Str({0, 0, 312, 192}));
}

TEST(EditorFrame, ChildrenAreClippedToTheirParentAndTheDirtyRectangle) {
    Editor editor(320, 200);
    auto* parent = new Spy(editor.canvas.get(), {0, 0, 200, 100}, kRed);
    auto* spill = new Spy(parent, {150, 50, 250, 150}, kBlue);  // reaches past the parent
    auto* far = new Spy(parent, {0, 80, 20, 100}, kGreen);
    editor.Paint();
    EXPECT_EQ(Str(spill->clips.back()), Str({150, 50, 200, 100}));
    Pixels p = ReadBack(editor);
    EXPECT_EQ(p.At(199, 99), kBlue);
    EXPECT_EQ(p.At(200, 99), 0xFFFFFFFFu);  // cleared, not drawn by the child
    EXPECT_EQ(p.At(150, 100), 0xFFFFFFFFu);
    int farDraws = far->draws;
    editor.AddDirty({100, 0, 300, 60});
    editor.Paint();
    EXPECT_EQ(far->draws, farDraws);  // outside the dirty rectangle
    EXPECT_EQ(Str(spill->clips.back()), Str({150, 50, 200, 60}));
}

TEST(EditorFrame, TheFocusControlIsDrawnLastOnTop) {
    Editor editor(320, 200);
    auto* first = new Spy(editor.canvas.get(), {0, 0, 100, 100}, kRed);
    new Spy(editor.canvas.get(), {50, 50, 150, 150}, kGreen);
    editor.Paint();
    EXPECT_EQ(ReadBack(editor).At(75, 75), kGreen);
    first->SetFocus();
    editor.Paint();
    EXPECT_EQ(ReadBack(editor).At(75, 75), kRed);
}

TEST(EditorFrame, InvalidatingWhileDrawingRunsExactlyOneMoreFrame) {
    Editor editor(320, 200);
    auto* spy = new Spy(editor.canvas.get(), {0, 0, 50, 50}, kRed);
    editor.Paint();
    uint64_t frames = editor.frameCount;
    spy->invalidateInDraw = 1;
    spy->Invalidate();
    editor.Paint();
    EXPECT_EQ(editor.frameCount, frames + 2);
    EXPECT_TRUE(mtxIsEmpty(editor.dirtyRect));
    // A control that invalidates in every draw cannot keep the editor here.
    spy->invalidateInDraw = -1;
    spy->Invalidate();
    editor.Paint();
    EXPECT_EQ(editor.frameCount, frames + 4);
    EXPECT_FALSE(mtxIsEmpty(editor.dirtyRect));
    spy->invalidateInDraw = 0;
}

TEST(EditorFrame, NothingIsDrawnWhileLostAndEverythingOnceAfterTheReset) {
    Editor editor(320, 200);
    auto* spy = new Spy(editor.canvas.get(), {0, 0, 320, 200}, kRed);
    editor.Paint();
    mtxDxTestSwitches().loseAtNextPresent = 1;
    mtxDxTestSwitches().lostPolls = 2;
    spy->Invalidate();
    editor.Paint();  // presents, and the device is lost
    EXPECT_EQ(spy->losses, 1);
    EXPECT_EQ(editor.lost, 1u);
    uint64_t frames = editor.frameCount;
    editor.AddDirty({0, 0, 10, 10});
    editor.Paint();  // still lost twice
    editor.Paint();
    EXPECT_EQ(editor.frameCount, frames);
    spy->color = kGreen;
    editor.Paint();  // reset, then a full frame
    mtxDxTestSwitches() = mtxDxTestSwitch{};
    EXPECT_EQ(spy->resets, 1);
    EXPECT_EQ(editor.lost, 0u);
    EXPECT_EQ(editor.frameCount, frames + 1);
    EXPECT_EQ(Str(spy->clips.back()), Str({0, 0, 320, 200}));
    Pixels p = ReadBack(editor);
    EXPECT_EQ(p.At(0, 0), kGreen);
    EXPECT_EQ(p.At(319, 199), kGreen);
}

TEST(EditorFrame, AResizeRepaintsTheWholeClientArea) {
    Editor editor(320, 200);
    auto* spy = new Spy(editor.canvas.get(), {0, 0, 10, 10}, kRed);
    spy->SetDock(mtxIECtrl::kDockFill);
    editor.Paint();
    mtxOs::SendMessage(editor.Handle(), WM_SIZE, 0,
                       mtxOs::LPARAM(400) | (mtxOs::LPARAM(300) << 16));
    EXPECT_EQ(Str(spy->rect), Str({0, 0, 400, 300}));
    EXPECT_EQ(Str(spy->clips.back()), Str({0, 0, 400, 300}));
}

}  // namespace
