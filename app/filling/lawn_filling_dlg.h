#pragma once
#include <cstdint>
#include <memory>

#include "ui/dlg_ok_cancel.h"

class SampleCollection;
class mtxIECheckBox;
class mtxIEColorSelect;
class mtxIEComboBox;
class mtxIELabel;
class mtxIERadioGroup;
class mtxIESpin;

// The filling options dialog: the options of the sample collection in six
// groups (the placement mode among them), edited on working copies. OK writes them into the
// collection and tells the document controller (action 7); Cancel leaves the collection as it was.
class mtxIELawnFillingDlg : public mtxIEDlgOkCancel {
  public:
    enum Action : uint32_t {
        kMinChanged = 3,
        kMaxChanged = 4,
        kBackgroundChanged = 9,
        kChoiceChanged = 10,  // a radio group's choice: its hint follows
    };
    // What the document controller is told after OK: the options changed.
    static constexpr uint32_t kOptionsChanged = 7;
    static constexpr int kSizeLimit = 1024, kOverlapLimit = 256;

    // controller: the document controller's action processor, or null (then
    // Apply posts nothing).
    mtxIELawnFillingDlg(mtxImageEditor* editor, SampleCollection& samples,
                        mtxIEActionProcessor* controller);

    // Writes the controls' state into the collection and posts kOptionsChanged
    // to the controller.
    void Apply();
    int OnAction(uint32_t action, uint16_t value) override;

    // Working copies, taken from the collection when the dialog is built.
    int32_t sizeMin, sizeMax, overlap;
    uint32_t rotate, mirror, flip, chooseMode, colorMode;
    int32_t background;
    uint32_t backgroundColor;
    uint32_t fillMode, autoSize;
    uint32_t speed;  // the filling tool's pace in the window

    mtxIECheckBox* rotateBox = nullptr;
    mtxIECheckBox* mirrorBox = nullptr;
    mtxIECheckBox* flipBox = nullptr;
    mtxIECheckBox* autoBox = nullptr;  // Fine sizes from the photo, within the spins' bounds
    mtxIESpin* minSpin = nullptr;
    mtxIESpin* maxSpin = nullptr;
    mtxIESpin* overlapSpin = nullptr;
    mtxIERadioGroup* chooseGroup = nullptr;  // 1 colour match, 2 random
    mtxIERadioGroup* colorGroup = nullptr;   // 1 existing colours, 2 pattern (recolour)
    mtxIEComboBox* backgroundList = nullptr;
    mtxIEColorSelect* colorSelect = nullptr;
    mtxIERadioGroup* modeGroup = nullptr;  // 1 fine, 2 classic
    mtxIEComboBox* speedList = nullptr;    // Calm, Fast
    // What the chosen Sample Choose, Sample Color and Filling do, in a line each.
    mtxIELabel* chooseHint = nullptr;
    mtxIELabel* colorHint = nullptr;
    mtxIELabel* modeHint = nullptr;

  private:
    void BuildTransformation(int x, int y);
    void BuildSize(int x, int y);
    void BuildChoice(int x, int y);
    void BuildBackground(int x, int y);
    void BuildMode(int x, int y);
    void BuildSpeed(int x, int y);
    // The colour only matters over a plain background.
    void ShowColorFor(int32_t value);
    void ShowHints();

    SampleCollection& samples_;
    mtxIEActionProcessor* controller_;
    std::weak_ptr<const void> controllerLife_;  // a controller gone by OK is not told
};
