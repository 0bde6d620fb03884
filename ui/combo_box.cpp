#include "ui/combo_box.h"

#include <algorithm>

#include "platform/window.h"
#include "ui/flat_look.h"
#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/skin_look.h"

using namespace mtxOs;

namespace {
constexpr uint32_t kKeyF4 = 0x73;  // kKeyF4: opens and closes the list
}  // namespace

mtxIEComboBox::ListBox::ListBox(mtxImageEditor* host, mtxIEComboBox* owner)
    : mtxIEListBox(host), combo(owner) {
    tabStop = 0;
}

mtxIEComboBox::ListBox::~ListBox() {
    // The editor deletes the pop-ups it still lists when it goes before the field.
    if (combo) combo->list = nullptr;
}

int mtxIEComboBox::ListBox::OnClientLButtonDown(int, int y, uint32_t) {
    int index = ItemAt(y);
    if (index >= 0) {
        Select(index);
        if (combo) combo->Process(kPick, uint16_t(index));
    }
    return 1;
}

mtxIEComboBox::mtxIEComboBox(mtxIECtrl* parent) : mtxIEActiveCtrl(parent) {
    rect = {0, 0, 100, (profile ? profile->lineHeight : 16) + 4};
    tabStop = 1;
    if (editor) list = new ListBox(editor, this);
}

mtxIEComboBox::~mtxIEComboBox() {
    if (!list) return;
    list->combo = nullptr;
    if (editor) editor->RemoveControl(list);
    delete list;
}

int mtxIEComboBox::AddItem(const std::string& text, uintptr_t data) {
    return list ? list->AddItem(text, data) : -1;
}

void mtxIEComboBox::Clear() {
    if (list) list->Clear();
    selection = -1;
    Invalidate();
}

std::string mtxIEComboBox::ItemText(int index) const {
    if (!list || index < 0 || index >= list->Count()) return {};
    return list->items[size_t(index)].text;
}

void mtxIEComboBox::Select(int index, bool notify) {
    if (index < -1 || index >= Count()) return;
    bool changed = index != selection;
    selection = index;
    if (list) list->Select(index);
    Invalidate();
    if (changed && notify) Notify(uint16_t(index));
}

void mtxIEComboBox::ShowDropDown(bool on) {
    if (!list || !editor || on == DroppedDown()) return;
    if (!on) {
        editor->RemoveControl(list);
        list->Show(0);
        return;
    }
    RECT field = EditorRect();
    int rows = std::clamp(Count(), 1, kVisibleItems);
    int height = rows * list->ItemHeight() + 2;
    RECT below = {field.left, field.bottom, field.right, field.bottom + height};
    // A list that does not fit below the field opens above it.
    if (below.bottom > editor->clientRect.bottom && field.top - height >= 0)
        below = {field.left, field.top - height, field.right, field.top};
    list->SetRect(editor->FitRect(below));
    list->Layout();
    list->Select(selection);
    editor->AddControl(list);
    list->Show(1);
    list->Invalidate();
}

int mtxIEComboBox::Process(uint32_t code, uint16_t value) {
    if (code != kPick) return 0;
    ShowDropDown(false);
    Select(int(value), true);
    return 1;
}

int mtxIEComboBox::OnLButtonDown(int, int, uint32_t) {
    if (!HasFocus()) SetFocus();
    ShowDropDown(!DroppedDown());
    return 1;
}

void mtxIEComboBox::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    bool open = DroppedDown();
    int last = Count() - 1;
    if (open) {
        switch (key) {
            case VK_UP:
            case VK_DOWN:
            case VK_PRIOR:
            case VK_NEXT:
            case VK_HOME:
            case VK_END:
                list->OnKeyDown(key, repeat, keyFlags);
                return;
            case VK_RETURN:
                Process(kPick, uint16_t(std::max(0, list->Selection())));
                if (list && list->Selection() < 0) ShowDropDown(false);
                return;
            case VK_ESCAPE:
                ShowDropDown(false);
                return;
            default:
                break;
        }
    } else if (last >= 0) {
        switch (key) {
            case VK_UP:
                return Select(std::max(0, selection - 1), true);
            case VK_DOWN:
                return Select(std::min(last, selection + 1), true);
            case VK_HOME:
                return Select(0, true);
            case VK_END:
                return Select(last, true);
            case kKeyF4:
                return ShowDropDown(true);
            default:
                break;
        }
    }
    if (key == kKeyF4) return ShowDropDown(!open);
    mtxIEActiveCtrl::OnKeyDown(key, repeat, keyFlags);
}

void mtxIEComboBox::OnChar(uint32_t c, uint32_t repeat) {
    if (!list || c < 0x20) return;
    int before = list->Selection();
    list->OnChar(c, repeat);
    int found = list->Selection();
    if (!DroppedDown() && found != before) Select(found, true);
}

void mtxIEComboBox::OnKillFocus() {
    ShowDropDown(false);
    mtxIEActiveCtrl::OnKillFocus();
}

void mtxIEComboBox::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!profile) return;
    RECT r = {x, y, x + Width(), y + Height()};
    mtxIEFlatLook::Field(device, *profile, r, true);
    int button = std::min(Height(), 16);
    RECT arrow = {r.right - button, r.top + 1, r.right - 1, r.bottom - 1};
    mtxIESkinLook::Face face;
    face.rect = arrow;
    face.pressed = DroppedDown();
    face.corner = 2.0f;
    mtxIESkinLook::ButtonFace(editor, *profile, face);
    mtxIEPrimitives::ArrowGlyph(device, arrow, mtxIEPrimitives::kArrowDown, profile->arrowColor);
    RECT text = {r.left + 3, r.top, arrow.left - 1, r.bottom};
    if (HasFocus())
        mtxIEPrimitives::FillRect(device,
                                  {text.left - 1, text.top + 2, text.right, text.bottom - 2},
                                  profile->selectionColor);
    if (profile->font)
        profile->font->DrawAligned(device, text, ItemText(selection), kAlignLeft,
                                   HasFocus() ? 0xFFFFFFFF : profile->textColor);
    (void)clip;
}
