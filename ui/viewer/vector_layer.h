#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/device.h"
#include "ui/action_processor.h"
#include "ui/menu.h"
#include "ui/viewer/line_object.h"

class mtxIEViewer;
class mtxImageEditor;
class mtxIEPixelShader;

// The viewer's vector-object layer (mtxIEViewer::VectorLayer): line objects
// in picture pixels, drawn over the picture's layers through the delta blend,
// and pasted from the clipboard through its own menu.
//
// Clipboard record (format "daubry_line_object"): a u32 shape code, then two
// points, or four when the shape code is 3, each point two 32-bit values x, y
// (signed, little-endian as the machine writes them).
class mtxIEVectorLayer : public mtxIEActionProcessor {
  public:
    enum Action { kPaste = 1 };
    static constexpr uint32_t kLineColor = 0xFFFFFFFFu;
    // Pasted points farther out than this are refused: floats hold such
    // coordinates exactly, and no sum overflows.
    static constexpr int64_t kMaxCoordinate = int64_t(1) << 24;

    // The layer's own menu: one item, Paste, reaching the layer as action 1.
    class Menu : public mtxIEMenu {
      public:
        Menu(mtxImageEditor* editor, mtxIEVectorLayer* layer);
    };

    explicit mtxIEVectorLayer(mtxIEViewer* viewer);
    ~mtxIEVectorLayer() override;

    // Action 1 pastes at the place the menu was shown; 0 for other actions.
    int Process(uint32_t action, uint16_t value) override;
    // Shows the layer's menu at (x, y) in editor client coordinates.
    int ShowMenu(int x, int y);
    // Reads a line object from the clipboard and puts it at editor point at:
    // the record's points move by at relative to the picture rectangle plus
    // the scroll position. The new object is selected, the others not. The
    // clipboard is closed again whatever happens. 0 (nothing added) when the
    // clipboard holds no record of the format, or one of the wrong size or
    // with points out of range.
    int Paste(POINT at);
    // Draws every object with picture pixel (0, 0) at origin (target pixels).
    // 0 when a draw failed.
    int Draw(IDirect3DDevice9* device, POINT origin) const;

    mtxIEViewer* viewer;
    mtxImageEditor* editor;
    std::vector<mtxIELineObject> objects;
    std::unique_ptr<Menu> menu;
    // The menus of a line and of a line's point. Their items belong to the
    // editing tools, which are not built yet: both stay empty.
    std::unique_ptr<mtxIEMenu> lineMenu;
    std::unique_ptr<mtxIEMenu> pointMenu;
    uint32_t clipboardFormat = 0;             // 0 when it could not be registered
    mtxIEPixelShader* blendShader = nullptr;  // 5164, delta
};
