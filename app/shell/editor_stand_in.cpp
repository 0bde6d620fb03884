#include "app/shell/editor_stand_in.h"

#include "ui/frame_set.h"
#include "ui/primitives.h"
#include "ui/tool_bar.h"

namespace {

constexpr uint32_t kBackground = 0xFF3A3F44, kHintText = 0xFFC8CCD0;

// The empty document area with its hint.
class Hint : public mtxIECtrl {
  public:
    explicit Hint(mtxIECtrl* parent) : mtxIECtrl(parent) {
        textAlign = kAlignCenter;
        Show(1);
    }
    void Draw(int x, int y, const RECT& clip) override {
        mtxIEPrimitives::FillRect(editor->GetDevice(), {x, y, x + Width(), y + Height()},
                                  kBackground);
        DrawText(x, y, "Open a picture with File, Open", kHintText);
        mtxIECtrl::Draw(x, y, clip);
    }
};

}  // namespace

mtxEditorStandIn::Button::Button(mtxIECtrl* parent, const std::string& text,
                                 mtxIEActionProcessor* processor, uint32_t code)
    : mtxIEActiveCtrl(parent), label(text) {
    SetRect({0, 0, 64, 24});
    textAlign = kAlignCenter;
    SetAction(processor, code, 1);
    if (profile && profile->font) profile->font->Prepare(label);
    Show(1);
}

void mtxEditorStandIn::Button::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor->GetDevice();
    RECT r = {x, y, x + Width(), y + Height()};
    mtxIEPrimitives::FillRect(device, r, pressed ? 0xFFB8C8E0 : profile->faceColor);
    mtxIEPrimitives::FrameRect(device, r, pressed ? profile->selectionColor : profile->shadowColor);
    DrawText(x, y, label, profile->textColor);
    mtxIECtrl::Draw(x, y, clip);
}

int mtxEditorStandIn::Button::OnLButtonDown(int, int, uint32_t) {
    Notify(0);
    return 1;
}

void mtxEditorStandIn::CreateContent() {
    auto* frames = new mtxIEFrameSet(canvas.get());
    frames->Show(1);
    toolBar = new mtxIEToolBar(frames);
    toolBar->border = 1;
    toolBar->Show(1);
    const char* tools[] = {"Move", "Rotate", "Paint", "Light"};
    for (uint32_t i = 0; i < 4; ++i)
        toolBar->AddItem(new Button(toolBar, tools[i], this, i + 1), 0, 20);
    auto* hint = new Hint(frames);
    frames->SetPaneControl(0, toolBar);
    frames->SetPaneControl(1, hint);
    frames->SetPane(0, 34, 34, 0);
    frames->SetPane(1, 0, 0, 100);
    frames->SetDock(mtxIECtrl::kDockFill);
    toolBar->Select(1);
}

int mtxEditorStandIn::Process(uint32_t action, uint16_t) {
    if (action < 1 || action > 4 || !toolBar) return 0;
    toolBar->Select(action);
    return 1;
}
