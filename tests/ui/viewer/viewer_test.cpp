// The viewer control: scroll bars, centring, following the stack, and what a
// paint puts into the editor's back buffer.
#include "ui/viewer/viewer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/clipboard.h"

#include "render/layers/viewer_tile.h"
#include "tests/render/render_test_support.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace mtxOs;
using ui_test::Editor;
using ui_test::Str;

std::unique_ptr<mtxImageDx> MakePicture(mtxImageEditor& editor, int width, int height,
                                        const std::vector<uint32_t>& pixels) {
    return render_test::DeviceImage(editor.GetDevice(), width, height, pixels);
}

std::vector<uint32_t> OpaquePixels(int count, uint32_t seed) {
    std::vector<uint32_t> pixels = render_test::RandomPixels(count, seed);
    for (uint32_t& p : pixels) p |= 0xFF000000u;
    return pixels;
}

// A viewer of 202 x 122 at (x, y) of the canvas: a client area of 200 x 120
// inside its frame while no bar shows.
mtxIEViewer* MakeViewer(Editor& editor, int x = 0, int y = 0) {
    auto* viewer = new mtxIEViewer(editor.canvas.get());
    viewer->SetRect({x, y, x + 202, y + 122});
    return viewer;
}

struct Picture {
    mtxImageStack stack;
    std::vector<uint32_t> pixels;
    Picture(Editor& editor, int width, int height, uint32_t seed = 1)
        : pixels(OpaquePixels(width * height, seed)) {
        stack.AddLayer(0, MakePicture(editor, width, height, pixels));
    }
    uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(stack.width) + size_t(x)]; }
};

bool Shown(mtxIEViewer& viewer, int bar) {
    return !mtxIsEmpty(viewer.BarRect(bar));
}

TEST(Viewer, ScrollBarsCoverThePictureAndKeepThePositionInside) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor);
    Picture picture(editor, 300, 150);
    viewer->SetStack(&picture.stack);
    ASSERT_TRUE(Shown(*viewer, mtxIEWnd::kHorizontal));
    ASSERT_TRUE(Shown(*viewer, mtxIEWnd::kVertical));
    EXPECT_EQ(Str(viewer->GetClientRect()), Str({1, 1, 185, 105}));
    mtxIEWnd::ScrollInfo h = viewer->GetScrollInfo(mtxIEWnd::kHorizontal);
    mtxIEWnd::ScrollInfo v = viewer->GetScrollInfo(mtxIEWnd::kVertical);
    EXPECT_EQ(h.maximum - h.minimum + 1, 300);
    EXPECT_EQ(h.page, 184);
    EXPECT_EQ(v.maximum - v.minimum + 1, 150);
    EXPECT_EQ(v.page, 104);

    viewer->OnHScroll(mtxIEWnd::kLineBack);
    EXPECT_EQ(viewer->scrollX, 0);
    viewer->OnHScroll(mtxIEWnd::kLineForward);
    EXPECT_EQ(viewer->scrollX, 1);
    for (int i = 0; i < 3; ++i) viewer->OnHScroll(mtxIEWnd::kPageDown);
    EXPECT_EQ(viewer->scrollX, 300 - 184) << "the last column at the right edge, no further";
    viewer->OnHScroll(mtxIEWnd::kLineForward);
    EXPECT_EQ(viewer->scrollX, 300 - 184);
    viewer->OnHScroll(mtxIEWnd::kEndScroll);
    EXPECT_EQ(viewer->scrollX, 300 - 184) << "the end of a scroll moves nothing";
    viewer->OnVScroll(mtxIEWnd::kPageDown);
    EXPECT_EQ(viewer->scrollY, 150 - 104);
    EXPECT_EQ(viewer->GetScrollInfo(mtxIEWnd::kVertical).position, 150 - 104);
    EXPECT_EQ(viewer->PictureOrigin().x, 1 - (300 - 184));
    viewer->OnVScroll(mtxIEWnd::kPageUp);
    EXPECT_EQ(viewer->scrollY, 0);
    viewer->OnHScroll(mtxIEWnd::kPageUp);
    EXPECT_EQ(viewer->scrollX, 0);

    // The thumb dragged far past the end (the track code) stops at the end too.
    RECT thumb = viewer->PartRect(mtxIEWnd::kHorizontal, mtxIEWnd::kThumb);
    int tx = (thumb.left + thumb.right) / 2, ty = (thumb.top + thumb.bottom) / 2;
    ui_test::Mouse(editor, WM_LBUTTONDOWN, tx, ty, MK_LBUTTON);
    ui_test::Mouse(editor, WM_MOUSEMOVE, tx + 500, ty, MK_LBUTTON);
    ui_test::Mouse(editor, WM_LBUTTONUP, tx + 500, ty);
    EXPECT_EQ(viewer->scrollX, 300 - 184);
    ui_test::Mouse(editor, WM_LBUTTONDOWN, tx + 60, ty, MK_LBUTTON);  // the thumb is there now
    ui_test::Mouse(editor, WM_MOUSEMOVE, tx - 500, ty, MK_LBUTTON);
    ui_test::Mouse(editor, WM_LBUTTONUP, tx - 500, ty);
    EXPECT_EQ(viewer->scrollX, 0);
}

