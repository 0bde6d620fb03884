#pragma once
#include <functional>
#include <string>

#include <memory>

#include "app/document/recovery_file.h"
#include "app/editor/image_editor_vd.h"
#include "app/shell/settings_key.h"
#include "base/application.h"
#include "base/wnd.h"
#include "platform/accelerator.h"
#include "platform/drop_files.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"

// Command ids of the main menu.
constexpr uint32_t ID_EXIT = 40102;
constexpr uint32_t ID_ABOUT = 40103;
constexpr uint32_t ID_OPEN = 40105;
constexpr uint32_t ID_SAVE = 40106;
constexpr uint32_t ID_WEBSITE = 40108;
constexpr uint32_t ID_HELP_CONTENTS = 40109;
constexpr uint32_t ID_WEBSITE_MENU = 40110;
constexpr uint32_t ID_OPEN_PROJECT = 40112;
constexpr uint32_t ID_SAVE_PROJECT = 40113;
constexpr uint32_t ID_EXPORT_AT_SIZE = 40114;
constexpr uint32_t ID_EXPORT_TIMELAPSE = 40115;
constexpr uint32_t ID_SAMPLES = 40120;
constexpr uint32_t ID_FILLING = 40121;
constexpr uint32_t ID_GO = 40122;
constexpr uint32_t ID_STOP = 40123;
constexpr uint32_t ID_CLEAR = 40124;
constexpr uint32_t ID_UNDO = 40126;
constexpr uint32_t ID_REDO = 40127;

// The program's application object: the main window with its menu, the
// editor inside it and the commands of the menu.
class mtxDaubryApp : public mtxApplication {
  public:
    class MainWnd : public mtxWnd {
      public:
        static constexpr uint32_t kMenuId = 40601;
        static constexpr uint32_t kIconId = 40501;

        LRESULT OnActivate(WPARAM, LPARAM) override;
        LRESULT OnSize(WPARAM, LPARAM) override;
        LRESULT OnDestroy(WPARAM, LPARAM) override;
        LRESULT OnEraseBkgnd(WPARAM, LPARAM) override { return 0x10000; }
        LRESULT OnPowerBroadcast(WPARAM, LPARAM) override { return mtxOs::BROADCAST_QUERY_DENY; }
        LRESULT OnSysCommand(WPARAM wParam, LPARAM) override;
        LRESULT OnCommand(WPARAM wParam, LPARAM) override;

        // The recovery copy of a program that did not end cleanly, when one
        // is in the recovery folder: asks whether to recover it. Yes opens
        // it as a project of no name (the copy becomes this program's own),
        // No removes it, Cancel keeps it for the next start.
        void OfferRecovery();
        // Where the editor's run is kept while it fills (null: nowhere).
        std::unique_ptr<mtxRecoveryFile> recovery;

        // Opens a picture named on the command line, then shows the window maximised.
        void OpenFromCommandLine(const std::string& path);
        // Names the open picture in the title: "photo.png - Daubry".
        void ShowPictureName(const std::string& path);

        // Files dropped on the window: the first is opened by OpenDropped, or
        // all are added to the collection when the Samples dialog is on top.
        // Closing the window asks first when the picture has unsaved changes.
        LRESULT WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam) override;
        // Opens a picture dropped on the window, as File, Open would.
        void OpenDropped(const std::string& path);

        // Before the picture is let go (another opens, the program ends):
        // with changes since the last save, asks whether to save them. Yes
        // saves through File, Save (File, Save Project for the work of a
        // project, recovered ones too); true when the work may go on (nothing to
        // lose, saved, or No), false on Cancel or a save that did not happen.
        bool AskToSaveFirst();
        // Tests answer the question here: called once it is shown.
        std::function<void(mtxIEMessageBox&)> onQuestion;

        // The key chords that the menu shows beside its items (Ctrl+O, ...),
        // read from the menu bar once it is set.
        void LoadAccelerators();
        // Offers a message of the loop to the accelerators: true when it was
        // a chord, now sent as its menu command, and must go no further.
        bool TranslateAccelerator(const mtxOs::MSG& msg);
        mtxOs::AcceleratorTable accelerators;

        // Opens a file or address with the desktop's program; tests replace it.
        std::function<bool(const std::string&)> shellOpen;
        // Opens the help page, or says where it is when nothing can show it.
        void OpenPage(const std::string& page);
        // The editor window with the document controller.
        mtxImageEditorVD editor;
        // Shows the file dialogs over the editor.
        mtxIEFileDialogHost fileDialogs{&editor};

      private:
        void OnHelpContents();
        void OnWebSite();
        void OnOpen();
        // Go, Stop or Clear of the filling tool, when it is the tool in use.
        void OnFillCommand(uint32_t action);
        void OnOpenProject();
        void OnSave();
        void OnDropFiles(mtxOs::HDROP drop);

        bool asking_ = false;  // the unsaved-work question is open
    };

    mtxDaubryApp(void* instance, void* previousInstance, const char* commandLine, int show);
    ~mtxDaubryApp() override;

    // Creates the main window, its menu and the editor with the samples of the
    // last run (the bundled flowers on a first start), shows them, offers a
    // recovery copy left by a crash and opens the picture of the command
    // line. 0 when the editor cannot be created.
    int Init() override;

    // The program's icon (resource 40501), null when it cannot be read.
    static mtxOs::HICON ProgramIcon();

    MainWnd mainWnd;
};

// The help page installed with the program: share/daubry/help/daubry.html
// beside the program's bin folder, else the build tree's copy; empty when
// neither exists.
std::string mtxInstalledHelpPage();
// The help page that Help, Contents opens: daubry.html in the folder named by
// the settings value "ins_path" when there is one, else the installed page,
// else daubry.html in the current directory.
std::string mtxHelpFilePath(mtxRegistry& settings);
// What the web-site item opens: the help page's about section, as a file://
// address.
std::string mtxDocumentationPath(mtxRegistry& settings);
