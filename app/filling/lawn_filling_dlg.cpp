#include "app/filling/lawn_filling_dlg.h"

#include "fill/sample_collection.h"
#include "ui/check_box.h"
#include "ui/color_select.h"
#include "ui/combo_box.h"
#include "ui/frame.h"
#include "ui/image_editor.h"
#include "ui/label.h"
#include "ui/radio_button.h"
#include "ui/spin.h"
#include "ui/strings.h"

namespace {

constexpr int kGap = 10, kRow = 22;
constexpr int kClientWidth = 390, kClientHeight = 386;
// The frames of two choices: the radio buttons, and under them what the
// chosen one does.
constexpr int kChoiceHeight = 86;
constexpr uint32_t kHintColor = 0xFF505860;

// Background list values: a plain colour, the layer's content, the picture's copy.
constexpr int32_t kBackColor = 0, kBackLayer = 1, kBackPicture = 2;

mtxIEFrame* MakeFrame(mtxIECtrl* parent, uint32_t title, const char* fallback, const RECT& r) {
    auto* frame = new mtxIEFrame(parent);
    frame->SetTitle(mtxIELoadString(title, fallback));
    frame->rect = r;
    frame->Show(1);
    return frame;
}

mtxIELabel* MakeLabel(mtxIECtrl* parent, uint32_t text, const char* fallback, int x, int y) {
    auto* label = new mtxIELabel(parent);
    label->SetText(mtxIELoadString(text, fallback));
    label->MoveTo(x, y);
    label->Show(1);
    return label;
}

mtxIECheckBox* MakeCheck(mtxIECtrl* parent, uint32_t text, const char* fallback, int x, int y,
                         uint32_t on) {
    auto* box = new mtxIECheckBox(parent);
    box->rect = {x, y, x + 90, y + box->Height()};
    box->SetCaption(mtxIELoadString(text, fallback));
    box->SetChecked(on ? 1 : 0);
    box->tabStop = 1;
    box->Show(1);
    return box;
}

mtxIESpin* MakeSpin(mtxIECtrl* parent, int x, int y, int lo, int hi, int value) {
    auto* spin = new mtxIESpin(parent);
    spin->rect = {x, y, x + 70, y + spin->Height()};
    spin->LayoutChildren();
    spin->SetRange(lo, hi);
    spin->SetValue(value);
    return spin;
}

mtxIERadioGroup* MakeGroup(mtxIECtrl* parent, int x, int y, uint32_t first, const char* firstText,
                           uint32_t second, const char* secondText, bool firstChosen) {
    auto* group = new mtxIERadioGroup(parent);
    group->rect = {x, y, x + 150, y + 2 * kRow};
    group->AddButton(mtxIELoadString(first, firstText));
    group->AddButton(mtxIELoadString(second, secondText));
    group->Select(firstChosen ? 1 : 2);
    group->Show(1);
    return group;
}

// Under a group's buttons: what its choice does, kept current by the dialog.
mtxIELabel* MakeHint(mtxIECtrl* frame, mtxIERadioGroup* group, mtxIEActionProcessor* dialog) {
    group->SetAction(dialog, mtxIELawnFillingDlg::kChoiceChanged, 1);
    auto* hint = new mtxIELabel(frame);
    hint->MoveTo(10, 20 + 2 * kRow - 4);
    hint->color = kHintColor;
    hint->Show(1);
    return hint;
}

}  // namespace

mtxIELawnFillingDlg::mtxIELawnFillingDlg(mtxImageEditor* host, SampleCollection& samples,
                                         mtxIEActionProcessor* controller)
    : mtxIEDlgOkCancel(host),
      sizeMin(samples.sizeMin),
      sizeMax(samples.sizeMax),
      overlap(samples.overlap),
      rotate(samples.rotate),
      mirror(samples.mirror),
      flip(samples.flip),
      chooseMode(samples.chooseMode),
      colorMode(samples.colorMode),
      background(samples.background),
      backgroundColor(samples.backgroundColor),
      fillMode(samples.fillMode),
      autoSize(samples.autoSize),
      speed(samples.speed),
      samples_(samples),
      controller_(controller),
      controllerLife_(controller ? controller->LifeToken() : std::weak_ptr<const void>()) {
    title = mtxIELoadString(259, "Fill Options");
    SetClientSize(kClientWidth, kClientHeight);
    int left = kBorder + kGap, top = kTitleBarHeight + 6;
    BuildTransformation(left, top);
    BuildSize(left + 130, top);
    BuildChoice(left, top + 100);
    BuildBackground(left, top + 193);
    BuildMode(left, top + 257);
    BuildSpeed(left + 190, top + 257);
    ShowHints();
    CreateButtons();
    Center();
    if (rotateBox) rotateBox->SetFocus();
    Invalidate();
}

