#include "app/editor/image_editor_vd.h"

#include "app/document/designer.h"
#include "app/document/designer_viewer.h"
#include "app/editor/tool_button.h"
#include "ui/frame_set.h"

namespace {

constexpr int kMainBarHeight = 34;
constexpr int kInstrumentBarWidth = 84;

}  // namespace

mtxImageEditorVD::MainToolBar::MainToolBar(mtxIECtrl* parent, mtxImageEditorVD* owner)
    : mtxIEToolBar(parent) {
    border = 1;
    const char* names[] = {"Move", "Rotate", "Paint", "Light"};
    for (uint32_t i = 0; i < 4; ++i)
        AddItem(new mtxIEToolButton(this, names[i], owner, i + 1), 0, 20);
}

mtxImageEditorVD::InstrumentBar::InstrumentBar(mtxIECtrl* parent, mtxImageEditorVD* editorVD)
    : mtxIEToolBar(parent), owner(editorVD) {
    border = 1;
    layout = kColumns;
    struct Entry {
        const char* label;
        uint32_t code;
    };
    const Entry entries[] = {{"Undo", 5},      {"Redo", 6},      {"Move", 9},  {"Rotate", 10},
                             {"Brush", 12},    {"Light", 14},    {"Draw", 15}, {"Fill", 17},
                             {"Add Layer", 1}, {"From File", 2}, {"Reset", 8}};
    for (const Entry& e : entries)
        AddItem(new mtxIEToolButton(this, e.label, this, e.code, 72), 0, 6);
}

int mtxImageEditorVD::InstrumentBar::Process(uint32_t action, uint16_t value) {
    mtxIEDesigner* designer = owner->GetDesigner();
    if (!designer) return 0;
    int handled = designer->Process(action, value);
    if (action >= mtxIEDesigner::kFirstTool && action <= mtxIEDesigner::kLastTool) {
        // Only a tool that exists shows as chosen.
        Select(designer->CurrentTool() ? action : 0);
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
    samples.ClearSamples();
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
    mainToolBar = new MainToolBar(outerFrames, this);
    mainToolBar->Show(1);
    outerFrames->SetPaneControl(0, mainToolBar);
    outerFrames->SetPaneControl(1, innerFrames);
    outerFrames->SetPane(0, kMainBarHeight, kMainBarHeight, 0);
    outerFrames->SetPane(1, 0, 0, 100);
    innerFrames->SetPaneControl(0, instrumentBar);
    innerFrames->SetPaneControl(1, designer);
    innerFrames->SetPane(0, kInstrumentBarWidth, kInstrumentBarWidth, 0);
    innerFrames->SetPane(1, 0, 0, 100);
    outerFrames->SetDock(mtxIECtrl::kDockFill);
    mainToolBar->Select(1);
    instrumentBar->Select(designer->CurrentTool()
                              ? uint32_t(mtxIEDesigner::kFirstTool) + mtxIEDesigner::kToolFilling
                              : 0);
    Process(5, 0);
}

int mtxImageEditorVD::Process(uint32_t action, uint16_t) {
    if (action >= 1 && action <= 4) {
        if (designer) designer->viewer->Invalidate();
        if (mainToolBar) mainToolBar->Select(action);
        return 1;
    }
    if (action == 5) {
        if (designer) designer->viewer->UpdateView();
        return 1;
    }
    return action >= 6 && action <= 8 ? 1 : 0;
}
