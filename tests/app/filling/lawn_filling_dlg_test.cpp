// The filling options dialog: controls built from the options, the coupled
// size spins, the background choice, Cancel and OK.
#include "app/filling/lawn_filling_dlg.h"

#include <gtest/gtest.h>

#include <memory>

#include "fill/message_sink.h"
#include "fill/sample_collection.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/button.h"
#include "ui/check_box.h"
#include "ui/color_select.h"
#include "ui/color_selector.h"
#include "ui/combo_box.h"
#include "ui/edit.h"
#include "ui/label.h"
#include "ui/radio_button.h"
#include "ui/spin.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

struct Quiet : mtxMessageSink {
    void Message(const std::string&) override {}
};

// The options as one comparable record.
struct Options {
    int32_t sizeMin, sizeMax, overlap;
    uint32_t rotate, mirror, flip, chooseMode, colorMode;
    int32_t background;
    uint32_t backgroundColor;
    bool operator==(const Options&) const = default;
};
Options Of(const SampleCollection& s) {
    return {s.sizeMin, s.sizeMax,    s.overlap,   s.rotate,     s.mirror,
            s.flip,    s.chooseMode, s.colorMode, s.background, s.backgroundColor};
}
void Set(SampleCollection& s, const Options& o) {
    s.sizeMin = o.sizeMin, s.sizeMax = o.sizeMax, s.overlap = o.overlap;
    s.rotate = o.rotate, s.mirror = o.mirror, s.flip = o.flip;
    s.chooseMode = o.chooseMode, s.colorMode = o.colorMode;
    s.background = o.background, s.backgroundColor = o.backgroundColor;
}
std::ostream& operator<<(std::ostream& out, const Options& o) {
    return out << o.sizeMin << "," << o.sizeMax << "," << o.overlap << "," << o.rotate << ","
               << o.mirror << "," << o.flip << "," << o.chooseMode << "," << o.colorMode << ","
               << o.background << "," << std::hex << o.backgroundColor << std::dec;
}

POINT Centre(const mtxIECtrl* c) {
    RECT r = c->EditorRect();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}
void ClickOn(mtxImageEditor& editor, const mtxIECtrl* c) {
    POINT p = Centre(c);
    Click(editor, p.x, p.y);
}

struct FillingDlgTest : ::testing::Test {
    FillingDlgTest() : editor(640, 480) {
        testing_support::SharedApp();
        samples.Bind(editor, &quiet);
    }
    ~FillingDlgTest() override {
        while (editor.TopModal()) static_cast<mtxIEDialog*>(editor.TopModal())->Close();
        PumpPosted();
        editor.DeleteDeferred();
    }
    mtxIELawnFillingDlg* Open(mtxIEActionProcessor* controller) {
        auto* dialog = new mtxIELawnFillingDlg(&editor, samples, controller);
        EXPECT_EQ(editor.TopModal(), dialog);
        return dialog;
    }
    // Changes every control away from the options of Set(kFirst).
    void EditEverything(mtxIELawnFillingDlg& d) {
        ClickOn(editor, d.rotateBox);
        ClickOn(editor, d.mirrorBox);
        ClickOn(editor, d.flipBox);
        d.maxSpin->SetValue(300, true);
        d.minSpin->SetValue(20, true);
        d.overlapSpin->SetValue(9, true);
        ClickOn(editor, d.chooseGroup->buttons[1]);
        ClickOn(editor, d.colorGroup->buttons[0]);
        d.backgroundList->SetFocus();
        Key(editor, VK_DOWN);  // "Existing" to "Color"
        d.colorSelect->SetColor(0xFF102030);
    }

    static constexpr Options kFirst = {5, 100, 4, 1, 1, 1, 0, 0, 1, 0xFFFFFFFF};
    static constexpr Options kEdited = {20, 300, 9, 0, 0, 0, 256, 4096, 0, 0xFF102030};

    Editor editor;
    Quiet quiet;
    SampleCollection samples;
};

