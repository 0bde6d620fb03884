#include "app/document/designer_viewer.h"

#include "app/document/move_tool.h"

#include "app/filling/mdf.h"
#include "ui/button.h"
#include "ui/image_editor.h"
#include "ui/label.h"
#include "ui/strings.h"

namespace {

constexpr int kDemoWidth = 170, kDemoHeight = 30, kGap = 12;
constexpr uint32_t kHintColor = 0xFFFFFFFF;  // on the viewer's grey

}  // namespace

mtxIEDesigner::Viewer::Menu::Menu(mtxImageEditor* owner, mtxIEDesigner* designerOf)
    : mtxIEMenu(owner, designerOf), designer(designerOf) {
    Refresh();
}

void mtxIEDesigner::Viewer::Menu::Refresh() {
    Clear();
    mtxImageStack* picture = designer ? designer->Picture() : nullptr;
    int count = picture ? picture->LayerCount() : 0,
        chosen = designer ? designer->ChosenLayer() : 0;
    mtxImageStack::Layer* layer = picture ? picture->GetLayer(chosen) : nullptr;
    std::string layerWord = mtxIELoadString(9, "Layer");
    auto add = [&](uint32_t id, const std::string& text, bool enabled) {
        AddItem(id, text.c_str());
        menu.items.back().enabled = enabled;
    };
    std::string addLayer = mtxIELoadString(200, "Add") + " " + layerWord;
    add(kAddLayer, addLayer, picture != nullptr);
    add(kAddLayerFromFile, addLayer + " " + mtxIELoadString(205, "From File"), picture != nullptr);
    std::string remove = mtxIELoadString(201, "Remove") + " " + layerWord;
    add(kRemoveLayer, chosen > 0 ? remove + " " + std::to_string(chosen + 1) : remove, chosen > 0);
    AddItem(0, nullptr);
    // The submenus: items of their own, without records of this menu.
    auto submenu = [&](const std::string& text, std::vector<mtxOs::MenuItem> items) {
        add(0, text, !items.empty());
        menu.items.back().popup = true;
        menu.items.back().items = std::move(items);
    };
    std::vector<mtxOs::MenuItem> layers, opacities;
    for (int i = 0; i < count && i < 0x100; ++i) {
        mtxOs::MenuItem item;
        item.label = layerWord + " " + std::to_string(i + 1);
        item.id = kMenuLayer + uint32_t(i);
        item.checked = i == chosen;
        layers.push_back(item);
    }
    for (uint8_t value : kOpacities) {
        if (!layer) break;
        mtxOs::MenuItem item;
        item.label = std::to_string((value * 100 + 127) / 255) + " %";
        item.id = kMenuOpacity + value;
        item.checked = layer->Opacity() == value;
        opacities.push_back(item);
    }
    submenu(layerWord, std::move(layers));
    submenu(mtxIELoadString(15, "Opacity"), std::move(opacities));
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
    RECT client = GetClientRect();
    POINT local = {x - rect.left, y - rect.top};
    if (local.x < client.left || local.x >= client.right || local.y < client.top ||
        local.y >= client.bottom)
        return mtxIEViewer::OnRButtonDown(x, y, keys);
    if (!HasFocus()) SetFocus();
    POINT at = parent ? parent->LocalToEditor(POINT{x, y}) : POINT{x, y};
    OpenMenu(at.x, at.y);
    return 1;
}

void mtxIEDesigner::Viewer::OpenMenuFromKeyboard() {
    RECT client = GetClientRect();
    POINT at = LocalToEditor(POINT{client.left + kGap, client.top + kGap});
    OpenMenu(at.x, at.y);
}

void mtxIEDesigner::Viewer::OpenMenu(int x, int y) {
    menu->Refresh();
    menu->Show(x, y);
}

void mtxIEDesigner::Viewer::UpdateView() {
    mtxIEViewer::UpdateView();
    PlaceHint();
    if (mover) mover->FitViewer();
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
