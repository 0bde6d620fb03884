#pragma once
#include <string>

#include "ui/ctrl.h"

// One line of text; as high as a line of the profile's font plus 2.
class mtxIELabel : public mtxIECtrl {
  public:
    explicit mtxIELabel(mtxIECtrl* parent);
    // Sets the text; with autoWidth the label becomes as wide as the text.
    void SetText(const std::string& text, bool autoWidth = true);
    // The width the text needs in the profile's font (0 without a font).
    int TextWidth() const;
    void Draw(int x, int y, const RECT& clip) override;

    std::string text;
    uint32_t color = 0;  // 0: the profile's text colour
};