TEST_F(FillingDlgTest, ControlsShowTheOptions) {
    Set(samples, {7, 90, 12, 1, 0, 1, 256, 4096, 0, 0xFF00FF00});
    auto* d = Open(nullptr);
    EXPECT_TRUE(d->rotateBox->IsChecked());
    EXPECT_FALSE(d->mirrorBox->IsChecked());
    EXPECT_TRUE(d->flipBox->IsChecked());
    EXPECT_EQ(d->minSpin->Value(), 7);
    EXPECT_EQ(d->maxSpin->Value(), 90);
    EXPECT_EQ(d->overlapSpin->Value(), 12);
    EXPECT_EQ(d->chooseGroup->Selected(), 2);  // Random
    EXPECT_EQ(d->colorGroup->Selected(), 1);   // Existing colours
    ASSERT_GE(d->backgroundList->Selection(), 0);
    EXPECT_EQ(d->backgroundList->list->items[size_t(d->backgroundList->Selection())].data, 0u);
    EXPECT_EQ(d->backgroundList->Count(), 2);
    EXPECT_TRUE(d->colorSelect->IsShown());
    EXPECT_EQ(d->colorSelect->Color(), 0xFF00FF00u);
    EXPECT_EQ(d->title, "Fill Options");
    // Under each choice, what it does; a click changes both.
    EXPECT_EQ(d->chooseHint->text, "any sample, by chance");
    EXPECT_EQ(d->colorHint->text, "the samples' own colours");
    ClickOn(editor, d->chooseGroup->buttons[0]);
    EXPECT_EQ(d->chooseHint->text, "the sample nearest in colour");
    ClickOn(editor, d->modeGroup->buttons[1]);
    EXPECT_EQ(d->modeHint->text, "region by region");
    for (mtxIELabel* hint : {d->chooseHint, d->colorHint, d->modeHint})
        EXPECT_LE(hint->rect.right, hint->parent->Width() - 4) << hint->text;
}

TEST_F(FillingDlgTest, EachSizeSpinBoundsTheOther) {
    Set(samples, kFirst);
    auto* d = Open(nullptr);
    EXPECT_EQ(d->minSpin->minimum, 1);
    EXPECT_EQ(d->minSpin->maximum, 100);
    EXPECT_EQ(d->maxSpin->minimum, 5);
    EXPECT_EQ(d->maxSpin->maximum, 1024);
    EXPECT_EQ(d->overlapSpin->minimum, 0);
    EXPECT_EQ(d->overlapSpin->maximum, 256);
    // The minimum cannot pass the maximum, nor the maximum the minimum.
    d->minSpin->SetValue(500, true);
    EXPECT_EQ(d->minSpin->Value(), 100);
    EXPECT_EQ(d->maxSpin->minimum, 100);
    d->maxSpin->SetValue(3, true);
    EXPECT_EQ(d->maxSpin->Value(), 100);
    d->maxSpin->SetValue(400, true);
    EXPECT_EQ(d->minSpin->maximum, 400);
    d->minSpin->SetValue(250, true);
    EXPECT_EQ(d->maxSpin->minimum, 250);
    // By keyboard too: Up in the minimum's field steps it and moves the bound.
    d->minSpin->edit->SetFocus();
    Key(editor, VK_UP);
    EXPECT_EQ(d->minSpin->Value(), 251);
    EXPECT_EQ(d->maxSpin->minimum, 251);
    for (int i = 0; i < 400; ++i) d->maxSpin->SetValue(d->maxSpin->Value() - 1, true);
    EXPECT_EQ(d->maxSpin->Value(), 251);
    EXPECT_EQ(d->minSpin->maximum, 251);
    EXPECT_LE(d->minSpin->Value(), d->maxSpin->Value());
}

TEST_F(FillingDlgTest, TheColourSelectorFollowsTheBackgroundChoice) {
    Set(samples, kFirst);  // background 1: the layer's content
    auto* d = Open(nullptr);
    EXPECT_FALSE(d->colorSelect->IsShown());
    d->backgroundList->SetFocus();
    Key(editor, VK_DOWN);
    EXPECT_EQ(d->background, 0);
    EXPECT_TRUE(d->colorSelect->IsShown());
    Key(editor, VK_UP);
    EXPECT_EQ(d->background, 1);
    EXPECT_FALSE(d->colorSelect->IsShown());

    // Pressing the selector opens the colour dialog; its OK sets the colour.
    Key(editor, VK_DOWN);
    ClickOn(editor, d->colorSelect);
    auto* chooser = dynamic_cast<mtxIEColorSelector*>(editor.TopModal());
    ASSERT_NE(chooser, nullptr);
    chooser->SetColor(0xFF123456);
    ClickOn(editor, chooser->okButton);
    PumpPosted();
    editor.DeleteDeferred();
    EXPECT_EQ(editor.TopModal(), d);
    EXPECT_EQ(d->colorSelect->Color(), 0xFF123456u);
    ClickOn(editor, d->okButton);
    PumpPosted();
    EXPECT_EQ(samples.background, 0);
    EXPECT_EQ(samples.backgroundColor, 0xFF123456u);
}

TEST_F(FillingDlgTest, CancelChangesNothing) {
    Set(samples, kFirst);
    ActionLog controller;
    for (bool byKey : {false, true}) {
        auto* d = Open(&controller);
        EditEverything(*d);
        if (byKey) {
            d->rotateBox->SetFocus();
            Key(editor, VK_ESCAPE);
        } else {
            ClickOn(editor, d->cancel);
        }
        PumpPosted();
        editor.DeleteDeferred();
        EXPECT_EQ(editor.TopModal(), nullptr);
        EXPECT_EQ(Of(samples), kFirst);
        EXPECT_TRUE(controller.got.empty());
    }
}

