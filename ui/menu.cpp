#include "ui/menu.h"

#include "ui/image_editor.h"

void mtxMenu::AddItem(uint32_t id, const char* text) {
    mtxOs::MenuItem item;
    item.id = id;
    if (text)
        item.label = text;
    else
        item.separator = true;
    auto* record =
        new (pool_.Take()) Record{nullptr, id, uint32_t(menu.items.size()), item.separator, false};
    menu.items.push_back(std::move(item));
    (last_ ? last_->next : first_) = record;
    last_ = record;
}

void mtxMenu::Clear() {
    while (first_) {
        Record* next = first_->next;
        pool_.Give(first_);  // records are trivially destructible
        first_ = next;
    }
    last_ = nullptr;
    menu.items.clear();
}

int mtxMenu::Check(uint32_t id, int on) {
    int found = 0;
    for (Record* r = first_; r; r = r->next)
        if (!r->separator && r->id == id) {
            r->checked = on != 0;
            menu.items[r->index].checked = r->checked;
            found = 1;
        }
    return found;
}

int mtxMenu::IsChecked(uint32_t id) const {
    for (const Record* r = first_; r; r = r->next)
        if (!r->separator && r->id == id) return r->checked ? 1 : 0;
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