// The wheel scrolls a taller picture up and down within it; with Ctrl, or
// with a picture that fits, it is left to others.
TEST(Viewer, TheWheelScrollsATallerPictureAndLeavesCtrlAlone) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor);
    Picture picture(editor, 300, 250);
    viewer->SetStack(&picture.stack);
    const int bottom = 250 - 104;  // the last position
    EXPECT_EQ(ui_test::Wheel(editor, 50, 50, -WHEEL_DELTA), 1);
    EXPECT_EQ(viewer->scrollY, mtxIEViewer::kWheelStep) << "towards the user: down the picture";
    EXPECT_EQ(viewer->GetScrollInfo(mtxIEWnd::kVertical).position, mtxIEViewer::kWheelStep);
    EXPECT_EQ(ui_test::Wheel(editor, 50, 50, -3 * WHEEL_DELTA, MK_CONTROL), 0);
    EXPECT_EQ(viewer->scrollY, mtxIEViewer::kWheelStep);
    ui_test::Wheel(editor, 50, 50, -3 * WHEEL_DELTA);
    EXPECT_EQ(viewer->scrollY, bottom) << "no further than the picture";
    EXPECT_EQ(ui_test::Wheel(editor, 50, 50, -WHEEL_DELTA), 0) << "nothing left to scroll";
    ui_test::Wheel(editor, 50, 50, WHEEL_DELTA);
    EXPECT_EQ(viewer->scrollY, bottom - mtxIEViewer::kWheelStep);
    EXPECT_EQ(viewer->scrollX, 0);

    Picture small(editor, 100, 80);
    viewer->SetStack(&small.stack);
    EXPECT_EQ(ui_test::Wheel(editor, 50, 50, -WHEEL_DELTA), 0);
    EXPECT_EQ(viewer->scrollY, 0);
    viewer->SetStack(nullptr);
}

TEST(Viewer, BarsShowOnlyForTheAxesThatDoNotFit) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor);
    struct Case {
        int width, height;
        bool h, v;
    } cases[] = {
        {200, 120, false, false},                           // exactly the client area
        {190, 115, false, false}, {210, 100, true, false},  // the horizontal bar leaves 104 rows
        {210, 110, true, true},                             // ... too few: the vertical bar follows
        {195, 130, true, true},                             // the vertical bar leaves 184 columns
        {184, 130, false, true},
    };
    for (const Case& c : cases) {
        Picture picture(editor, c.width, c.height);
        viewer->SetStack(&picture.stack);
        EXPECT_EQ(Shown(*viewer, mtxIEWnd::kHorizontal), c.h) << c.width << "x" << c.height;
        EXPECT_EQ(Shown(*viewer, mtxIEWnd::kVertical), c.v) << c.width << "x" << c.height;
        RECT client = viewer->GetClientRect();
        EXPECT_EQ(viewer->scrollX, 0);
        // Whatever scrolling is asked, the picture never leaves a gap at the
        // right or bottom while it is larger than the client area.
        for (int i = 0; i < 4; ++i) viewer->OnHScroll(mtxIEWnd::kPageDown);
        for (int i = 0; i < 4; ++i) viewer->OnVScroll(mtxIEWnd::kPageDown);
        POINT o = viewer->PictureOrigin();
        if (c.h) {
            EXPECT_EQ(o.x + c.width, client.right);
        }
        if (c.v) {
            EXPECT_EQ(o.y + c.height, client.bottom);
        }
        if (!c.h) {
            EXPECT_EQ(viewer->scrollX, 0);
        }
        if (!c.v) {
            EXPECT_EQ(viewer->scrollY, 0);
        }
        viewer->SetStack(nullptr);
        EXPECT_EQ(viewer->LayerCount(), 0);
    }
}

