#include "app/document/add_layer_dlg.h"

#include <memory>

#include "app/document/designer_viewer.h"
#include "image/image_stack.h"
#include "render/image_dx.h"
#include "ui/button.h"
#include "ui/check_box.h"
#include "ui/color_selector.h"
#include "ui/frame.h"
#include "ui/image_editor.h"
#include "ui/label.h"
#include "ui/primitives.h"
#include "ui/spin.h"
#include "ui/strings.h"

namespace {

// A layer of width x height filled with color, on the editor's device; null
// when it cannot be made.
std::unique_ptr<mtxImage> PlainLayer(mtxImageEditor* editor, int width, int height,
                                     uint32_t color) {
    auto image = std::make_unique<mtxImageDx>(editor ? editor->GetDevice() : nullptr);
    if (!image->Create(width, height, 0)) return nullptr;
    mtxFieldLock<mtxImage> lock(*image);
    if (!lock) return nullptr;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image->Row(y));
        for (int x = 0; x < width; ++x) row[x] = color;
    }
    return image;
}

}  // namespace

mtxIEDesigner::DlgAddLayer::DlgAddLayer(mtxImageEditor* host, mtxIEDesigner* owner)
    : mtxIEDlgOkCancel(host), designer(owner) {
    SetTitle(mtxIELoadString(200, "Add") + " " + mtxIELoadString(9, "Layer"));
    rect = {0, 0, kWidth, kHeight};
    RECT client = GetClientRect();
    auto* frame = new mtxIEFrame(this);
    frame->SetTitle(mtxIELoadString(206, "Options"));
    frame->SetRect({client.left + 5, client.top + 5, client.right - 5, client.bottom - 40});
    frame->Show(1);
    mtxImageStack* picture = designer ? designer->Picture() : nullptr;
    RECT inner = frame->GetClientRect();
    int line = inner.top + 6;
    auto row = [&](const std::string& label, int value) {
        auto* text = new mtxIELabel(frame);
        text->SetText(label);
        text->SetRect({inner.left + 8, line + 3, inner.left + 70, line + 21});
        text->Show(1);
        auto* spin = new mtxIESpin(frame);
        spin->SetRect({inner.left + 80, line, inner.right - 10, line + 22});
        spin->SetRange(0, 10000);
        spin->SetValue(value);
        spin->Show(1);
        line += 30;
        return spin;
    };
    widthSpin = row(mtxIELoadString(207, "Width"), picture ? picture->width : 0);
    heightSpin = row(mtxIELoadString(208, "Height"), picture ? picture->height : 0);
    auto* colorLabel = new mtxIELabel(frame);
    colorLabel->SetText(mtxIELoadString(11, "Color"));
    colorLabel->SetRect({inner.left + 8, line + 3, inner.left + 70, line + 21});
    colorLabel->Show(1);
    colorButton = new mtxIEButton(frame);
    colorButton->SetRect({inner.left + 80, line, inner.left + 140, line + 22});
    colorButton->SetAction(this, kChooseColor, 0);
    colorButton->Show(1);
    line += 30;
    // A layer over the picture hides nothing until something is drawn on it.
    transparent = new mtxIECheckBox(frame);
    transparent->SetCaption("Transparent");
    transparent->SetRect({inner.left + 80, line, inner.right - 10, line + 22});
    transparent->SetChecked(1);
    transparent->SetAction(this, kTransparent, 0);
    transparent->Show(1);
    CreateButtons();
    Center();
}

int mtxIEDesigner::DlgAddLayer::OnAction(uint32_t action, uint16_t value) {
    if (action == kChooseColor) {
        new mtxIEColorSelector(
            editor, color,
            [this](uint32_t chosen) {
                color = chosen;
                transparent->SetChecked(0);
                Invalidate();
            },
            LifeToken());
        return 1;
    }
    if (action == kTransparent) {
        Invalidate();  // the swatch goes or comes back
        return 1;
    }
    if (action == kOk && designer) {
        int width = widthSpin->Value(), height = heightSpin->Value();
        if (designer->Picture() && width > 0 && height > 0)
            designer->AppendLayer(
                PlainLayer(editor, width, height, transparent->IsChecked() ? 0x00000000u : color));
    }
    return mtxIEDlgOkCancel::OnAction(action, value);
}

void mtxIEDesigner::DlgAddLayer::Draw(int x, int y, const RECT& clip) {
    mtxIEDlgOkCancel::Draw(x, y, clip);
    // The chosen colour inside its button; none while the layer is transparent.
    if (transparent->IsChecked()) return;
    RECT swatch = colorButton->EditorRect();
    swatch = {swatch.left + 5, swatch.top + 5, swatch.right - 5, swatch.bottom - 5};
    mtxIEPrimitives::FillRect(editor->GetDevice(), swatch, color);
}
