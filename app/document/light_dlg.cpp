#include "app/document/light_dlg.h"

#include "ui/frame.h"
#include "ui/label.h"
#include "ui/slider.h"
#include "ui/strings.h"

mtxIEDesigner::DlgLight::DlgLight(mtxImageEditor* host, mtxIEDesigner* owner)
    : mtxIEDlgOkCancel(host), designer(owner), found(owner->Light()) {
    SetTitle("Light");
    rect = {0, 0, kWidth, kHeight};
    RECT client = GetClientRect();
    auto* frame = new mtxIEFrame(this);
    frame->SetTitle(mtxIELoadString(206, "Options"));
    frame->SetRect({client.left + 5, client.top + 5, client.right - 5, client.bottom - 40});
    frame->Show(1);
    RECT inner = frame->GetClientRect();
    int line = inner.top + 6;
    auto row = [&](const std::string& label, uint32_t code, int maximum, int value) {
        auto* text = new mtxIELabel(frame);
        text->SetText(label);
        text->SetRect({inner.left + 8, line + 3, inner.left + 70, line + 21});
        text->Show(1);
        auto* slider = new mtxIESlider(frame);
        slider->SetRect({inner.left + 80, line, inner.right - 10, line + 22});
        slider->SetRange(0, maximum);
        slider->SetValue(value);
        slider->SetAction(this, code, 0);
        slider->Show(1);
        line += 30;
        return slider;
    };
    angle = row(mtxIELoadString(236, "Angle"), kAngle, 359, found.angle);
    strength = row("Strength", kStrength, 100, found.strength);
    CreateButtons();
    Center();
}

int mtxIEDesigner::DlgLight::OnAction(uint32_t action, uint16_t value) {
    if (action == kAngle || action == kStrength) {
        mtxReliefLight light = designer->Light();
        (action == kAngle ? light.angle : light.strength) = value;
        designer->document_.PutLight(light);
        designer->ShowLight();
        return 1;
    }
    if (action == kOk || action == kCancel) {
        mtxReliefLight chosen = designer->Light();
        designer->document_.PutLight(found);
        // Kept as one change from the light the dialog found; put back as it was.
        if (action == kCancel || !designer->SetLight(chosen)) designer->ShowLight();
    }
    return mtxIEDlgOkCancel::OnAction(action, value);
}