TEST(Viewer, SmallPicturesAreCentredAndPictureRectIsClipped) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor);
    EXPECT_TRUE(mtxIsEmpty(viewer->PictureRect())) << "no picture";
    Picture odd(editor, 51, 31);
    viewer->SetStack(&odd.stack);
    EXPECT_EQ(viewer->offsetX, 74);  // (200 - 51) / 2, rounded down
    EXPECT_EQ(viewer->offsetY, 44);  // (120 - 31) / 2
    EXPECT_EQ(Str(viewer->PictureRect()), Str({1 + 74, 1 + 44, 1 + 74 + 51, 1 + 44 + 31}));
    viewer->SetRect({0, 0, 203, 123});  // a client area of 201 x 121
    EXPECT_EQ(viewer->offsetX, 75);
    EXPECT_EQ(viewer->offsetY, 45);

    Picture wide(editor, 400, 31);
    viewer->SetStack(&wide.stack);
    EXPECT_EQ(viewer->offsetX, 0);
    EXPECT_EQ(viewer->offsetY, (105 - 31) / 2);
    EXPECT_EQ(Str(viewer->PictureRect()), Str({1, 1 + 37, 1 + 201, 1 + 37 + 31}));
    viewer->SetStack(nullptr);
    EXPECT_TRUE(mtxIsEmpty(viewer->PictureRect()));
}

TEST(Viewer, FollowsTheStacksLayersInOrder) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor);
    Picture picture(editor, 60, 40);
    viewer->activeLayer = 0;
    viewer->SetStack(&picture.stack);
    EXPECT_EQ(viewer->GetStack(), &picture.stack);
    EXPECT_EQ(viewer->activeLayer, -1);
    ASSERT_EQ(viewer->LayerCount(), 1);
    mtxIEViewerLayer* bottom = viewer->GetLayer(0);
    EXPECT_EQ(bottom->stackLayer, picture.stack.GetLayer(0));

    uint64_t serial = viewer->pictureSerial;
    picture.stack.AddLayer(-1, MakePicture(editor, 10, 10, OpaquePixels(100, 2)));
    picture.stack.AddLayer(-1, MakePicture(editor, 20, 5, OpaquePixels(100, 3)));
    EXPECT_EQ(viewer->SyncWithStack(), 1);
    EXPECT_EQ(viewer->pictureSerial, serial) << "layer 0 still shows the same picture";
    ASSERT_EQ(viewer->LayerCount(), 3);
    EXPECT_EQ(viewer->GetLayer(0), bottom) << "a layer that stays keeps its viewer layer";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(viewer->GetLayer(i)->stackLayer, picture.stack.GetLayer(i)) << i;
    EXPECT_EQ(viewer->GetLayer(3), nullptr);
    EXPECT_EQ(viewer->GetLayer(-1), nullptr);

    picture.stack.RemoveLayer(0);
    viewer->SyncWithStack();
    EXPECT_GT(viewer->pictureSerial, serial) << "layer 0 shows another image";
    serial = viewer->pictureSerial;
    ASSERT_EQ(viewer->LayerCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(viewer->GetLayer(i)->stackLayer, picture.stack.GetLayer(i)) << i;
        EXPECT_EQ(viewer->GetLayer(i)->source, picture.stack.GetLayer(i)->source.get()) << i;
    }
    viewer->RemoveLayer(1);
    EXPECT_EQ(viewer->LayerCount(), 1);
    EXPECT_EQ(viewer->pictureSerial, serial);
    viewer->RemoveLayer(7);
    EXPECT_EQ(viewer->LayerCount(), 1);

    // A stack another user holds is not taken: no picture.
    Picture other(editor, 30, 30);
    other.stack.AddLayer(-1, MakePicture(editor, 10, 10, OpaquePixels(100, 4)));
    ASSERT_EQ(other.stack.TryBeginUse(), 1);
    viewer->activeLayer = 1;
    viewer->SetStack(&other.stack);
    EXPECT_EQ(viewer->GetStack(), nullptr);
    EXPECT_EQ(viewer->LayerCount(), 0);
    EXPECT_EQ(viewer->activeLayer, -1);
    EXPECT_TRUE(mtxIsEmpty(viewer->PictureRect()));
    other.stack.EndUse();
    viewer->SetStack(&other.stack);
    EXPECT_EQ(viewer->GetStack(), &other.stack);
    EXPECT_EQ(viewer->LayerCount(), 2);
    EXPECT_EQ(other.stack.busy, 0) << "the flag is cleared again";
    EXPECT_EQ(viewer->GetLayer(1)->stackLayer, other.stack.GetLayer(1));
}

