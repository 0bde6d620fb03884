#include "app/editor/image_editor_vd.h"

#include "app/document/designer.h"
#include "app/document/designer_viewer.h"
#include "app/editor/tool_button.h"
#include "base/registry.h"
#include "base/share_folder.h"
#include "platform/window_messages.h"
#include "ui/frame_set.h"

namespace {

constexpr int kMainBarHeight = 34;
constexpr int kInstrumentBarWidth = 84;

constexpr uint32_t ToolCode(mtxIEDesigner::Tool tool) {
    return uint32_t(mtxIEDesigner::kFirstTool) + uint32_t(tool);
}

// A button of a bar: its label, its code, and whether it is offered. The
// buttons of tools that do not exist yet keep their codes, hidden, until
// the tools give them a meaning: a button that does nothing must not cost
// the user the filling tool's run.
struct BarEntry {
    const char* label;
    uint32_t code;
    bool offered;
    int icon = -1;  // of the tool-bar picture, for a tool that exists
};

}  // namespace

mtxImageEditorVD::MainToolBar::MainToolBar(mtxIECtrl* parent, mtxImageEditorVD* owner)
    : mtxIEToolBar(parent) {
    border = 1;
    // Move, Rotate and the brush are the instrument bar's: a bar offers
    // nothing another one has.
    const BarEntry entries[] = {{"Light", kLight, true}};
    for (const BarEntry& e : entries) {
        if (!e.offered) continue;
        auto* button = new mtxIEToolButton(this, e.label, owner, e.code);
        button->icon = e.icon;
        AddItem(button, 0, 20);
    }
}

mtxImageEditorVD::InstrumentBar::InstrumentBar(mtxIECtrl* parent, mtxImageEditorVD* editorVD)
    : mtxIEToolBar(parent), owner(editorVD) {
    border = 1;
    layout = kColumns;
    const BarEntry entries[] = {
        {"Undo", mtxIEDesigner::kUndo, true},
        {"Redo", mtxIEDesigner::kRedo, true},
        {"Move", ToolCode(mtxIEDesigner::kToolMove), true, mtxIEProfile::kIconMove},
        {"Rotate", ToolCode(mtxIEDesigner::kToolRotate), true},
        {"Brush", ToolCode(mtxIEDesigner::kToolBrush), true},
        {"Stamp", ToolCode(mtxIEDesigner::kToolStamps), true, mtxIEProfile::kIconFlower},
        {"Eraser", ToolCode(mtxIEDesigner::kToolEraser), true, mtxIEProfile::kIconEraser},
        {"Light", ToolCode(mtxIEDesigner::kToolLight), false},
        {"Draw", ToolCode(mtxIEDesigner::kToolDraw), false},
        {"Fill", ToolCode(mtxIEDesigner::kToolFilling), true, mtxIEProfile::kIconFill},
        {"Add Layer", mtxIEDesigner::kAddLayer, true},
        {"From File", mtxIEDesigner::kAddLayerFromFile, true},
        {"Reset", mtxIEDesigner::kResetBackground, true}};
    for (const BarEntry& e : entries) {
        if (!e.offered) continue;
        auto* button = new mtxIEToolButton(this, e.label, this, e.code, 72);
        button->icon = e.icon;
        AddItem(button, 0, 6);
    }
}

int mtxImageEditorVD::InstrumentBar::Process(uint32_t action, uint16_t value) {
    mtxIEDesigner* designer = owner->GetDesigner();
    if (!designer) return 0;
    int handled = designer->Process(action, value);
    if (action >= mtxIEDesigner::kFirstTool && action <= mtxIEDesigner::kLastTool) {
        // Only a tool that exists shows as chosen.
        int chosen = designer->ChosenTool();
        Select(chosen >= 0 ? ToolCode(mtxIEDesigner::Tool(chosen)) : 0);
        return 1;
    }
    return handled;
}

mtxImageEditorVD::mtxImageEditorVD() = default;

mtxImageEditorVD::~mtxImageEditorVD() {
    TearDown();
}

