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

namespace {

// The program's cursor pictures: each loads as a system cursor and as a
// picture cursor with its hot spot on the middle pixel, which the shape
// covers; a missing picture leaves the cursor as it was.
TEST(CursorResources, LoadWithTheirHotSpotInTheMiddle) {
    for (uint32_t id : {mtxIECursor::kMoveId, mtxIECursor::kRotateId, mtxIECursor::kPaintId}) {
        mtxIECursor cursor;
        ASSERT_EQ(cursor.Load(id), 1) << id;
        mtxOs::HCURSOR made = cursor.handle;
        EXPECT_NE(made, nullptr);
        EXPECT_EQ(cursor.Load(99999), 0);
        EXPECT_EQ(cursor.handle, made);
        EXPECT_EQ(cursor.Load(id), 1);  // the first one goes

        mtxIECursorEx picture;
        ASSERT_EQ(picture.LoadPicture(id), 1) << id;
        EXPECT_EQ(picture.width, 32);
        EXPECT_EQ(picture.height, 32);
        EXPECT_EQ(picture.hotSpot.x, 16);
        EXPECT_EQ(picture.hotSpot.y, 16);
        // A dark shape in a white halo on a transparent ground.
        EXPECT_EQ(picture.pixels[0] >> 24, 0u);
        int dark = 0, white = 0;
        for (uint32_t p : picture.pixels) {
            if (p >> 24 != 0xFF) continue;
            dark += (p & 0xFFFFFF) == 0x202326;
            white += (p & 0xFFFFFF) == 0xFFFFFF;
        }
        EXPECT_GT(dark, 20) << id;
        EXPECT_GT(white, 20) << id;
    }
    mtxIECursor system;
    EXPECT_EQ(system.LoadSystem(mtxOs::SystemCursor::Arrow), 1);
}

}  // namespace