// Where the viewer shows the picture, every pixel is the picture's.
void ExpectPictureAt(const ui_test::Pixels& p, const Picture& picture, int left, int top,
                     const RECT& within) {
    int wrong = 0;
    for (int y = within.top; y < within.bottom; ++y)
        for (int x = within.left; x < within.right; ++x)
            if (p.At(x, y) != picture.At(x - left, y - top) && ++wrong < 4)
                ADD_FAILURE() << "at (" << x << ", " << y << "): " << std::hex << p.At(x, y)
                              << " for " << picture.At(x - left, y - top);
    EXPECT_EQ(wrong, 0);
}

TEST(Viewer, PaintShowsThePictureInPlaceAndAPartialPaintTouchesOnlyItsRectangle) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor, 20, 10);
    Picture picture(editor, 100, 80);
    viewer->SetStack(&picture.stack);
    editor.Paint();
    EXPECT_EQ(viewer->paintFailed, 0);
    const int left = 20 + 1 + 50, top = 10 + 1 + 20;  // centred in 200 x 120
    ui_test::Pixels before = ui_test::ReadBack(editor);
    ExpectPictureAt(before, picture, left, top, {left, top, left + 100, top + 80});
    EXPECT_EQ(before.At(left - 1, top), viewer->backgroundColor);
    EXPECT_EQ(before.At(left + 100, top + 79), viewer->backgroundColor);

    // The picture changes in memory and says so; only R is painted.
    Picture next(editor, 100, 80, 9);
    mtxImage& image = *picture.stack.GetLayer(0)->source;
    ASSERT_EQ(image.Lock(), 1);
    for (int y = 0; y < 80; ++y) std::memcpy(image.Row(y), &next.pixels[size_t(y) * 100], 400);
    image.Unlock();
    picture.stack.GetLayer(0)->viewerData.push_back({0, 0, 0});
    const RECT r = {left - 7, top + 13, left + 41, top + 50};
    editor.AddDirty(r);
    editor.Paint();
    ui_test::Pixels after = ui_test::ReadBack(editor);
    ExpectPictureAt(after, next, left, top, {left, r.top, r.right, r.bottom});
    int changed = 0;
    for (int y = 0; y < after.height; ++y)
        for (int x = 0; x < after.width; ++x) {
            bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            if (!inside && after.At(x, y) != before.At(x, y)) ++changed;
        }
    EXPECT_EQ(changed, 0) << "pixels outside the painted rectangle changed";
    EXPECT_EQ(after.At(r.left, r.top), viewer->backgroundColor);
}

