#pragma once
#include <cstdint>
#include <vector>

#include "platform/geometry.h"

class mtxIEFont;
class mtxImage;

// The look of the editor's controls: colours and metrics every control reads
// instead of hard-coding them. An editor's concrete look derives from it.
// FIXME: the skin and icon pictures (resources 3005, 3014, 3011, 3105 and the
// tool-bar icons) drawn by tools/picture_gen on the grid SliceSkin reads, and
// the reflection computed in the shaders of the looks that sampled an
// environment map, are not made yet: controls draw flat colours meanwhile.
class mtxIEProfile {
  public:
    virtual ~mtxIEProfile() = default;

    // Cuts a skin picture into its pieces: the top-left pixel's colour
    // separates them. Each band of pieces starts in column 0 below a row of
    // the separator colour; within a band's first row every run of other
    // colours is a piece, as deep as its first column goes before the
    // separator colour (or the picture) ends it. pieces is emptied first.
    static void SliceSkin(const mtxImage& image, std::vector<RECT>& pieces);

    uint32_t faceColor = 0xFFD4D0C8;
    uint32_t textColor = 0xFF000000;
    uint32_t disabledTextColor = 0xFF808080;
    uint32_t arrowColor = 0xFF000000;
    uint32_t lightColor = 0xFFFFFFFF;
    uint32_t shadowColor = 0xFF808080;
    uint32_t frameColor = 0xFF404040;
    uint32_t selectionColor = 0xFF0A246A;
    uint32_t captionColor = 0xFF3A5F8A;
    uint32_t captionTextColor = 0xFFFFFFFF;
    int lineHeight = 16;        // height of one line of control text
    int scrollBarSize = 16;     // width of a vertical bar, height of a horizontal one
    int minThumbLength = 8;     // a scroll thumb is never shorter
    int captionHeight = 18;     // a framed window's caption
    mtxIEFont* font = nullptr;  // the control font, owned by the editor
};
