#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "fill/log_picture.h"
#include "ui/dlg_ok_cancel.h"

class mtxIELabel;
class mtxIESpin;

// What Export at Size and Export Time-lapse ask before the file: the width
// (the height follows the photo's proportions, shown under it) and, for a
// time-lapse, the frames and their pace. OK hands the choice on; a size
// beyond what is drawn is refused with the reason shown in the dialog.
class mtxIEExportDlg : public mtxIEDlgOkCancel {
  public:
    enum : uint32_t { kWidthChanged = 10 };
    struct Choice {
        int width = 0, height = 0;
        uint32_t frames = 0;  // 0 for a picture
        int fps = 10;
    };
    // A picture beyond what the device draws at once is drawn in bands; the
    // frames of a time-lapse, and a moved or lit picture, are drawn whole.
    static constexpr uint64_t kMaxPixels = uint64_t(1) << 32;
    static constexpr uint64_t kMaxWholePixels = mtxLogWholePixels;
    static constexpr int kMaxWidth = 65535;
    static constexpr int kWidth = 270;
    // The dialog's title, which the messages about the export share.
    static const char* Title(bool timelapse) {
        return timelapse ? "Export Time-lapse" : "Export at Size";
    }

    // photoWidth x photoHeight: the photo's size; timelapse asks for frames
    // too; whole: the picture is drawn whole (moved or lit), as frames are.
    mtxIEExportDlg(mtxImageEditor* editor, int photoWidth, int photoHeight, bool timelapse,
                   bool whole = false);
    int OnAction(uint32_t action, uint16_t value) override;

    // The height that keeps the photo's proportions at width.
    int HeightAt(int width) const;
    Choice Chosen() const;

    std::function<void(const Choice&)> onChosen;
    mtxIESpin* widthSpin = nullptr;
    mtxIESpin* framesSpin = nullptr;  // time-lapse only
    mtxIESpin* fpsSpin = nullptr;     // time-lapse only
    mtxIELabel* sizeLabel = nullptr;

  private:
    void ShowSize();
    // Whether choice is beyond what is drawn, with the limit in why.
    bool TooLarge(const Choice& choice, std::string* why) const;
    int photoWidth_, photoHeight_;
    bool timelapse_, whole_;
};
