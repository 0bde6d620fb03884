#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/document/document.h"
#include "app/document/log_export.h"
#include "fill/project_file.h"
#include "ui/action_processor.h"
#include "ui/ctrl.h"

class SampleCollection;
class mtxIEMdfField;
class mtxImage;
class mtxImageStack;
class mtxIEFrameSet;
class mtxIELawnSampleDlg;
class mtxIEMdf;
class mtxIEToolBar;
class mtxRecoveryFile;

// The document controller: the control that shows the document (the picture
// being worked on, mtxIEDocument) in its viewer, with the tool that acts on it
// and the tool options bar along the bottom. It carries out Open, Save,
// Samples and Filling through the document, telling the user what failed,
// and offers a layers menu on the viewer.
class mtxIEDesigner : public mtxIECtrl, public mtxIEActionProcessor {
  public:
    class Viewer;
    class InstrOptionsBar;
    class DlgAddLayer;
    class DlgLight;

    enum Action : uint32_t {
        kAddLayer = 1,
        kAddLayerFromFile = 2,
        kChooseLayer = 3,  // the value is the layer's index
        kSetOpacity = 4,   // the value is the chosen layer's new opacity
        kUndo = 5,
        kRedo = 6,
        kOptionsChanged = 7,
        kResetBackground = 8,
        kFirstTool = 9,  // 9..17: the tool of that code minus 9
        kLastTool = 17,
        kOpenDemo = 18,     // opens demoPhoto
        kRemoveLayer = 19,  // removes the chosen layer
        // The layers menu's items: choose layer (code minus kMenuLayer), and
        // set the chosen layer's opacity to code minus kMenuOpacity.
        kMenuLayer = 0x100,
        kMenuOpacity = 0x200,
    };
    // Tool numbers (action minus 9); only the filling tool exists, the
    // others are kept for the tools to come.
    enum Tool : int {
        kToolMove = 0,
        kToolRotate = 1,
        kToolBrush = 3,
        kToolStamps = 4,  // the filling tool's stamp brush
        kToolLight = 5,
        kToolDraw = 6,
        kToolEraser = 7,  // the filling tool's stamp eraser
        kToolFilling = 8
    };
    static constexpr int kOptionsBarHeight = 45;

    // Builds frames, viewer and options bar, makes the filling tool current
    // and reads the remembered folders from the application's settings.
    mtxIEDesigner(mtxIECtrl* parent, SampleCollection& samples);
    // Writes the remembered folders back, then lets go of tool and picture.
    ~mtxIEDesigner() override;

    // Loads the file at path as the picture (flag has no effect); a project
    // file (known by its first bytes) is opened as OpenProject does. The new
    // picture is loaded before the open one is let go: on failure the open
    // picture stays, the user is told which file and why, *reason (when not
    // null) holds the loader's reason, and 0 is returned. 1 on success.
    int Open(const std::string& path, int flag, std::string* reason = nullptr);
    // Asks for a file (the save dialog) and writes the picture into it. Without
    // a picture the user is told "Just open any image" and no dialog shows.
    // 1 when the picture was written; 0 when cancelled or failed.
    int Save();
    // Save without the dialog: writes the picture to path (its name settled
    // by the filter first) in the format of filterIndex, atomically. The tool
    // is suspended for the time and resumed on every path. 1 on success; 0
    // with the user told and *reason set, the file on disk as it was.
    int SaveAs(const std::string& path, uint32_t filterIndex, std::string* reason = nullptr);
    // Opens the project file at path: its photo becomes the picture, its
    // samples and options the collection's, and the filling tool draws its
    // stamps over the photo at once; Go goes on filling where the project
    // stopped. Checked whole before anything changes: on failure the user is
    // told which file and why (for a damaged file, which part), *reason is
    // set and 0 returned. 1 on success.
    int OpenProject(const std::string& path, std::string* reason = nullptr);
    // Asks for a file (the save dialog, type "Daubry project") and saves the
    // project there. The user is told when nothing was filled yet. 1 when
    // saved; 0 when cancelled or failed.
    int SaveProject();
    // Save Project without the dialog: the photo, samples, options and stamp
    // log of the filling tool's run to path (".daubry" appended when it does
    // not end so), atomically. The picture then counts as saved and the
    // recovery copy goes. 1, or 0 with the user told and *reason set.
    int SaveProjectAs(const std::string& path, std::string* reason = nullptr);
    // File, Export at Size and Export Time-lapse: the run's picture drawn
    // again from its stamps at a width the user chooses, or an animated PNG
    // of it growing. A dialog asks for the size, then the file dialog for
    // the name; a running fill is stopped first.
    void ExportAtSize();
    void ExportTimelapse();
    // The drawing once the size and the file are known, behind a progress
    // box (returned; the editor owns it); the user is told where the file
    // went. Null, with the user told why, when it could not start.
    mtxIELogExport* Export(const mtxIELogExport::Request& request);
    // A recovery copy of the tool's run goes to recovery now (the tool's
    // checkpoint: every 10 s of filling and at Stop). Nothing without a
    // recovery file or a run.
    void KeepRecoveryCopy();
    // Opens a recovery copy as a project of no name ("Recovered" is offered
    // when it is saved): it counts as unsaved, and the folders remembered
    // for the user stay as they were.
    int OpenRecovered(const std::string& path);
    // Whether the picture is work of a project: opened from one, saved as
    // one or recovered.
    bool IsProject() const { return recovered_ || !document_.ProjectPath().empty(); }
    // The samples dialog over the editor; null without an editor.
    mtxIELawnSampleDlg* OpenSamplesDialog();
    void OpenFillingDialog();

