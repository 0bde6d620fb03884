#pragma once
#include <cstdint>
#include <memory>

#include "fill/sample_collection.h"
#include "ui/action_processor.h"
#include "ui/image_editor.h"
#include "ui/profile.h"
#include "ui/tool_bar.h"

class mtxIEDesigner;
class mtxIEFrameSet;
class mtxRegistry;

// The program's editor window: the main tool bar along the top, the
// instrument bar down the left and the document controller in the rest. It
// owns the one sample collection, bound to its device when it is created.
class mtxImageEditorVD : public mtxImageEditor {
  public:
    // The editor's look: the toolkit's colours and its skin pictures, which
    // the editor loads when it is set up.
    class Profile : public mtxIEProfile {};

    // The editor's own actions. The main tool bar's one button reports
    // kLight (the relief light on or off); kMove, kRotate and kPaint, whose
    // tools are the instrument bar's, are accepted and do nothing; kRepaint
    // redraws the viewer; kFirstSpare to kLastSpare are accepted and do
    // nothing.
    enum Action : uint32_t {
        kMove = 1,
        kRotate = 2,
        kPaint = 3,
        kLight = 4,
        kRepaint = 5,
        kFirstSpare = 6,
        kLastSpare = 8,
    };
    static constexpr uint32_t kFirstMainTool = kMove, kLastMainTool = kLight;

    // The main tool bar: Light, whose code goes to the editor. It stays
    // pressed while the light is on.
    class MainToolBar : public mtxIEToolBar {
      public:
        explicit MainToolBar(mtxIECtrl* parent, mtxImageEditorVD* editor);
    };
    // The instrument bar: one column of buttons that reach the designer with
    // its codes (mtxIEDesigner::Action): undo and redo, the tools that exist
    // (Fill), adding layers and resetting the background. A tool's button
    // stays pressed while it is the current tool.
    class InstrumentBar : public mtxIEToolBar, public mtxIEActionProcessor {
      public:
        InstrumentBar(mtxIECtrl* parent, mtxImageEditorVD* editor);
        int Process(uint32_t action, uint16_t value) override;
        mtxImageEditorVD* owner;
    };

    mtxImageEditorVD();
    ~mtxImageEditorVD() override;

    // The content is built when the window is created.
    void SetUp() {}
    // Loads the samples the program had when it last ended, or on a first
    // start (none remembered) the bundled flowers; a list of which no sample
    // loads any more gives way to the flowers too. From then on the samples
    // are written back to settings when the editor goes.
    void RestoreSamples(mtxRegistry& settings);
    mtxIEDesigner* GetDesigner() const { return designer; }
    mtxIEProfile* GetProfile() override { return &profile_; }

    void CreateContent() override;
    // The content, the task and the samples go while the device still exists.
    mtxOs::LRESULT OnDestroy(mtxOs::WPARAM wParam, mtxOs::LPARAM lParam) override;
    // kLight turns the light on (and opens the Light dialog) or off; kRepaint
    // redraws the viewer; kMove, kRotate, kPaint and the spare codes do
    // nothing; 1 for these, 0 for other codes.
    int Process(uint32_t action, uint16_t value) override;
    // The menu key opens the layers menu over the viewer, wherever the focus
    // is, while no dialog is open.
    mtxOs::LRESULT OnKeyDown(mtxOs::WPARAM wParam, mtxOs::LPARAM lParam) override;

    SampleCollection samples;
    mtxIEFrameSet* outerFrames = nullptr;
    mtxIEFrameSet* innerFrames = nullptr;
    MainToolBar* mainToolBar = nullptr;
    InstrumentBar* instrumentBar = nullptr;
    mtxIEDesigner* designer = nullptr;

  private:
    // Destroys the task, the dialogs and the content (designer, tool), then
    // the samples' textures.
    void TearDown();
    Profile profile_;
    mtxRegistry* sampleSettings_ = nullptr;  // where the samples go back, once restored
};
