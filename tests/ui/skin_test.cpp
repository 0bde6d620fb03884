// The skin pictures as the controls use them: each picture resource sliced
// into the pieces its roles need, and controls drawn with the skins and the
// control shaders compared by pixels at chosen places, against the pictures
// themselves where a piece is drawn texel for texel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "image/file_stream.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "image/io/image_save.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/button.h"
#include "ui/check_box.h"
#include "ui/combo_box.h"
#include "ui/dialog.h"
#include "ui/profile.h"
#include "ui/radio_button.h"
#include "ui/slider.h"
#include "ui/tool_bar.h"

namespace {

using namespace ui_test;

struct Skin {
    explicit Skin(uint32_t id) {
        EXPECT_EQ(mtxImageLoad(image, id, 0), 1) << "picture resource " << id;
        mtxIEProfile::SliceSkin(image, pieces);
    }
    mtxImage image;
    std::vector<RECT> pieces;
};

uint32_t Rgb(uint32_t c) {
    return c & 0xFFFFFF;
}
int Channel(uint32_t c, int shift) {
    return int((c >> shift) & 0xFF);
}
int Brightness(uint32_t c) {
    return Channel(c, 16) + Channel(c, 8) + Channel(c, 0);
}
// Grey enough for the calm look: red and blue within tolerance.
bool Greyish(uint32_t c, int tolerance) {
    return std::abs(Channel(c, 16) - Channel(c, 0)) <= tolerance;
}
bool Accent(uint32_t c) {
    return Channel(c, 0) > Channel(c, 16) + 40;
}
int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}
uint32_t PieceAt(const Skin& skin, int piece, int x, int y) {
    const RECT& r = skin.pieces[size_t(piece)];
    return skin.image.At(r.left + x, r.top + y);
}

TEST(SkinPictures, TheDialogSkinHasNineFramePiecesAndThreeTitlePieces) {
    Skin skin(mtxIEProfile::kDialogSkinId);
    ASSERT_EQ(skin.pieces.size(), size_t(mtxIEProfile::kDialogPieces));
    for (const RECT& r : skin.pieces) EXPECT_TRUE(Width(r) > 0 && Height(r) > 0);
    for (int corner : {0, 2, 6, 8}) {
        EXPECT_EQ(Width(skin.pieces[size_t(corner)]), 8);
        EXPECT_EQ(Height(skin.pieces[size_t(corner)]), 8);
    }
    for (int title = mtxIEProfile::kTitleLeft; title <= mtxIEProfile::kTitleRight; ++title)
        EXPECT_EQ(Height(skin.pieces[size_t(title)]), 25);  // the title bar's height

    // Edges and the centre are stretched: they must not change along the stretch.
    const RECT top = skin.pieces[1], left = skin.pieces[3], centre = skin.pieces[4];
    for (int y = 0; y < Height(top); ++y)
        for (int x = 1; x < Width(top); ++x)
            EXPECT_EQ(PieceAt(skin, 1, x, y), PieceAt(skin, 1, 0, y));
    for (int y = 1; y < Height(left); ++y)
        for (int x = 0; x < Width(left); ++x)
            EXPECT_EQ(PieceAt(skin, 3, x, y), PieceAt(skin, 3, x, 0));
    for (int y = 0; y < Height(centre); ++y)
        for (int x = 0; x < Width(centre); ++x)
            EXPECT_EQ(PieceAt(skin, 4, x, y), PieceAt(skin, 4, 0, 0));
    for (int y = 0; y < 25; ++y)
        EXPECT_EQ(PieceAt(skin, mtxIEProfile::kTitleMiddle, 3, y),
                  PieceAt(skin, mtxIEProfile::kTitleMiddle, 0, y));

    // The face is the profile's face colour; the outline, darker, on every outer side.
    mtxIEProfile profile;
    const uint32_t face = PieceAt(skin, 4, 0, 0);
    EXPECT_EQ(face, profile.faceColor);
    const uint32_t outlines[] = {PieceAt(skin, 1, 0, 0), PieceAt(skin, 3, 0, 0),
                                 PieceAt(skin, 5, Width(skin.pieces[5]) - 1, 0),
                                 PieceAt(skin, 7, 0, Height(skin.pieces[7]) - 1)};
    for (uint32_t outline : outlines) {
        EXPECT_EQ(outline >> 24, 0xFFu);
        EXPECT_LT(Brightness(outline), Brightness(face) - 150);
        EXPECT_TRUE(Greyish(outline, 20));
    }
    // Rounded: the outermost corner pixels are transparent.
    EXPECT_EQ(PieceAt(skin, 0, 0, 0) >> 24, 0u);
    EXPECT_EQ(PieceAt(skin, 8, 7, 7) >> 24, 0u);
    // The title bar carries the accent.
    EXPECT_TRUE(Accent(PieceAt(skin, mtxIEProfile::kTitleMiddle, 0, 12)));
}

