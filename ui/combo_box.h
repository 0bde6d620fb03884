#pragma once
#include <cstdint>
#include <string>

#include "ui/action_processor.h"
#include "ui/active_ctrl.h"
#include "ui/list_box.h"

// A field showing the chosen item with a drop-down list of the others. A
// press opens or closes the list; Up and Down choose the previous or next
// item directly, typed letters the next item starting with them; with the
// list open they move in the list and Enter takes, Escape closes. Choosing
// notifies the target with the index.
class mtxIEComboBox : public mtxIEActiveCtrl, public mtxIEActionProcessor {
  public:
    // The drop-down: a list placed below the field over everything else.
    class ListBox : public mtxIEListBox {
      public:
        ListBox(mtxImageEditor* editor, mtxIEComboBox* owner);
        ~ListBox() override;
        // Takes the item under the pointer without taking the focus from the field.
        int OnClientLButtonDown(int x, int y, uint32_t keys) override;
        mtxIEComboBox* combo;
    };
    enum : uint32_t { kPick = 1 };
    static constexpr int kVisibleItems = 8;

    explicit mtxIEComboBox(mtxIECtrl* parent);
    ~mtxIEComboBox() override;

    int AddItem(const std::string& text, uintptr_t data = 0);
    void Clear();
    int Count() const { return list ? list->Count() : 0; }
    std::string ItemText(int index) const;
    // -1 for none; notifies only with notify.
    void Select(int index, bool notify = false);
    int Selection() const { return selection; }
    void ShowDropDown(bool on);
    bool DroppedDown() const { return list && list->IsVisible(); }

    int Process(uint32_t code, uint16_t value) override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnLButtonDblClk(int x, int y, uint32_t keys) override { return OnLButtonDown(x, y, keys); }
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    void OnChar(uint32_t c, uint32_t repeat) override;
    void OnKillFocus() override;
    void Draw(int x, int y, const RECT& clip) override;

    ListBox* list = nullptr;  // owned
    int selection = -1;
};
