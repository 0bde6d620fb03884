#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/dlg_ok_cancel.h"

class mtxIEEdit;

// A small modal dialog for choosing a colour: sixteen swatches and a field
// for the hex value (RRGGBB, or AARRGGBB), with a preview. OK hands the
// colour to onChosen, unless whoever asked is gone by then (owner's token).
class mtxIEColorSelector : public mtxIEDlgOkCancel {
  public:
    static constexpr int kSwatches = 16;
    static const uint32_t kPalette[kSwatches];
    enum Action : uint32_t { kSwatch = 10, kHexTyped = 30 };

    mtxIEColorSelector(mtxImageEditor* editor, uint32_t initial,
                       std::function<void(uint32_t)> onChosen,
                       std::weak_ptr<const void> ownerLife = {});
    // The colour a hex text names (6 digits: opaque, 8: with alpha); 0 when
    // the text is not one.
    static int ParseHex(const std::string& text, uint32_t& color);
    static std::string HexText(uint32_t color);

    void SetColor(uint32_t value);
    uint32_t Color() const { return color; }
    int OnAction(uint32_t action, uint16_t value) override;
    void Draw(int x, int y, const RECT& clip) override;

    uint32_t color;
    mtxIEEdit* hexField = nullptr;
    RECT preview = {};

  private:
    std::function<void(uint32_t)> onChosen_;
    std::weak_ptr<const void> ownerLife_;
    bool hasOwner_;
};