// A frame of many small dirty parts composes the view once a part, from the
// tiles under each part alone: inside the parts it shows what a whole frame
// shows, and outside them what was there.
TEST(Viewer, AFrameOfManyPartsShowsWhatAWholeFrameShows) {
    Editor editor;
    auto* viewer = new mtxIEViewer(editor.canvas.get());
    viewer->SetRect({0, 0, 320, 200});
    Picture picture(editor, 600, 400, 3);  // tiles of 126: five columns, four rows
    viewer->SetStack(&picture.stack);
    for (int i = 0; i < 5; ++i) viewer->OnHScroll(mtxIEWnd::kLineForward);
    viewer->OnVScroll(mtxIEWnd::kPageDown);
    editor.Paint();
    ui_test::Pixels before = ui_test::ReadBack(editor);

    Picture next(editor, 600, 400, 11);
    mtxImage& image = *picture.stack.GetLayer(0)->source;
    ASSERT_EQ(image.Lock(), 1);
    for (int y = 0; y < 400; ++y) std::memcpy(image.Row(y), &next.pixels[size_t(y) * 600], 2400);
    image.Unlock();
    for (int32_t row = 0; row < 4; ++row)
        for (int32_t column = 0; column < 5; ++column)
            picture.stack.GetLayer(0)->viewerData.push_back({column, row, 0});
    std::vector<RECT> parts;
    for (int y = 3; y + 7 < 200; y += 23)
        for (int x = 5 + y % 11; x + 9 < 320; x += 37) parts.push_back({x, y, x + 9, y + 7});
    ASSERT_LT(parts.size(), mtxImageEditor::kMaxDirtyParts);
    for (const RECT& r : parts) editor.AddDirty(r);
    editor.Paint();
    ui_test::Pixels parted = ui_test::ReadBack(editor);
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    ui_test::Pixels whole = ui_test::ReadBack(editor);

    int wrong = 0, changed = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            bool inside = std::any_of(parts.begin(), parts.end(), [&](const RECT& r) {
                return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            });
            wrong += parted.At(x, y) != (inside ? whole.At(x, y) : before.At(x, y));
            changed += inside && before.At(x, y) != whole.At(x, y);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(changed, 0) << "the parts show the picture changed";
}

TEST(Viewer, AScrolledPictureLinesUpWithTheScrollPosition) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor, 5, 5);
    Picture picture(editor, 300, 200, 4);  // tiles of 126: three columns, two rows
    viewer->SetStack(&picture.stack);
    for (int i = 0; i < 3; ++i) viewer->OnHScroll(mtxIEWnd::kLineForward);
    viewer->OnVScroll(mtxIEWnd::kPageDown);
    ASSERT_EQ(viewer->scrollX, 3);
    ASSERT_EQ(viewer->scrollY, 200 - 104);
    editor.Paint();
    RECT client = mtxOffset(viewer->GetClientRect(), 5, 5);
    ExpectPictureAt(ui_test::ReadBack(editor), picture, client.left - 3, client.top - 96, client);

    for (int i = 0; i < 3; ++i) viewer->OnHScroll(mtxIEWnd::kPageDown);
    viewer->OnVScroll(mtxIEWnd::kPageDown);
    editor.Paint();
    ui_test::Pixels p = ui_test::ReadBack(editor);
    ExpectPictureAt(p, picture, client.right - 300, client.bottom - 200, client);
    EXPECT_EQ(p.At(client.right - 1, client.bottom - 1), picture.At(299, 199));
}

TEST(Viewer, DeviceLossReleasesTheTilesAndTheResetRepaintsThePicture) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor);
    Picture picture(editor, 150, 100);
    viewer->SetStack(&picture.stack);
    editor.Paint();
    ASSERT_NE(viewer->GetLayer(0)->GetTile(0, 0)->color, nullptr);

    mtxDxTestSwitches().loseAtNextPresent = 1;
    mtxDxTestSwitches().lostPolls = 1;
    viewer->Invalidate();
    editor.Paint();  // presents, and the device is lost
    EXPECT_EQ(editor.lost, 1u);
    EXPECT_EQ(viewer->GetLayer(0)->GetTile(0, 0)->color, nullptr);
    EXPECT_EQ(viewer->GetLayer(0)->GetTile(1, 0)->color, nullptr);
    EXPECT_EQ(viewer->composer.layerTarget, nullptr);
    editor.Paint();  // still lost
    editor.Paint();  // reset, then a full frame
    mtxDxTestSwitches() = mtxDxTestSwitch{};
    ASSERT_EQ(editor.lost, 0u);
    EXPECT_EQ(viewer->paintFailed, 0);
    POINT o = viewer->PictureOrigin();
    ExpectPictureAt(ui_test::ReadBack(editor), picture, o.x, o.y, viewer->PictureRect());
}

