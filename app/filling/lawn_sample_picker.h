#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fill/sample_collection.h"
#include "ui/action_processor.h"
#include "ui/active_ctrl.h"
#include "ui/bmp_button.h"
#include "ui/combo_box.h"
#include "ui/frame.h"
#include "ui/wnd.h"

class mtxIEButton;
class mtxRegistry;

// The sample collection as the samples dialog shows it: a list of the
// samples, a view of the selected one at 1:1 and a button that removes it
// (as does the Delete key). It also adds pictures and collections from files
// the user picks, starting in the folder and with the filter used last.
class mtxIELawnSamplePicker : public mtxIEActiveCtrl, public mtxIEActionProcessor {
  public:
    class Frame : public mtxIEFrame {
      public:
        using mtxIEFrame::mtxIEFrame;
    };
    // The list of samples: item i reads "<i + 1>-<name>" and carries i.
    class Combo : public mtxIEComboBox {
      public:
        using mtxIEComboBox::mtxIEComboBox;
    };
    // The selected sample at 1:1 over a chequered ground, scrolled when it
    // is larger than the view; each sample keeps its own scroll position.
    // Keeps the last folder and filter of the file dialogs in the settings.
    class Viewer : public mtxIEWnd {
      public:
        static constexpr const char* kSection = "sdl";
        static constexpr int kFilterCollection = 1, kFilterPictures = 2;
        static constexpr int kCell = 8;  // side of a square of the ground

        Viewer(mtxIECtrl* parent, SampleCollection& samples);
        // Writes the folder and the filter back.
        ~Viewer() override;
        void LoadSettings(mtxRegistry& settings);
        void SaveSettings(mtxRegistry& settings) const;

        // The selected sample's scroll ranges and positions; a direction in
        // which it fits has no bar and the position 0.
        void UpdateScrollBars();
        void OnHScroll(int code) override;
        void OnVScroll(int code) override;
        void Draw(int x, int y, const RECT& clip) override;

        std::string folder;
        int32_t filter = kFilterCollection;

      private:
        SampleCollection::Sample* Selected();
        SampleCollection& samples_;
    };

    enum Action : uint32_t { kSelect = 1, kRemove = 3 };

    mtxIELawnSamplePicker(mtxIECtrl* parent, SampleCollection& samples);
    ~mtxIELawnSamplePicker() override;

    void RebuildList();
    // Removes the selected sample; nothing when none is selected.
    void RemoveSelected();
    // Lets the user pick a picture (added) or a collection (its samples
    // added). 1 when the user picked a file.
    int AddFromFile();
    // Adds files as Add would, without asking: a collection (.msc) adds its
    // samples, anything else is added as a picture. Problems are told once
    // all were tried. The number of samples added.
    int AddFiles(const std::vector<std::string>& paths);
    // Lets the user pick a collection (or a picture) that replaces the
    // samples; a collection that cannot be read leaves them as they were.
    // 1 when the user picked a file.
    int ReplaceFromFile();

    int Process(uint32_t action, uint16_t value) override;
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    void LayoutChildren() override;

    // Told after the samples changed (the dialog's captions follow them).
    std::function<void()> onChanged;

    Frame* frame = nullptr;
    Combo* combo = nullptr;
    Viewer* viewer = nullptr;
    mtxIEBmpButton* removeButton = nullptr;

    // Runs an operation on the collection with its messages gathered, then
    // shows them to the user in message boxes.
    void Reported(const std::function<void()>& operation);

  private:
    int PickAndLoad(bool replace);
    void Changed();

    SampleCollection& samples_;
};
