#pragma once
#include <string>
#include <vector>

#include "ui/active_ctrl.h"

// A strip of tabs, one of which is current. A press on a tab or Left and
// Right make another current and notify the target with its index.
class mtxIETabs : public mtxIEActiveCtrl {
  public:
    explicit mtxIETabs(mtxIECtrl* parent);
    int AddTab(const std::string& caption);
    // Notifies only with notify.
    void Select(int index, bool notify = false);
    int Selection() const { return selection; }
    // The tab under a local x, -1 for none.
    int TabAt(int localX) const;
    RECT TabRect(int index) const;  // local

    int OnLButtonDown(int x, int y, uint32_t keys) override;
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    void Draw(int x, int y, const RECT& clip) override;

    std::vector<std::string> captions;
    int selection = 0;
};

// Tabs drawn as plain captions with the current one underlined.
class mtxIETabsTrivial : public mtxIETabs {
  public:
    using mtxIETabs::mtxIETabs;
    void Draw(int x, int y, const RECT& clip) override;
};