// The vector layer: line objects pasted from the clipboard and drawn over the
// picture through the delta blend.

std::vector<uint8_t> LineRecord(uint32_t shape, const std::vector<POINT>& points) {
    std::vector<uint8_t> bytes(4 + points.size() * 8);
    std::memcpy(bytes.data(), &shape, 4);
    for (size_t i = 0; i < points.size(); ++i) {
        int32_t xy[2] = {points[i].x, points[i].y};
        std::memcpy(bytes.data() + 4 + i * 8, xy, 8);
    }
    return bytes;
}

void PutOnClipboard(mtxImageEditor& editor, uint32_t format, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) {  // the editor hands out no block of 0 bytes
        ASSERT_TRUE(OpenClipboard(editor.Handle()));
        EXPECT_TRUE(EmptyClipboard() && SetClipboardData(format, {}));
        CloseClipboard();
        return;
    }
    uint8_t* block = editor.BeginClipboardWrite(format, bytes.size());
    ASSERT_NE(block, nullptr);
    std::memcpy(block, bytes.data(), bytes.size());
    ASSERT_EQ(editor.EndClipboardWrite(), 1);
}

// Opaque white through the delta blend: a channel below one half turns full,
// one at or above it turns 0.
uint32_t WhiteOver(uint32_t below) {
    uint32_t out = 0xFF000000u;
    for (int shift : {0, 8, 16})
        if (((below >> shift) & 0xFF) < 0x80) out |= 0xFFu << shift;
    return out;
}

// How far an anti-aliased pixel went from the picture's colour toward white
// over it (0 to 1, read on the channel that moves most); -1 when the channels
// disagree on it.
double WhiteCoverage(uint32_t got, uint32_t below) {
    uint32_t full = WhiteOver(below);
    auto channel = [](uint32_t c, int shift) { return int((c >> shift) & 0xFF); };
    int widest = 0;
    double coverage = 0;
    for (int shift : {0, 8, 16}) {
        int span = channel(full, shift) - channel(below, shift);
        if (std::abs(span) > widest)
            widest = std::abs(span),
            coverage = double(channel(got, shift) - channel(below, shift)) / span;
    }
    for (int shift : {0, 8, 16}) {
        double expected =
            channel(below, shift) + coverage * (channel(full, shift) - channel(below, shift));
        if (std::abs(channel(got, shift) - expected) > 3) return -1;
    }
    return coverage;
}

// Stands in for the tracked pop-up: records where it was shown and makes the
// layer the target of the item chosen, as Show does.
struct SpyVectorMenu : mtxIEViewer::VectorLayer::Menu {
    using Menu::Menu;
    int Show(int x, int y) override {
        position = {x, y};
        editor->SetMenuTarget(target);
        shown.push_back(position);
        return 0;
    }
    std::vector<POINT> shown;
};