    int Process(uint32_t action, uint16_t value) override;
    // The current tool's OnOptionsChanged and ResetBackground, when there is one.
    virtual void OnOptionsChanged();
    virtual void ResetBackground();

    // Makes the tool (9..17 minus 9) current. Only the filling tool exists:
    // it is made when there is none and kept, with its run, when it is
    // current. The brush chooses the filling tool's hand (protect, unless a
    // hand is chosen already), the filling tool puts the hand away; other
    // numbers change nothing, so no run or preparation is lost to them. 1
    // when the tool is current, 0 for a number without one.
    int SelectTool(int tool);
    mtxIEMdf* CurrentTool() const;
    // The filling tool when it is the current tool, else null.
    mtxIEMdfField* FillingTool() const;
    // The tool the user chose last: kToolMove, kToolRotate, kToolBrush (the
    // filling tool with a map brush chosen), kToolStamps or kToolEraser (with
    // a stamp hand) or kToolFilling (-1 without one).
    int ChosenTool() const;
    // The picture, its file, its history and the remembered folders.
    mtxIEDocument& Document() { return document_; }
    mtxImageStack* Picture() const { return document_.Picture(); }
    // The picture's change history (kept across pictures, emptied by Open).
    mtxChangeHistory& History() { return document_.History(); }
    // Actions 5 and 6: a running tool is stopped first (its change is
    // recorded), then one change is walked back or forward and shown. 1
    // when the picture changed.
    int Undo();
    int Redo();
    // Adds image as the last layer of the picture (recorded for Undo), lets
    // the viewer follow and makes it the chosen layer. 0 without a picture.
    int AppendLayer(std::unique_ptr<mtxImage> image);
    // Removes the layer at index (recorded for Undo). The bottom layer, the
    // picture the tool draws into, stays: 0 for it. 1 when removed.
    int RemoveLayer(int index);
    // The layer that Remove Layer and the opacity act on: the last one added
    // or chosen, the bottom one (0) when none is.
    int ChosenLayer() const;
    // 0 when there is no such layer.
    int ChooseLayer(int index);
    // Sets the layer's opacity (recorded for Undo) and shows it. 1 when changed.
    int SetLayerOpacity(int index, uint8_t value);

