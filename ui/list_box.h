#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui/wnd.h"

// A scrolling list of one-line items, one of which may be selected. A press
// selects, the arrow keys, Page Up/Down, Home and End move the selection,
// typed letters find the next item that starts with them (type-ahead), and a
// double click or Enter chooses the selected item. Selecting notifies the
// target with the index; choosing sends chooseAction with the index.
class mtxIEListBox : public mtxIEWnd {
  public:
    struct Item {
        std::string text;
        uintptr_t data = 0;
    };
    static constexpr uint32_t kTypeAheadMs = 1000;  // a pause longer than this starts afresh

    explicit mtxIEListBox(mtxIECtrl* parent);
    // A root, for a drop-down: placed in editor coordinates.
    explicit mtxIEListBox(mtxImageEditor* editor);

    // Appends an item; returns its index.
    int AddItem(const std::string& text, uintptr_t data = 0);
    void Clear();
    int Count() const { return int(items.size()); }
    // -1 selects nothing; indexes outside are ignored. Notifies only with notify.
    void Select(int index, bool notify = false);
    int Selection() const { return selection; }
    // Sends chooseAction with the selection; 0 when nothing is selected.
    int Choose();
    void EnsureVisible(int index);
    int TopIndex() const { return GetScrollInfo(kVertical).position; }
    int ItemHeight() const;
    int VisibleCount();
    // The item under a local point in the client area, -1 for none.
    int ItemAt(int localY);
    // The next item after the selection whose text starts with prefix
    // (without regard to case), wrapping; -1 for none.
    int FindPrefix(const std::string& prefix, int after) const;

    void OnResized() override { UpdateScroll(); }
    int OnClientLButtonDown(int x, int y, uint32_t keys) override;
    int OnLButtonDblClk(int x, int y, uint32_t keys) override;
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    void OnChar(uint32_t c, uint32_t repeat) override;
    void OnVScroll(int code) override;
    void Draw(int x, int y, const RECT& clip) override;
    virtual void DrawItem(int index, const RECT& r, bool selected);

    std::vector<Item> items;
    int selection = -1;
    uint32_t chooseAction = 0;
    int itemHeight = 0;  // 0: a line of the profile's font plus 2

  protected:
    void UpdateScroll();
    std::string typed_;
    uint32_t typedAt_ = 0;
    bool typing_ = false;
};