mtxOs::LRESULT mtxImageEditorVD::OnDestroy(mtxOs::WPARAM wParam, mtxOs::LPARAM lParam) {
    TearDown();
    return mtxImageEditor::OnDestroy(wParam, lParam);
}

void mtxImageEditorVD::TearDown() {
    DestroyTask(CurrentTask());
    DeleteDeferred();
    while (!modal.empty()) delete modal.back();
    while (!controls.empty()) delete controls.back();
    if (canvas && outerFrames) canvas->RemoveChild(outerFrames);
    outerFrames = innerFrames = nullptr;
    mainToolBar = nullptr, instrumentBar = nullptr, designer = nullptr;
    DeleteDeferred();
    if (sampleSettings_) samples.SavePaths(*sampleSettings_);
    sampleSettings_ = nullptr;
    samples.ClearSamples();
}

void mtxImageEditorVD::RestoreSamples(mtxRegistry& settings) {
    sampleSettings_ = &settings;
    samples.ClearSamples();
    // A collection the user emptied stays empty.
    if (samples.LoadPaths(settings) == 0 || samples.count > 0) return;
    std::string flowers = mtxDefaultCollection();
    if (!flowers.empty()) samples.LoadCollection(flowers);
}

void mtxImageEditorVD::CreateContent() {
    samples.Bind(*this);
    outerFrames = new mtxIEFrameSet(canvas.get());
    outerFrames->orientation = mtxIEFrameSet::kStacked;
    outerFrames->Show(1);
    innerFrames = new mtxIEFrameSet(outerFrames);
    innerFrames->orientation = mtxIEFrameSet::kSideBySide;
    innerFrames->Show(1);
    designer = new mtxIEDesigner(innerFrames, samples);
    designer->Show(1);
    instrumentBar = new InstrumentBar(innerFrames, this);
    instrumentBar->Show(1);
    // The brush list of the options bar and the bar's Brush and Fill agree.
    designer->onToolShown = [bar = instrumentBar](int tool) {
        bar->Select(uint32_t(mtxIEDesigner::kFirstTool) + uint32_t(tool));
    };
    mainToolBar = new MainToolBar(outerFrames, this);
    // A bar without a button to offer takes no room.
    int mainBarHeight = mainToolBar->children.empty() ? 0 : kMainBarHeight;
    mainToolBar->Show(mainBarHeight > 0);
    outerFrames->SetPaneControl(0, mainToolBar);
    outerFrames->SetPaneControl(1, innerFrames);
    outerFrames->SetPane(0, mainBarHeight, mainBarHeight, 0);
    outerFrames->SetPane(1, 0, 0, 100);
    innerFrames->SetPaneControl(0, instrumentBar);
    innerFrames->SetPaneControl(1, designer);
    innerFrames->SetPane(0, kInstrumentBarWidth, kInstrumentBarWidth, 0);
    innerFrames->SetPane(1, 0, 0, 100);
    outerFrames->SetDock(mtxIECtrl::kDockFill);
    designer->onLightShown = [bar = mainToolBar](bool on) {
        bar->Select(on ? uint32_t(kLight) : 0u);
    };
    mainToolBar->Select(designer->Light().on ? uint32_t(kLight) : 0u);
    instrumentBar->Select(designer->CurrentTool() ? ToolCode(mtxIEDesigner::kToolFilling) : 0);
    Process(kRepaint, 0);
}

int mtxImageEditorVD::Process(uint32_t action, uint16_t) {
    if (action == kLight) {
        if (designer) designer->ToggleLight();
        return 1;
    }
    if (action >= kFirstMainTool && action <= kLastMainTool) return 1;  // no longer on a bar
    if (action == kRepaint) {
        if (designer) designer->viewer->UpdateView();
        return 1;
    }
    return action >= kFirstSpare && action <= kLastSpare ? 1 : 0;
}

mtxOs::LRESULT mtxImageEditorVD::OnKeyDown(mtxOs::WPARAM wParam, mtxOs::LPARAM lParam) {
    if (wParam == mtxOs::VK_APPS && modal.empty() && designer)
        designer->viewer->OpenMenuFromKeyboard();
    return mtxImageEditor::OnKeyDown(wParam, lParam);
}