    // The relief light (the main bar's Light): set, recorded for Undo under
    // name and shown. 1 when it changed.
    int SetLight(const mtxReliefLight& light, const std::string& name = "Light");
    const mtxReliefLight& Light() const { return document_.Light(); }
    // Renders the light's shade of the picture as it stands (the tool's
    // drawing committed first) and shows it over the layers; while the light
    // is off, or without a picture, no shade is kept. 1 when shown or off; 0
    // when it could not be rendered (no shade is shown or saved then).
    int ShowLight();
    // The main bar's Light: turns the light on, then asks for its direction
    // and strength (the Light dialog), or turns it off. Recorded for Undo.
    void ToggleLight();
    // The light was shown or taken away (the main bar's Light follows).
    std::function<void(bool on)> onLightShown;

    // Whether the picture changed since it was opened or last saved: stamps
    // placed, a background reset, layers added, an opacity changed.
    bool Modified() const { return document_.Modified(); }
    // The picture as it stands counts as saved (a successful save, an open).
    void MarkSaved() { document_.MarkSaved(); }
    // Something changed the picture outside the tool's own count.
    void MarkModified() { document_.MarkModified(); }

    // Tells the user something: a message box over the editor unless replaced.
    std::function<void(const std::string& text, const std::string& title)> tell;
    // The tool that shows as chosen changed without its button (the brush
    // chosen or put away in the options bar): as ChosenTool gives it.
    std::function<void(int tool)> onToolShown;
    // Called after a picture was opened (the main window names it in its title).
    std::function<void(const std::string& path)> onPictureOpened;
    // The photo the empty view offers to open: the one installed with the
    // program; empty when there is none (the view then offers no button).
    std::string demoPhoto;
    // Where the recovery copies go (the program sets it; null: none kept).
    mtxRecoveryFile* recovery = nullptr;

    SampleCollection& samples;
    mtxIEFrameSet* outerFrames = nullptr;
    mtxIEFrameSet* innerFrames = nullptr;
    Viewer* viewer = nullptr;
    InstrOptionsBar* optionsBar = nullptr;

  private:
    int ChooseMover(int tool);
    // The filling tool's hand for a tool number: none, the map brush or a stamp hand.
    void ChooseHand(mtxIEMdfField& field, int tool);
    void Tell(const std::string& text, const std::string& title);
    void AskExport(bool timelapse);
    std::string AskExportFile(bool timelapse, int width);
    // The save dialog of a picture offering name: the path typed (its
    // filter in filter) and the JPEG quality remembered; "" when cancelled.
    std::string AskPictureFile(const std::string& name, uint32_t& filter);
    std::string SaveFolder() const;
    void AddLayerFromFile();
    static std::string AddLayerTitle();
    // The viewer shows the stack's layers as they are now.
    void LayersChanged();
    int WalkHistory(bool backward);
    void ConnectHistory(mtxIEMdfField& tool);
    // The device the picture's layers live on (the editor's).
    IDirect3DDevice9* Device() const;

    // The current tool's count of changes to the picture (0 without a tool).
    uint64_t ToolEdits() const;
    // The tool's run as a project; photo and samples come from the copy of
    // the last capture while they are the same. 1, or 0 with why in error.
    int CaptureProject(mtxProject& project, std::string& error);
    void ConnectCheckpoints(mtxIEMdfField& tool);

    // The last capture's sample pictures, reused by the next one while the
    // collection holds the same samples (the pictures of an opened project,
    // whose sample files may be elsewhere, come first).
    std::vector<std::unique_ptr<mtxProject::Sample>> capturedPictures_;
    std::string capturedSamples_;  // what the collection held then

    // Where the tool's stamp log ended before and after each change the
    // history recorded of it (by the record's serial), so that Undo and
    // Redo move the log's end with the picture and a project saved after
    // them holds the stamps shown.
    struct LogSpan {
        uint64_t session = 0;  // the tool's SessionNumber
        mtxStampLog::Mark before, after;
    };
    std::map<uint64_t, LogSpan> logSpans_;
    bool recovered_ = false;  // the picture is a recovery copy not saved as a project yet
    LogSpan openSpan_;        // of the change under way
    // Moves the log's end as the history step walked.
    void FollowInLog(const mtxChangeHistory::Step& step, bool backward);
    // The light's shade follows a change of the picture.
    void LightFollows() {
        if (document_.Light().on) ShowLight();
    }

    mtxIEDocument document_;
};
