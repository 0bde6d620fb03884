#include "app/document/designer_viewer.h"

#include "app/filling/mdf.h"
#include "ui/image_editor.h"
#include "ui/strings.h"

mtxIEDesigner::Viewer::Menu::Menu(mtxImageEditor* owner, mtxIEDesigner* designer)
    : mtxIEMenu(owner, designer) {
    std::string addLayer = mtxIELoadString(200, "Add") + " " + mtxIELoadString(9, "Layer");
    AddItem(kAddLayer, addLayer.c_str());
    std::string fromFile = addLayer + " " + mtxIELoadString(205, "From File");
    AddItem(kAddLayerFromFile, fromFile.c_str());
}

mtxIEDesigner::Viewer::Viewer(mtxIECtrl* parent, mtxIEDesigner* owner)
    : mtxIEViewer(parent), designer(owner), menu(std::make_unique<Menu>(editor, owner)) {}

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
