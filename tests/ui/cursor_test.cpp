// The picture cursor: drawn over everything at the pointer less its hot spot,
// and moving it redraws where it was and where it is.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"
#include "ui/cursor.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

TEST(PictureCursor, MovingInvalidatesTheOldAndNewPlacesAndItDrawsOnTop) {
    Editor editor(320, 200);
    new Spy(editor.canvas.get(), {0, 0, 320, 200}, 0xFF00FF00);
    std::vector<uint32_t> red(3 * 5, 0xFFFF0000);
    mtxIECursorEx cursor;
    EXPECT_EQ(cursor.SetPicture(red.data(), 0, 5, 0, 0), 0);
    ASSERT_EQ(cursor.SetPicture(red.data(), 3, 5, 1, 2), 1);
    EXPECT_EQ(cursor.textureWidth, 4);
    EXPECT_EQ(cursor.textureHeight, 8);
    editor.SetCursorEx(&cursor);
    editor.Paint();
    Mouse(editor, WM_MOUSEMOVE, 50, 60);  // routed events move it, then paint
    EXPECT_EQ(Str(cursor.Bounds()), Str({49, 58, 52, 63}));
    Pixels p = ReadBack(editor);
    EXPECT_EQ(p.At(49, 58), 0xFFFF0000u);
    EXPECT_EQ(p.At(51, 62), 0xFFFF0000u);
    EXPECT_EQ(p.At(52, 60), 0xFF00FF00u);  // the texture's padding is clear
    cursor.MoveTo(&editor, 100, 100);
    EXPECT_EQ(Str(editor.dirtyRect), Str({49, 58, 102, 103}));  // both places
    editor.Paint();
    p = ReadBack(editor);
    EXPECT_EQ(p.At(50, 60), 0xFF00FF00u);  // the old place is clean again
    EXPECT_EQ(p.At(100, 100), 0xFFFF0000u);
    editor.SetCursorEx(nullptr);
}

}  // namespace
