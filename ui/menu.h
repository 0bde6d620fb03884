#pragma once
#include <cstdint>
#include <string>

#include "platform/window_menu.h"

class mtxImageEditor;
class mtxIEActionProcessor;

// A popup menu of the window system.
class mtxMenu {
  public:
    virtual ~mtxMenu() = default;
    // Appends an item, or a separator when text is null.
    void AddItem(uint32_t id, const char* text);
    // Checks or unchecks every item with that id; 0 when there is none.
    int Check(uint32_t id, int on);
    int IsChecked(uint32_t id) const;

    mtxOs::Menu menu;
};

// A popup menu of the editor: the chosen item reaches the target as the
// action (item id, 0), through the editor's command handler.
class mtxIEMenu : public mtxMenu {
  public:
    explicit mtxIEMenu(mtxImageEditor* owner, mtxIEActionProcessor* processor = nullptr)
        : editor(owner), target(processor) {}
    // Shows the menu at (x, y) in editor client coordinates and tracks it until
    // it closes. Returns 1 when an item was chosen.
    virtual int Show(int x, int y);

    mtxImageEditor* editor = nullptr;
    mtxIEActionProcessor* target = nullptr;
    POINT position;
};