void mtxIELawnFillingDlg::BuildTransformation(int x, int y) {
    mtxIEFrame* frame = MakeFrame(this, 306, "Transformation", {x, y, x + 120, y + 92});
    int left = 8, row = 20;
    rotateBox = MakeCheck(frame, 235, "Rotate", left, row, rotate);
    mirrorBox = MakeCheck(frame, 238, "Mirror", left, row + kRow, mirror);
    flipBox = MakeCheck(frame, 232, "Flip", left, row + 2 * kRow, flip);
}

void mtxIELawnFillingDlg::BuildSize(int x, int y) {
    mtxIEFrame* frame = MakeFrame(this, 307, "Sample Size", {x, y, x + 240, y + 92});
    int row = 20, next = 20 + kRow + 6;
    MakeLabel(frame, 308, "Min", 8, row + 2);
    MakeLabel(frame, 314, "Overlap", 8, next + 2);
    minSpin = MakeSpin(frame, 62, row, 1, sizeMax, sizeMin);
    minSpin->SetAction(this, kMinChanged, 1);
    maxSpin = MakeSpin(frame, 162, row, sizeMin, kSizeLimit, sizeMax);
    maxSpin->SetAction(this, kMaxChanged, 1);
    MakeLabel(frame, 309, "Max", 136, row + 2);
    overlapSpin = MakeSpin(frame, 62, next, 0, kOverlapLimit, overlap);
    autoBox = MakeCheck(frame, 343, "Auto", 136, next + 2, autoSize);
}

void mtxIELawnFillingDlg::BuildMode(int x, int y) {
    mtxIEFrame* frame = MakeFrame(this, 340, "Filling", {x, y, x + 180, y + kChoiceHeight});
    modeGroup = MakeGroup(frame, 8, 20, 341, "Fine", 342, "Classic",
                          fillMode == SampleCollection::kModeFine);
    modeHint = MakeHint(frame, modeGroup, this);
}

void mtxIELawnFillingDlg::BuildChoice(int x, int y) {
    mtxIEFrame* choose = MakeFrame(this, 310, "Sample Choose", {x, y, x + 180, y + kChoiceHeight});
    chooseGroup = MakeGroup(choose, 8, 20, 311, "Color Match", 312, "Random",
                            chooseMode == SampleCollection::kChooseColorMatch);
    chooseHint = MakeHint(choose, chooseGroup, this);
    mtxIEFrame* color =
        MakeFrame(this, 327, "Sample Color", {x + 190, y, x + 370, y + kChoiceHeight});
    colorGroup = MakeGroup(color, 8, 20, 313, "Existing", 217, "Pattern",
                           colorMode == SampleCollection::kColorKeep);
    colorHint = MakeHint(color, colorGroup, this);
}

void mtxIELawnFillingDlg::ShowHints() {
    auto show = [](mtxIELabel* hint, mtxIERadioGroup* group, const char* first,
                   const char* second) {
        hint->SetText(group->Selected() == 1 ? first : second);
        hint->Invalidate();
    };
    show(chooseHint, chooseGroup, "the sample nearest in colour", "any sample, by chance");
    show(colorHint, colorGroup, "the samples' own colours", "the photo's colours");
    show(modeHint, modeGroup, "large to small, covers all", "region by region");
}

