#pragma once
#include <cstdint>
#include <string>

#include "base/node_pool.h"
#include "platform/window_menu.h"

class mtxImageEditor;
class mtxIEActionProcessor;

// A popup menu of the window system. Its item records (id, check state,
// place in the native menu) are nodes of a pool on the menu's private heap,
// so menus rebuilt before each showing reuse their nodes.
class mtxMenu {
  public:
    mtxMenu() : pool_(heap_) {}
    virtual ~mtxMenu() = default;
    mtxMenu(const mtxMenu&) = delete;
    mtxMenu& operator=(const mtxMenu&) = delete;

    // Appends an item, or a separator when text is null.
    void AddItem(uint32_t id, const char* text);
    // Removes every item; their nodes go back to the pool.
    void Clear();
    // Checks or unchecks every item with that id; 0 when there is none.
    int Check(uint32_t id, int on);
    int IsChecked(uint32_t id) const;
    size_t ItemCount() const { return pool_.InUse(); }
    size_t PoolBlocks() const { return pool_.BlockCount(); }

    mtxOs::Menu menu;

  private:
    struct Record {
        Record* next;
        uint32_t id;
        uint32_t index;  // in menu.items
        bool separator;
        bool checked;
    };
    static constexpr size_t kRecordsPerBlock = 16;

    mtxPrivateHeap heap_{sizeof(Record) * kRecordsPerBlock * 2};
    mtxNodePool<sizeof(Record), kRecordsPerBlock> pool_;
    Record* first_ = nullptr;
    Record* last_ = nullptr;
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
