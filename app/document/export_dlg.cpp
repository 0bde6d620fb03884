#include "app/document/export_dlg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "ui/frame.h"
#include "ui/label.h"
#include "ui/spin.h"

namespace {

constexpr int kRowHeight = 30;

}  // namespace

mtxIEExportDlg::mtxIEExportDlg(mtxImageEditor* host, int photoWidth, int photoHeight,
                               bool timelapse, bool whole)
    : mtxIEDlgOkCancel(host),
      photoWidth_(std::max(photoWidth, 1)),
      photoHeight_(std::max(photoHeight, 1)),
      timelapse_(timelapse),
      whole_(timelapse || whole) {
    SetTitle(Title(timelapse));
    int rows = timelapse ? 4 : 2;
    rect = {0, 0, kWidth, TitleBarHeight() + 60 + rows * kRowHeight + 40};
    RECT client = GetClientRect();
    auto* frame = new mtxIEFrame(this);
    frame->SetTitle("Size");
    frame->SetRect({client.left + 5, client.top + 5, client.right - 5, client.bottom - 40});
    frame->Show(1);
    RECT inner = frame->GetClientRect();
    int line = inner.top + 6;
    auto label = [&](const std::string& text, int right) {
        auto* l = new mtxIELabel(frame);
        l->SetText(text);
        l->SetRect({inner.left + 8, line + 3, right, line + 21});
        l->Show(1);
        return l;
    };
    auto row = [&](const std::string& text, int low, int high, int value) {
        label(text, inner.left + 120);
        auto* spin = new mtxIESpin(frame);
        spin->SetRect({inner.left + 125, line, inner.right - 10, line + 22});
        spin->SetRange(low, high);
        spin->SetValue(value);
        spin->Show(1);
        line += kRowHeight;
        return spin;
    };
    // A time-lapse is for sharing: at most 1280 wide at first. A print
    // is twice the photo's size, within what is drawn.
    int width = timelapse ? std::min(photoWidth_, 1280) : photoWidth_ * 2;
    while (width > 1 && TooLarge({width, HeightAt(width)}, nullptr)) width /= 2;
    if (timelapse) {
        framesSpin = row("Frames", 1, 10000, 100);
        fpsSpin = row("Frames a second", 1, 60, 10);
    }
    widthSpin = row("Width", 1, kMaxWidth, width);
    widthSpin->SetAction(this, kWidthChanged, 1);
    sizeLabel = label("", inner.right - 10);
    ShowSize();
    CreateButtons();
    Center();
}

int mtxIEExportDlg::HeightAt(int width) const {
    return std::max(1, int(std::lround(double(width) * photoHeight_ / photoWidth_)));
}

mtxIEExportDlg::Choice mtxIEExportDlg::Chosen() const {
    Choice choice;
    choice.width = widthSpin->Value();
    choice.height = HeightAt(choice.width);
    if (framesSpin) choice.frames = uint32_t(framesSpin->Value());
    if (fpsSpin) choice.fps = fpsSpin->Value();
    return choice;
}

bool mtxIEExportDlg::TooLarge(const Choice& choice, std::string* why) const {
    const uint64_t pixels = uint64_t(choice.width) * uint64_t(choice.height);
    if (!whole_) {
        if (why) *why = "4294 megapixels at most";
        return pixels > kMaxPixels;
    }
    const char* what = timelapse_ ? "frames" : "moved or lit";
    if (why)
        *why = std::string(what) + (choice.width > mtxLogPieceColumns ? ": 16380 wide at most"
                                                                      : ": 268 megapixels at most");
    return pixels > kMaxWholePixels || choice.width > mtxLogPieceColumns;
}

void mtxIEExportDlg::ShowSize() {
    Choice choice = Chosen();
    char text[96];
    std::string why;
    if (TooLarge(choice, &why))
        std::snprintf(text, sizeof text, "%d x %d: too large (%s)", choice.width, choice.height,
                      why.c_str());
    else
        std::snprintf(text, sizeof text, "%d x %d pixels, %.2f x the photo", choice.width,
                      choice.height, double(choice.width) / photoWidth_);
    sizeLabel->SetText(text);
    sizeLabel->Invalidate();
}

int mtxIEExportDlg::OnAction(uint32_t action, uint16_t value) {
    if (action == kWidthChanged) {
        ShowSize();
        return 1;
    }
    if (action == kOk) {
        Choice choice = Chosen();
        if (TooLarge(choice, nullptr)) {
            ShowSize();
            return 1;  // stays open
        }
        Close();
        if (onChosen) onChosen(choice);
        return 1;
    }
    return mtxIEDlgOkCancel::OnAction(action, value);
}