TEST(SkinPictures, TheCheckSkinHasFourStatesWithABorderAndATick) {
    Skin skin(mtxIEProfile::kCheckSkinId);
    ASSERT_EQ(skin.pieces.size(), size_t(mtxIEProfile::kCheckPieces));
    std::set<uint32_t> centres;
    for (int state = 0; state < mtxIEProfile::kCheckPieces; ++state) {
        const RECT& r = skin.pieces[size_t(state)];
        EXPECT_EQ(Width(r), 13);
        EXPECT_EQ(Height(r), 13);
        uint32_t border = PieceAt(skin, state, 0, 6), centre = PieceAt(skin, state, 6, 2);
        EXPECT_EQ(border >> 24, 0xFFu);
        bool checked = state == mtxIEProfile::kChecked || state == mtxIEProfile::kCheckedPressed;
        if (checked) {
            EXPECT_TRUE(Accent(centre)) << state;
            int white = 0;  // the tick
            for (int y = 0; y < 13; ++y)
                for (int x = 0; x < 13; ++x)
                    white += Brightness(PieceAt(skin, state, x, y)) > 3 * 235;
            EXPECT_GT(white, 8) << state;
        } else {
            EXPECT_GT(Brightness(centre), 3 * 215) << state;
            EXPECT_LT(Brightness(border), Brightness(centre) - 100) << state;
        }
        centres.insert(centre);
    }
    EXPECT_EQ(centres.size(), 4u);  // pressing shows
}

TEST(SkinPictures, TheToolIconsAreDistinctSquaresOnATransparentGround) {
    Skin skin(mtxIEProfile::kToolIconsId);
    ASSERT_EQ(skin.pieces.size(), size_t(mtxIEProfile::kToolIcons));
    std::set<std::vector<uint32_t>> seen;
    for (int icon = 0; icon < mtxIEProfile::kToolIcons; ++icon) {
        EXPECT_EQ(Width(skin.pieces[size_t(icon)]), 24);
        EXPECT_EQ(Height(skin.pieces[size_t(icon)]), 24);
        std::vector<uint32_t> pixels;
        int opaque = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                pixels.push_back(PieceAt(skin, icon, x, y));
                opaque += (pixels.back() >> 24) == 0xFF;
            }
        EXPECT_GT(opaque, 20) << icon;
        EXPECT_EQ(PieceAt(skin, icon, 0, 0) >> 24, 0u) << icon;
        seen.insert(pixels);
    }
    EXPECT_EQ(seen.size(), size_t(mtxIEProfile::kToolIcons));
}

TEST(SkinPictures, TheToolBarBackgroundIsAnOpaqueLightGrey) {
    mtxImage image;
    ASSERT_EQ(mtxImageLoad(image, mtxIEProfile::kToolBarBackgroundId, 0), 1);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            uint32_t c = image.At(x, y);
            ASSERT_EQ(c >> 24, 0xFFu);
            ASSERT_TRUE(Greyish(c, 10) && Brightness(c) > 3 * 200) << x << "," << y;
        }
}

struct SkinFixture : ::testing::Test {
    SkinFixture() : editor(400, 300) {
        testing_support::SharedApp();
        EXPECT_TRUE(editor.defaultProfile.HasSkins());
    }
    Editor editor;
    Skin dialogSkin{mtxIEProfile::kDialogSkinId};
    Skin checkSkin{mtxIEProfile::kCheckSkinId};
};