// A right press with no tool opens the layer's menu (one item, Paste) at the
// pointer; choosing Paste puts the clipboard's line there, selected, over the
// picture. Removing the objects brings back the paint without them, byte for
// byte. With a tool under the pointer the press is the tool's.
TEST(VectorLayer, PasteFromItsMenuPutsASelectedLineOverThePicture) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor, 20, 10);
    Picture picture(editor, 100, 80, 5);
    viewer->SetStack(&picture.stack);
    const int left = 20 + 1 + 50, top = 10 + 1 + 20;  // the picture, centred

    mtxIEViewer::VectorLayer& layer = viewer->vectorLayer;
    auto* spy = new SpyVectorMenu(&editor, &layer);
    layer.menu.reset(spy);
    ASSERT_EQ(spy->menu.items.size(), 1u);
    EXPECT_EQ(spy->menu.items[0].id, 1u);
    EXPECT_EQ(spy->menu.items[0].label, "Paste");
    EXPECT_EQ(layer.lineMenu->ItemCount(), 0u);
    EXPECT_EQ(layer.pointMenu->ItemCount(), 0u);

    PutOnClipboard(editor, layer.clipboardFormat, LineRecord(1, {{5, 10}, {35, 10}}));
    ui_test::Mouse(editor, WM_RBUTTONDOWN, left + 10, top + 20, MK_RBUTTON);
    ASSERT_EQ(spy->shown.size(), 1u);
    EXPECT_EQ(spy->shown[0].x, left + 10);
    EXPECT_EQ(spy->shown[0].y, top + 20);
    editor.Paint();
    const ui_test::Pixels before = ui_test::ReadBack(editor);
    PostMessage(editor.Handle(), WM_COMMAND, mtxIEVectorLayer::kPaste, 0);  // Paste chosen
    ui_test::PumpPosted();
    ASSERT_EQ(layer.objects.size(), 1u);
    EXPECT_EQ(layer.objects[0].shape, 1u);
    ASSERT_EQ(layer.objects[0].points.size(), 2u);
    EXPECT_EQ(layer.objects[0].points[0].x, 15);
    EXPECT_EQ(layer.objects[0].points[0].y, 30);
    EXPECT_EQ(layer.objects[0].points[1].x, 45);
    EXPECT_EQ(layer.objects[0].points[1].y, 30);
    EXPECT_TRUE(layer.objects[0].selected);

    // A second paste selects only the new object.
    ASSERT_EQ(layer.Paste(POINT{left, top + 60}), 1);
    ASSERT_EQ(layer.objects.size(), 2u);
    EXPECT_FALSE(layer.objects[0].selected);
    EXPECT_TRUE(layer.objects[1].selected);
    EXPECT_EQ(layer.objects[1].points[0].y, 70);
    editor.Paint();
    EXPECT_EQ(viewer->paintFailed, 0);
    ui_test::Pixels after = ui_test::ReadBack(editor);
    for (int x : {left + 20, left + 30, left + 40})
        EXPECT_PRED3(ui_test::Near, after.At(x, top + 30), WhiteOver(picture.At(x - left, 30)), 8)
            << x;
    EXPECT_PRED3(ui_test::Near, after.At(left + 20, top + 70), WhiteOver(picture.At(20, 70)), 8);
    EXPECT_EQ(after.At(left + 30, top + 50), picture.At(30, 50));
    EXPECT_EQ(after.At(left + 60, top + 30), picture.At(60, 30));
    EXPECT_FALSE(bool(viewer->composer.drawTop));

    layer.objects.clear();
    viewer->Invalidate();
    editor.Paint();
    ui_test::Pixels cleared = ui_test::ReadBack(editor);
    EXPECT_TRUE(cleared.words == before.words) << "the paint without objects changed";

    // A tool under the pointer takes the press.
    auto* tool = new ui_test::Spy(viewer, viewer->GetClientRect());
    ui_test::Mouse(editor, WM_RBUTTONDOWN, left + 10, top + 20, MK_RBUTTON);
    EXPECT_EQ(spy->shown.size(), 1u);
    EXPECT_TRUE(tool->HasFocus());
}

