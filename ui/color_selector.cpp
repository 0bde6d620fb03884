#include "ui/color_selector.h"

#include <cstdio>

#include "ui/button.h"
#include "ui/edit.h"
#include "ui/image_editor.h"
#include "ui/label.h"
#include "ui/primitives.h"

namespace {

// A swatch: a button that shows its colour.
class Swatch : public mtxIEButton {
  public:
    Swatch(mtxIECtrl* parent, uint32_t value) : mtxIEButton(parent), fill(value) {}
    void Draw(int x, int y, const RECT& clip) override {
        mtxIEButton::Draw(x, y, clip);
        if (editor)
            mtxIEPrimitives::FillRect(editor->GetDevice(),
                                      {x + 3, y + 3, x + Width() - 3, y + Height() - 3}, fill);
    }
    uint32_t fill;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

const uint32_t mtxIEColorSelector::kPalette[kSwatches] = {
    0xFF000000, 0xFF808080, 0xFFC0C0C0, 0xFFFFFFFF, 0xFF800000, 0xFFFF0000, 0xFF808000, 0xFFFFFF00,
    0xFF008000, 0xFF00FF00, 0xFF008080, 0xFF00FFFF, 0xFF000080, 0xFF0000FF, 0xFF800080, 0xFFFF00FF};

mtxIEColorSelector::mtxIEColorSelector(mtxImageEditor* host, uint32_t initial,
                                       std::function<void(uint32_t)> onChosen,
                                       std::weak_ptr<const void> ownerLife)
    : mtxIEDlgOkCancel(host),
      color(initial),
      onChosen_(std::move(onChosen)),
      ownerLife_(std::move(ownerLife)),
      hasOwner_(!ownerLife_.expired()) {
    title = "Colour";
    SetClientSize(220, 150);
    int left = kBorder + 8, top = kTitleBarHeight + 8;
    for (int i = 0; i < kSwatches; ++i) {
        auto* swatch = new Swatch(this, kPalette[i]);
        int x = left + (i % 8) * 25, y = top + (i / 8) * 25;
        swatch->rect = {x, y, x + 22, y + 22};
        swatch->SetAction(this, kSwatch + uint32_t(i), 1);
        swatch->Show(1);
    }
    auto* label = new mtxIELabel(this);
    label->SetText("Hex:");
    label->MoveTo(left, top + 56);
    hexField = new mtxIEEdit(this);
    hexField->maxLength = 8;
    hexField->rect = {left + 40, top + 54, left + 120, top + 54 + hexField->Height()};
    hexField->SetAction(this, kHexTyped, 1);
    hexField->Show(1);
    preview = {left + 130, top + 52, left + 200, top + 74};
    CreateButtons();
    SetColor(initial);
    hexField->SetFocus();
    Center();
}

int mtxIEColorSelector::ParseHex(const std::string& text, uint32_t& out) {
    std::string digits = text;
    if (!digits.empty() && digits[0] == '#') digits.erase(0, 1);
    if (digits.size() != 6 && digits.size() != 8) return 0;
    uint32_t value = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return 0;
        value = value << 4 | uint32_t(d);
    }
    out = digits.size() == 6 ? 0xFF000000 | value : value;
    return 1;
}

std::string mtxIEColorSelector::HexText(uint32_t value) {
    char text[12];
    if ((value >> 24) == 0xFF)
        std::snprintf(text, sizeof text, "%06X", value & 0xFFFFFF);
    else
        std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

void mtxIEColorSelector::SetColor(uint32_t value) {
    color = value;
    hexField->SetText(HexText(value));
    InvalidateRect(preview);
}

int mtxIEColorSelector::OnAction(uint32_t code, uint16_t value) {
    if (code >= kSwatch && code < kSwatch + kSwatches) {
        SetColor(kPalette[code - kSwatch]);
        return 1;
    }
    if (code == kHexTyped) {
        uint32_t typed;
        if (ParseHex(hexField->Text(), typed)) {
            color = typed;
            InvalidateRect(preview);
        }
        return 1;
    }
    if (code == kOk) {
        // A half-typed value does not count: the last whole one does.
        bool ownerGone = hasOwner_ && ownerLife_.expired();
        if (onChosen_ && !ownerGone) onChosen_(color);
    }
    return mtxIEDlgOkCancel::OnAction(code, value);
}

void mtxIEColorSelector::Draw(int x, int y, const RECT& clip) {
    mtxIEDlgOkCancel::Draw(x, y, clip);
    if (!editor || !profile) return;
    IDirect3DDevice9* device = editor->GetDevice();
    RECT r = mtxOffset(preview, x, y);
    mtxIEPrimitives::FillRect(device, r, color);
    mtxIEPrimitives::FrameRect(device, r, profile->frameColor);
}