TEST_F(SkinFixture, ADialogIsAShadedPanelTitledByItsSkinPieces) {
    auto* dialog = new mtxIEDialog(&editor, 1);  // at (50, 50, 350, 250)
    dialog->SetTitleBar(1);
    dialog->SetTitle("Settings");
    editor.Paint();
    Pixels p = ReadBack(editor);
    EXPECT_EQ(Rgb(p.At(200, 50 + 12)), Rgb(PieceAt(dialogSkin, mtxIEProfile::kTitleMiddle, 0, 12)));
    EXPECT_EQ(Rgb(p.At(200, 50)), Rgb(PieceAt(dialogSkin, mtxIEProfile::kTitleMiddle, 0, 0)));
    // The panel's face: its warm grey, shaded by 0.3 x half the way down the
    // quad that reaches 25 pixels past the dialog on every side.
    const float tint[3] = {0.831f, 0.815f, 0.784f};
    const float shade = 1.0f - 0.15f * (150.0f - 25.0f) / 250.0f;
    uint32_t face = p.At(200, 150);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(Channel(face, 16 - 8 * c), 255.0f * tint[c] * shade, 2.0f) << c;
    // Outlined on every side by a darker pixel, lighter again inside.
    for (uint32_t edge : {p.At(50, 150), p.At(349, 150), p.At(200, 249)}) {
        EXPECT_LT(Brightness(edge), Brightness(face) - 100);
        EXPECT_TRUE(Greyish(edge, 20));
    }
    EXPECT_GT(Brightness(p.At(52, 150)), Brightness(face) - 30);
    // The shadow falls outside the dialog, where the dialog's clip cuts it.
    EXPECT_EQ(Rgb(p.At(49, 150)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(p.At(200, 250)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(p.At(20, 20)), 0xFFFFFFu);

    dialog->SetTitleBar(0);
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    p = ReadBack(editor);
    EXPECT_LT(Brightness(p.At(200, 50)), Brightness(p.At(200, 52)) - 100);  // the top outline
}

TEST_F(SkinFixture, ARadioButtonIsARoundShadedFaceWithItsDotWhenChosen) {
    auto* group = new mtxIERadioGroup(editor.canvas.get());
    group->SetRect({100, 100, 200, 140});
    group->AddButton("One");
    group->AddButton("Two");  // faces: 13 x 13 at (100, 103) and (100, 123)
    group->Select(2, false);
    editor.Paint();
    Pixels p = ReadBack(editor);
    const int cx = 106, one = 109, two = 129;
    // Lit from above: the upper rim reflects the light, the lower one the ground.
    EXPECT_GT(Brightness(p.At(cx, one - 5)), Brightness(p.At(cx, one + 5)) + 30);
    EXPECT_GT(Brightness(p.At(cx, one)), 3 * 200);
    EXPECT_LT(Brightness(p.At(cx, two)), 3 * 80);  // the dot
    // Round: the corners of its square show what lies below.
    EXPECT_EQ(Rgb(p.At(100, 103)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(p.At(112, 115)), 0xFFFFFFu);
}

TEST_F(SkinFixture, ASliderRunsInASunkenGroove) {
    auto* slider = new mtxIESlider(editor.canvas.get());
    slider->SetRect({100, 100, 300, 120});  // the groove around y = 110
    slider->SetRange(0, 100);
    slider->Show(1);
    editor.Paint();
    Pixels p = ReadBack(editor);
    uint32_t upper = p.At(200, 109), lower = p.At(200, 110);
    EXPECT_LT(Brightness(upper), 3 * 140);
    EXPECT_GT(Brightness(lower), Brightness(upper) + 60);
    EXPECT_EQ(Rgb(p.At(200, 106)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(p.At(200, 113)), 0xFFFFFFu);
}

TEST_F(SkinFixture, TheCloseBoxIsASquareBevelThatSinksAndReflectsWhilePressed) {
    auto* dialog = new mtxIEDialog(&editor, 1);
    dialog->SetTitleBar(1);
    auto* cancel = new mtxIEButton(dialog);
    cancel->Show(1);
    dialog->cancelButton = cancel;
    RECT box = dialog->LocalToEditor(dialog->CloseBox());
    editor.Paint();
    Pixels p = ReadBack(editor);
    // Square: its corner is the face, not the title bar's accent.
    uint32_t corner = p.At(box.left, box.top), centre = p.At(box.left + 3, box.top + 7);
    EXPECT_TRUE(Greyish(corner, 20) && !Accent(corner)) << std::hex << corner;
    EXPECT_GT(Brightness(p.At(box.left + 1, box.top + 1)),
              Brightness(p.At(box.right - 2, box.bottom - 2)) + 10);
    editor.RouteMouse(mtxIECtrl::kMouseMove, box.left + 3, box.top + 7, 0);
    editor.Paint();
    EXPECT_EQ(Rgb(ReadBack(editor).At(box.left + 3, box.top + 7)), Rgb(centre));  // no press yet
    editor.RouteMouse(mtxIECtrl::kLButtonDown, box.left + 3, box.top + 7, mtxOs::MK_LBUTTON);
    editor.Paint();
    EXPECT_NE(Rgb(ReadBack(editor).At(box.left + 3, box.top + 7)), Rgb(centre));
    editor.RouteMouse(mtxIECtrl::kMouseMove, box.left - 30, box.top + 7, mtxOs::MK_LBUTTON);
    editor.Paint();
    EXPECT_EQ(Rgb(ReadBack(editor).At(box.left + 3, box.top + 7)), Rgb(centre));  // let go of
}

TEST_F(SkinFixture, ACheckBoxShowsTheSkinPieceOfItsState) {
    auto* box = new mtxIECheckBox(editor.canvas.get());
    box->SetRect({100, 100, 200, 120});  // the box: 13 x 13 at (101, 103)
    box->Show(1);
    auto centre = [&] {
        editor.AddDirty(editor.clientRect);
        editor.Paint();
        return Rgb(ReadBack(editor).At(101 + 2, 103 + 6));
    };
    EXPECT_EQ(centre(), Rgb(PieceAt(checkSkin, mtxIEProfile::kUnchecked, 2, 6)));
    EXPECT_EQ(Rgb(ReadBack(editor).At(101, 103 + 6)),
              Rgb(PieceAt(checkSkin, mtxIEProfile::kUnchecked, 0, 6)));
    box->Click();
    EXPECT_EQ(centre(), Rgb(PieceAt(checkSkin, mtxIEProfile::kChecked, 2, 6)));
    editor.SetHover(box);
    EXPECT_EQ(centre(), Rgb(PieceAt(checkSkin, mtxIEProfile::kCheckedPressed, 2, 6)));
    editor.SetHover(nullptr);
}

TEST_F(SkinFixture, AButtonFaceIsShadedLitFromAboveAndSinksWhenPressed) {
    auto* button = new mtxIEButton(editor.canvas.get());
    button->SetRect({100, 100, 180, 125});
    button->Show(1);
    editor.Paint();
    Pixels up = ReadBack(editor);
    uint32_t top = up.At(140, 105), bottom = up.At(140, 119);
    EXPECT_TRUE(Greyish(top, 16) && Greyish(bottom, 16));
    EXPECT_GT(Brightness(top), 3 * 190);
    EXPECT_GT(Brightness(top), Brightness(bottom) + 15);
    EXPECT_EQ(Rgb(up.At(100, 100)), 0xFFFFFFu);       // the rounded corner
    EXPECT_LT(Brightness(up.At(100, 112)), 3 * 200);  // the outline
    EXPECT_LT(Brightness(up.At(179, 112)), 3 * 200);
    button->SetPressed(1);
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    Pixels down = ReadBack(editor);
    EXPECT_LT(Brightness(down.At(140, 105)), Brightness(top) - 20);
}

TEST_F(SkinFixture, AToolBarShowsItsPictureShadedByTheBevelAndIconButtons) {
    auto* bar = new mtxIEToolBar(editor.canvas.get());
    bar->SetRect({10, 10, 390, 50});
    bar->Show(1);
    auto* tool = new mtxIEButton(bar);
    tool->icon = 2;
    tool->SetRect({0, 0, 30, 30});
    tool->Show(1);
    bar->AddItem(tool, 0, 5);  // at (15, 15) in the editor
    editor.Paint();
    Pixels p = ReadBack(editor);
    mtxImage picture;
    ASSERT_EQ(mtxImageLoad(picture, mtxIEProfile::kToolBarBackgroundId, 0), 1);
    // Away from the bevel the face is the picture (stretched over the bar).
    EXPECT_TRUE(Near(p.At(200, 30), picture.At(picture.width / 2, picture.height / 2), 6));
    EXPECT_GT(Brightness(p.At(200, 11)), Brightness(p.At(200, 48)) + 12);
    // The icon's dark glyph shows on the button, and only with an icon.
    auto darkPixels = [](const Pixels& pixels) {
        int dark = 0;
        for (int y = 15; y < 45; ++y)
            for (int x = 15; x < 45; ++x) dark += Brightness(pixels.At(x, y)) < 3 * 120;
        return dark;
    };
    EXPECT_GT(darkPixels(p), 15);
    tool->icon = -1;
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    EXPECT_EQ(darkPixels(ReadBack(editor)), 0);
}

// The look as a whole, for people: a tool bar of every icon over a dialog with
// the standard controls, written as skins.png where the tests run.
TEST_F(SkinFixture, AScreenshotOfTheSkinnedControls) {
    auto* bar = new mtxIEToolBar(editor.canvas.get());
    bar->SetRect({0, 0, 400, 34});
    bar->border = 1;
    bar->Show(1);
    for (int i = 0; i < mtxIEProfile::kToolIcons; ++i) {
        auto* tool = new mtxIEButton(bar);
        tool->icon = i;
        tool->SetRect({0, 0, 24, 26});
        tool->Show(1);
        tool->style |= mtxIEButton::kToggle | mtxIEButton::kStaysPressed;
        if (i == 3) tool->SetPressed(1);
        bar->AddItem(tool, 0, i ? 1 : 4);
    }
    auto* dialog = new mtxIEDialog(&editor, 1);
    dialog->SetTitleBar(1);
    dialog->SetTitle("Filling");
    dialog->SetRect({60, 60, 340, 280});
    auto* check = new mtxIECheckBox(dialog);
    check->SetCaption("Keep the edges");
    check->SetRect({20, 40, 200, 58});
    check->Show(1);
    auto* checked = new mtxIECheckBox(dialog);
    checked->SetCaption("Blend the samples");
    checked->SetRect({20, 64, 200, 82});
    checked->Click();
    checked->Show(1);
    auto* radios = new mtxIERadioGroup(dialog);
    radios->SetRect({210, 40, 270, 80});
    radios->AddButton("Fine");
    radios->AddButton("Bold");
    radios->Select(2, false);
    auto* slider = new mtxIESlider(dialog);
    slider->SetRect({20, 94, 260, 114});
    slider->SetRange(0, 100);
    slider->Show(1);
    auto* combo = new mtxIEComboBox(dialog);
    combo->SetRect({20, 124, 200, 144});
    combo->AddItem("Flowers");
    combo->Select(0);
    combo->Show(1);
    for (int i = 0; i < 2; ++i) {
        auto* button = new mtxIEButton(dialog);
        button->SetCaption(i ? "Cancel" : "Ok");
        button->SetRect({100 + 90 * i, 180, 180 + 90 * i, 205});
        button->Show(1);
        if (i) dialog->cancelButton = button;  // and the title bar's close box
    }
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    Pixels p = ReadBack(editor);
    mtxImage shot(400, 300);  // the editor's client area of the back buffer
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) shot.At(x, y) = p.At(x, y) | 0xFF000000;
    {
        mtxFileStream<65536> file;
        ASSERT_TRUE(file.Open("skins.png", mtxFile::kWrite | mtxFile::kCreate));
        ASSERT_EQ(mtxImageWritePng(shot, file), 1);
    }
    mtxImage back;
    ASSERT_EQ(mtxImageLoad(back, std::string("skins.png"), 0), 1);
    EXPECT_EQ(back.At(200, 150), shot.At(200, 150));
}

}  // namespace
