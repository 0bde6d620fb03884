// Covers mtxIEAboutDlg and mtxIEFlowerField: the field of flowers over the
// program's texts, moving only while the dialog is open.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/editor/about_dlg.h"
#include "app/editor/flower_field.h"
#include "image/file_stream.h"
#include "image/image.h"
#include "image/io/image_save.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/button.h"
#include "ui/label.h"
#include "ui/strings.h"

using namespace ui_test;

namespace {

int Channel(uint32_t c, int shift) {
    return int((c >> shift) & 0xFF);
}

struct AboutFixture : ::testing::Test {
    AboutFixture() : editor(640, 480) { testing_support::SharedApp(); }
    Pixels Frame() {
        editor.AddDirty(editor.clientRect);
        editor.Paint();
        return ReadBack(editor);
    }
    Editor editor;
};

TEST_F(AboutFixture, ShowsAFieldOfFlowersOverTheProgramsTexts) {
    auto* about = new mtxIEAboutDlg(&editor);
    std::vector<std::string> texts;
    for (mtxIECtrl* child : about->children)
        if (auto* label = dynamic_cast<mtxIELabel*>(child)) texts.push_back(label->text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Daubry", mtxIELoadString(315, "?"),
                                               mtxIELoadString(325, "?")}));
    for (const std::string& text : texts) EXPECT_NE(text, "?");
    EXPECT_TRUE(about->field->Running());

    RECT f = about->field->EditorRect();
    Pixels p = Frame();
    // A sky above, grass below, and flowers of several colours in the grass.
    uint32_t sky = p.At((f.left + f.right) / 2, f.top + 4);
    EXPECT_GT(Channel(sky, 0), Channel(sky, 16) + 40);
    int grass = 0, petals = 0;
    for (int y = f.top + (f.bottom - f.top) / 2; y < f.bottom; ++y)
        for (int x = f.left; x < f.right; ++x) {
            uint32_t c = p.At(x, y);
            int r = Channel(c, 16), g = Channel(c, 8), b = Channel(c, 0);
            grass += g > r + 20 && g > b + 20;
            petals += (r > g + 60) || (b > g + 40) || (r > 200 && g > 200 && b > 200);
        }
    EXPECT_GT(grass, 1000);
    EXPECT_GT(petals, 300);

    // The wind moves the flowers and the clouds' shadows drift.
    about->field->Step(0.8f);
    Pixels later = Frame();
    int moved = 0;
    for (int y = f.top; y < f.bottom; ++y)
        for (int x = f.left; x < f.right; ++x) moved += p.At(x, y) != later.At(x, y);
    EXPECT_GT(moved, 2000);
    // Outside the field nothing changes.
    EXPECT_EQ(p.At(f.left - 3, f.bottom + 5), later.At(f.left - 3, f.bottom + 5));

    if (const char* folder = std::getenv("DAUBRY_SCREENSHOTS")) {
        mtxImage shot(640, 480);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) shot.At(x, y) = later.At(x, y) | 0xFF000000;
        mtxFileStream<65536> file;
        if (file.Open(std::string(folder) + "/about.png", mtxFile::kWrite | mtxFile::kCreate))
            mtxImageWritePng(shot, file);
    }
}

TEST_F(AboutFixture, EnterEscapeAndOkCloseIt) {
    for (uint32_t key : {mtxOs::VK_RETURN, mtxOs::VK_ESCAPE, 0u}) {
        auto* about = new mtxIEAboutDlg(&editor);
        if (key) {
            Key(editor, key);
        } else {
            RECT ok = about->okButton->EditorRect();
            Click(editor, (ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2);
        }
        PumpPosted();
        EXPECT_EQ(editor.TopModal(), nullptr) << key;
        editor.DeleteDeferred();
    }
}

}  // namespace
