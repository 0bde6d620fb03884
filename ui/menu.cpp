#include "ui/menu.h"

#include "ui/image_editor.h"

void mtxMenu::AddItem(uint32_t id, const char* text) {
    mtxOs::MenuItem item;
    item.id = id;
    if (text)
        item.label = text;
    else
        item.separator = true;
    menu.items.push_back(std::move(item));
}

int mtxMenu::Check(uint32_t id, int on) {
    int found = 0;
    for (mtxOs::MenuItem& item : menu.items)
        if (!item.separator && item.id == id) item.checked = on != 0, found = 1;
    return found;
}

int mtxMenu::IsChecked(uint32_t id) const {
    for (const mtxOs::MenuItem& item : menu.items)
        if (!item.separator && item.id == id) return item.checked ? 1 : 0;
    return 0;
}

int mtxIEMenu::Show(int x, int y) {
    if (!editor || !editor->Handle()) return 0;
    position = {x, y};
    editor->SetMenuTarget(target);
    POINT screen = {x, y};
    mtxOs::ClientToScreen(editor->Handle(), screen);
    return mtxOs::TrackPopupMenu(menu, 0, screen.x, screen.y, editor->Handle());
}