void mtxIELawnFillingDlg::BuildBackground(int x, int y) {
    mtxIEFrame* frame = MakeFrame(this, 320, "Background", {x, y, x + 370, y + 56});
    backgroundList = new mtxIEComboBox(frame);
    backgroundList->rect = {8, 22, 168, 22 + backgroundList->Height()};
    std::string existing = mtxIELoadString(313, "Existing");
    backgroundList->AddItem(existing, kBackLayer);
    backgroundList->AddItem(mtxIELoadString(11, "Color"), kBackColor);
    // The picture's copy has no item of its own in the list; a stored one is
    // offered as it stands, so that OK does not turn it into something else.
    if (background == kBackPicture) backgroundList->AddItem(existing, kBackPicture);
    for (int i = 0; i < backgroundList->Count(); ++i)
        if (backgroundList->list->items[size_t(i)].data == uintptr_t(background))
            backgroundList->Select(i);
    backgroundList->SetAction(this, kBackgroundChanged, 1);
    backgroundList->Show(1);
    colorSelect = new mtxIEColorSelect(frame);
    colorSelect->rect = {180, 20, 240, 20 + backgroundList->Height() + 4};
    colorSelect->SetColor(backgroundColor);
    colorSelect->onChanged = [this](uint32_t chosen) { backgroundColor = chosen; };
    ShowColorFor(background);
}

void mtxIELawnFillingDlg::BuildSpeed(int x, int y) {
    mtxIEFrame* frame = MakeFrame(this, 762, "Speed", {x, y, x + 180, y + kChoiceHeight});
    speedList = new mtxIEComboBox(frame);
    speedList->rect = {8, 22, 168, 22 + speedList->Height()};
    speedList->AddItem(mtxIELoadString(760, "Calm"), SampleCollection::kSpeedCalm);
    speedList->AddItem(mtxIELoadString(761, "Fast"), SampleCollection::kSpeedFast);
    speedList->Select(speed == SampleCollection::kSpeedCalm ? 0 : 1);
    speedList->Show(1);
}

void mtxIELawnFillingDlg::ShowColorFor(int32_t value) {
    if (colorSelect) colorSelect->Show(value == kBackColor ? 1 : 0);
}

int mtxIELawnFillingDlg::OnAction(uint32_t action, uint16_t value) {
    switch (action) {
        case kOk:
            Apply();
            break;
        case kChoiceChanged:
            ShowHints();
            return 1;
        case kMinChanged:
            maxSpin->SetRange(minSpin->Value(), kSizeLimit);
            return 1;
        case kMaxChanged:
            minSpin->SetRange(1, maxSpin->Value());
            return 1;
        case kBackgroundChanged: {
            int index = int(value);
            if (index < 0 || index >= backgroundList->Count()) return 1;
            background = int32_t(backgroundList->list->items[size_t(index)].data);
            ShowColorFor(background);
            return 1;
        }
        default:
            break;
    }
    return mtxIEDlgOkCancel::OnAction(action, value);
}

void mtxIELawnFillingDlg::Apply() {
    rotate = rotateBox->IsChecked() ? 1 : 0;
    flip = flipBox->IsChecked() ? 1 : 0;
    mirror = mirrorBox->IsChecked() ? 1 : 0;
    sizeMin = minSpin->Value();
    sizeMax = maxSpin->Value();
    overlap = overlapSpin->Value();
    chooseMode = chooseGroup->Selected() == 1 ? SampleCollection::kChooseColorMatch
                                              : SampleCollection::kChooseRandom;
    colorMode = colorGroup->Selected() == 1 ? SampleCollection::kColorKeep
                                            : SampleCollection::kColorRecolor;
    backgroundColor = colorSelect->Color();
    fillMode =
        modeGroup->Selected() == 1 ? SampleCollection::kModeFine : SampleCollection::kModeClassic;
    autoSize = autoBox->IsChecked() ? 1 : 0;
    speed =
        speedList->Selection() == 0 ? SampleCollection::kSpeedCalm : SampleCollection::kSpeedFast;

    samples_.rotate = rotate;
    samples_.flip = flip;
    samples_.mirror = mirror;
    samples_.sizeMin = sizeMin;
    samples_.sizeMax = sizeMax;
    samples_.overlap = overlap;
    samples_.chooseMode = chooseMode;
    samples_.colorMode = colorMode;
    samples_.background = background;
    samples_.backgroundColor = backgroundColor;
    samples_.fillMode = fillMode;
    samples_.autoSize = autoSize;
    samples_.speed = speed;
    if (controller_ && !controllerLife_.expired() && editor)
        editor->PostCommand(controller_, kOptionsChanged, 0);
}