TEST_F(FillingDlgTest, OkWritesEveryOptionAndTellsTheControllerOnce) {
    Set(samples, kFirst);
    samples.changed = 0;
    ActionLog controller;
    auto* d = Open(&controller);
    EditEverything(*d);
    // Two presses before the first is handled: one Apply, one notice.
    ClickOn(editor, d->okButton);
    ClickOn(editor, d->okButton);
    PumpPosted();
    editor.DeleteDeferred();
    EXPECT_EQ(editor.TopModal(), nullptr);
    EXPECT_EQ(Of(samples), kEdited);
    ASSERT_EQ(controller.got.size(), 1u);
    EXPECT_EQ(controller.got[0], std::make_pair(7u, uint16_t(0)));
    EXPECT_EQ(samples.changed, 0u);  // options are not sample changes
}

TEST_F(FillingDlgTest, WithoutAControllerOkStillWrites) {
    Set(samples, kFirst);
    auto* d = Open(nullptr);
    EditEverything(*d);
    ClickOn(editor, d->okButton);
    PumpPosted();
    EXPECT_EQ(Of(samples), kEdited);

    // A controller that went while the dialog was open is not told.
    Set(samples, kFirst);
    auto controller = std::make_unique<ActionLog>();
    d = Open(controller.get());
    controller.reset();
    EditEverything(*d);
    ClickOn(editor, d->okButton);
    PumpPosted();
    EXPECT_EQ(Of(samples), kEdited);
}

TEST_F(FillingDlgTest, AStoredPictureCopyBackgroundSurvivesOk) {
    Options stored = kFirst;
    stored.background = 2;
    stored.backgroundColor = 0xFF445566;
    Set(samples, stored);
    ActionLog controller;
    auto* d = Open(&controller);
    ASSERT_EQ(d->backgroundList->Count(), 3);
    ASSERT_GE(d->backgroundList->Selection(), 0);
    EXPECT_EQ(d->backgroundList->list->items[size_t(d->backgroundList->Selection())].data, 2u);
    EXPECT_EQ(d->backgroundList->ItemText(d->backgroundList->Selection()), "Existing");
    EXPECT_FALSE(d->colorSelect->IsShown());
    ClickOn(editor, d->okButton);
    PumpPosted();
    EXPECT_EQ(Of(samples), stored);
    EXPECT_EQ(controller.got.size(), 1u);

    // Chosen away and back, it is still the picture's copy.
    d = Open(nullptr);
    d->backgroundList->SetFocus();
    Key(editor, VK_HOME);
    EXPECT_EQ(d->background, 1);
    Key(editor, VK_END);
    EXPECT_EQ(d->background, 2);
    EXPECT_FALSE(d->colorSelect->IsShown());
    ClickOn(editor, d->okButton);
    PumpPosted();
    EXPECT_EQ(samples.background, 2);
}

// The speed list shows the collection's speed; OK writes the choice, Cancel
// leaves it.
TEST_F(FillingDlgTest, TheSpeedListShowsAndWritesTheSpeed) {
    samples.speed = SampleCollection::kSpeedFast;
    for (bool ok : {false, true}) {
        auto* d = Open(nullptr);
        ASSERT_NE(d->speedList, nullptr);
        ASSERT_EQ(d->speedList->Count(), 2);
        EXPECT_EQ(d->speedList->Selection(), 1);
        d->speedList->SetFocus();
        Key(editor, VK_UP);  // "Fast" to "Calm"
        EXPECT_EQ(d->speedList->Selection(), 0);
        ClickOn(editor, ok ? d->okButton : d->cancel);
        PumpPosted();
        editor.DeleteDeferred();
        EXPECT_EQ(editor.TopModal(), nullptr);
        EXPECT_EQ(samples.speed, ok ? SampleCollection::kSpeedCalm : SampleCollection::kSpeedFast);
    }
}

}  // namespace

TEST_F(FillingDlgTest, TheModeAndAutoSizesAreShownAndWritten) {
    samples.fillMode = SampleCollection::kModeClassic, samples.autoSize = 0;
    auto* d = Open(nullptr);
    EXPECT_EQ(d->modeGroup->Selected(), 2);  // Classic
    EXPECT_FALSE(d->autoBox->IsChecked());
    ClickOn(editor, d->modeGroup->buttons[0]);
    ClickOn(editor, d->autoBox);
    d->Apply();
    EXPECT_EQ(samples.fillMode, SampleCollection::kModeFine);
    EXPECT_EQ(samples.autoSize, 1u);
    d->Close();
    // Cancel keeps the stored choice.
    d = Open(nullptr);
    EXPECT_EQ(d->modeGroup->Selected(), 1);
    EXPECT_TRUE(d->autoBox->IsChecked());
    ClickOn(editor, d->modeGroup->buttons[1]);
    d->Close();
    EXPECT_EQ(samples.fillMode, SampleCollection::kModeFine);
}
