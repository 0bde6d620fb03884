#include "app/document/designer_viewer.h"

#include "app/filling/mdf.h"
#include "ui/button.h"
#include "ui/image_editor.h"
#include "ui/label.h"
#include "ui/strings.h"

namespace {

constexpr int kDemoWidth = 170, kDemoHeight = 30, kGap = 12;
constexpr uint32_t kHintColor = 0xFFFFFFFF;  // on the viewer's grey

}  // namespace

mtxIEDesigner::Viewer::Menu::Menu(mtxImageEditor* owner, mtxIEDesigner* designer)
    : mtxIEMenu(owner, designer) {
    std::string addLayer = mtxIELoadString(200, "Add") + " " + mtxIELoadString(9, "Layer");
    AddItem(kAddLayer, addLayer.c_str());
    std::string fromFile = addLayer + " " + mtxIELoadString(205, "From File");
    AddItem(kAddLayerFromFile, fromFile.c_str());
}

mtxIEDesigner::Viewer::Viewer(mtxIECtrl* parent, mtxIEDesigner* owner)
    : mtxIEViewer(parent), designer(owner), menu(std::make_unique<Menu>(editor, owner)) {
    hint = new mtxIELabel(this);
    hint->SetText(mtxIELoadString(741, "Open a photo: File, Open, or drop it here"));
    hint->color = kHintColor;
    demoButton = new mtxIEButton(this);
    demoButton->rect = {0, 0, kDemoWidth, kDemoHeight};
    demoButton->SetCaption(mtxIELoadString(742, "Open the Demo Photo"));
    demoButton->SetAction(owner, kOpenDemo, 0);
    PlaceHint();
}

mtxIEDesigner::Viewer::~Viewer() {
    SetTool(nullptr);
}

void mtxIEDesigner::Viewer::SetTool(mtxIEMdf* newTool) {
    if (tool == newTool) return;
    mtxIEMdf* old = tool;
    tool = newTool;
    // The old tool stops its work (and joins its task) in its destructor.
    if (old) RemoveChild(old);
}

int mtxIEDesigner::Viewer::OnRButtonDown(int x, int y, uint32_t keys) {
    if (tool) return mtxIEViewer::OnRButtonDown(x, y, keys);
    RECT client = GetClientRect();
    POINT local = {x - rect.left, y - rect.top};
    if (local.x < client.left || local.x >= client.right || local.y < client.top ||
        local.y >= client.bottom)
        return mtxIEViewer::OnRButtonDown(x, y, keys);
    POINT at = parent ? parent->LocalToEditor(POINT{x, y}) : POINT{x, y};
    menu->Show(at.x, at.y);
    return 1;
}

void mtxIEDesigner::Viewer::UpdateView() {
    mtxIEViewer::UpdateView();
    PlaceHint();
}

void mtxIEDesigner::Viewer::PlaceHint() {
    if (!hint || !demoButton) return;
    bool empty = GetStack() == nullptr;
    hint->Show(empty);
    demoButton->Show(empty && !designer->demoPhoto.empty());
    if (!empty) return;
    RECT client = GetClientRect();
    int centreX = (client.left + client.right) / 2, centreY = (client.top + client.bottom) / 2;
    int top = centreY - (hint->Height() + kGap + kDemoHeight) / 2;
    hint->SetRect({centreX - hint->Width() / 2, top, centreX - hint->Width() / 2 + hint->Width(),
                   top + hint->Height()});
    top += hint->Height() + kGap;
    demoButton->SetRect(
        {centreX - kDemoWidth / 2, top, centreX - kDemoWidth / 2 + kDemoWidth, top + kDemoHeight});
}