// Shape 3 is a cubic Bezier through its four points: the curve passes its
// middle at B(1/2), the control points off the curve stay unpainted, and the
// selection rectangle frames the curve's bounds.
TEST(VectorLayer, ABezierRecordIsPastedAsACurve) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor);
    Picture picture(editor, 300, 200, 6);
    viewer->SetStack(&picture.stack);
    for (int i = 0; i < 3; ++i) viewer->OnHScroll(mtxIEWnd::kLineForward);
    for (int i = 0; i < 2; ++i) viewer->OnVScroll(mtxIEWnd::kLineForward);
    mtxIEViewer::VectorLayer& layer = viewer->vectorLayer;
    PutOnClipboard(editor, layer.clipboardFormat,
                   LineRecord(3, {{0, 0}, {0, 40}, {40, 40}, {40, 0}}));
    POINT o = viewer->PictureOrigin();  // scrolled by (3, 2)
    RECT area = viewer->EditorRect();
    ASSERT_EQ(layer.Paste(POINT{area.left + o.x + 30, area.top + o.y + 20}), 1);
    ASSERT_EQ(layer.objects.size(), 1u);
    const mtxIELineObject& curve = layer.objects[0];
    EXPECT_EQ(curve.shape, 3u);
    ASSERT_EQ(curve.points.size(), 4u);
    EXPECT_EQ(curve.points[1].x, 30);
    EXPECT_EQ(curve.points[1].y, 60);
    EXPECT_EQ(Str(curve.Bounds()), Str({30, 20, 71, 51}));  // B(1/2) = (20, 30) + (30, 20)
    editor.Paint();
    ui_test::Pixels p = ui_test::ReadBack(editor);
    auto screen = [&](int x, int y) { return p.At(area.left + o.x + x, area.top + o.y + y); };
    auto over = [&](int x, int y) { return WhiteOver(picture.At(x, y)); };
    EXPECT_PRED3(ui_test::Near, screen(50, 50), over(50, 50),
                 8);  // B(1/2), on the frame's bottom too
    // B(1/3) = (10.4, 26.7): the anti-aliased curve covers some of the pixel.
    EXPECT_GE(WhiteCoverage(screen(40, 47), picture.At(40, 47)), 0.5);
    EXPECT_PRED3(ui_test::Near, screen(30, 40), over(30, 40), 8);  // the frame's left edge
    EXPECT_PRED3(ui_test::Near, screen(70, 35), over(70, 35), 8);  // and its right one
    EXPECT_EQ(screen(30, 60), picture.At(30, 60));                 // a control point
    EXPECT_EQ(screen(50, 30), picture.At(50, 30));                 // inside
}

// Clipboard content is untrusted: a record cut short, one too long, one whose
// points land out of range, a block of no bytes, an empty clipboard and
// another format paste nothing, and the clipboard is closed afterwards.
TEST(VectorLayer, ABadOrMissingRecordPastesNothingAndClosesTheClipboard) {
    Editor editor;
    mtxIEViewer* viewer = MakeViewer(editor);
    Picture picture(editor, 100, 80);
    viewer->SetStack(&picture.stack);
    mtxIEViewer::VectorLayer& layer = viewer->vectorLayer;
    std::vector<uint8_t> cut = LineRecord(3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
    cut.resize(cut.size() - 8);
    std::vector<uint8_t> tooLong = LineRecord(1, {{0, 0}, {1, 1}, {2, 2}});
    std::vector<uint8_t> far = LineRecord(2, {{0, 0}, {1 << 30, 5}});
    std::vector<uint8_t> stub = {3, 0};
    uint32_t foreign = RegisterClipboardFormat("daubry_test_other");
    struct Case {
        const char* what;
        uint32_t format;
        std::vector<uint8_t> bytes;
    } cases[] = {{"cut short", layer.clipboardFormat, cut},
                 {"too long", layer.clipboardFormat, tooLong},
                 {"out of range", layer.clipboardFormat, far},
                 {"shorter than the shape code", layer.clipboardFormat, stub},
                 {"no bytes", layer.clipboardFormat, {}},
                 {"another format", foreign, LineRecord(1, {{0, 0}, {9, 9}})}};
    RECT area = viewer->EditorRect();
    POINT at = {area.left + 60, area.top + 40};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutOnClipboard(editor, c.format, c.bytes);
        EXPECT_EQ(layer.Paste(at), 0);
        EXPECT_TRUE(layer.objects.empty());
        ASSERT_TRUE(OpenClipboard(editor.Handle())) << "left open";
        CloseClipboard();
    }
    ASSERT_TRUE(OpenClipboard(editor.Handle()));
    ASSERT_TRUE(EmptyClipboard());
    CloseClipboard();
    EXPECT_EQ(layer.Paste(at), 0);
    EXPECT_TRUE(layer.objects.empty());
    ASSERT_TRUE(OpenClipboard(editor.Handle())) << "left open";
    CloseClipboard();
    // The same record whole is taken.
    PutOnClipboard(editor, layer.clipboardFormat, LineRecord(2, {{0, 0}, {1, 1}}));
    EXPECT_EQ(layer.Paste(at), 1);
    EXPECT_EQ(layer.objects.size(), 1u);
}

}  // namespace
