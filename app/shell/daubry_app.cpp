#include "app/shell/daubry_app.h"

#include "base/share_folder.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/document/designer.h"
#include "app/document/picture_file.h"
#include "app/editor/about_dlg.h"
#include "app/filling/lawn_sample_dlg.h"
#include "app/filling/mdf_field.h"
#include "app/shell/command_line.h"
#include "app/shell/picture.h"
#include "base/file_dialog.h"
#include "platform/drop_files.h"
#include "platform/message_box.h"
#include "platform/os_file.h"
#include "platform/path.h"
#include "platform/shell_open.h"
#include "ui/strings.h"

using namespace mtxOs;

namespace {

namespace fs = std::filesystem;

constexpr const char* kHelpPageName = "daubry.html";
constexpr const char* kProjectType = "Daubry project (*.daubry)";
constexpr const char* kProjectPattern = "*.daubry";

// The page in the share folder of an installed program (bin/../share/daubry),
// empty when the program is not installed there.
// A file:// address of the path, made absolute, with the fragment. Bytes
// that may not stand in an address (spaces, '#', '%', non-ASCII) are
// percent-encoded, so the fragment stays the fragment.
std::string FileAddress(const std::string& path, const char* fragment) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    std::string plain = error ? path : absolute.lexically_normal().string();
    std::string address = "file://";
    for (unsigned char c : plain) {
        if (std::isalnum(c) || (c && std::strchr("/-._~!$&'()*+,;=:@", c))) {
            address += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            address += escaped;
        }
    }
    return address + "#" + fragment;
}

}  // namespace

std::string mtxInstalledHelpPage() {
    // Installed beside the program, else the build tree's copy.
    std::string page = mtxFindShared(std::string("help/") + kHelpPageName, mtxShareFolders());
    std::error_code error;
    return fs::is_regular_file(page, error) ? page : std::string();
}

std::string mtxHelpFilePath(mtxRegistry& settings) {
    std::string folder;
    if (settings.GetString(nullptr, "ins_path", folder) && !folder.empty()) {
        if (folder.back() != '/') folder += '/';
        return folder + kHelpPageName;
    }
    std::string page = mtxInstalledHelpPage();
    return page.empty() ? kHelpPageName : page;
}

std::string mtxDocumentationPath(mtxRegistry& settings) {
    return FileAddress(mtxHelpFilePath(settings), "about");
}

mtxDaubryApp::mtxDaubryApp(void* instance, void* previousInstance, const char* commandLine,
                           int show)
    : mtxApplication(instance, previousInstance, commandLine, show) {
    mainWnd.shellOpen = [](const std::string& target) { return ShellOpen(target); };
    settings.Open(kDaubrySettingsKey);
    fileDialogHost = &mainWnd.fileDialogs;
}

mtxDaubryApp::~mtxDaubryApp() {
    fileDialogHost = nullptr;
}

HICON mtxDaubryApp::ProgramIcon() {
    // Loaded once and kept for the process: the window class refers to it for
    // as long as the class exists.
    static HICON icon = [] {
        Bitmap picture;
        if (!mtxLoadPictureResource(MainWnd::kIconId, picture)) return HICON{};
        return CreateIcon(picture.pixels.data(), picture.width, picture.height);
    }();
    return icon;
}

int mtxDaubryApp::Init() {
    mainWnd.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "Daubry", 0, 0, 500, 350, 0,
                   ProgramIcon());
    mainWnd.SetMenu(MainWnd::kMenuId);
    mainWnd.LoadAccelerators();
    if (!mainWnd.editor.Create(&mainWnd, 0, 0, 150, 100)) return 0;
    mainWnd.editor.SetUp();
    mainWnd.editor.RestoreSamples(settings);
    if (mtxIEDesigner* designer = mainWnd.editor.GetDesigner())
        designer->onPictureOpened = [this](const std::string& path) {
            mainWnd.ShowPictureName(path);
        };
    mainWnd.editor.Show(SW_SHOWMAXIMIZED);
    mainWnd.Show(SW_SHOWMAXIMIZED);
    mainWnd.recovery = std::make_unique<mtxRecoveryFile>(mtxRecoveryFile::DefaultFolder());
    if (mtxIEDesigner* designer = mainWnd.editor.GetDesigner())
        designer->recovery = mainWnd.recovery.get();
    mainWnd.OfferRecovery();

    std::string path;
    if (!mtxCommandLinePath(commandLine, path)) return 1;
    mainWnd.OpenFromCommandLine(path);
    return 1;
}

LRESULT mtxDaubryApp::MainWnd::OnActivate(WPARAM, LPARAM) {
    SetFocus(editor.Handle());
    return 0;
}

LRESULT mtxDaubryApp::MainWnd::OnSize(WPARAM, LPARAM) {
    RECT client;
    if (GetClientRect(Handle(), client))
        MoveWindow(editor.Handle(), 0, 0, client.right, client.bottom, true);
    return 0;
}

LRESULT mtxDaubryApp::MainWnd::OnDestroy(WPARAM, LPARAM) {
    // A clean exit: the user saved the work or chose to let it go.
    if (mtxIEDesigner* designer = editor.GetDesigner()) designer->recovery = nullptr;
    if (recovery) recovery->Remove();
    PostQuitMessage(0);
    return 0;
}

LRESULT mtxDaubryApp::MainWnd::OnSysCommand(WPARAM wParam, LPARAM) {
    // Neither the screen saver nor display power-down while the program is active.
    uint32_t command = static_cast<uint32_t>(wParam) & 0xFFF0;
    return command == SC_SCREENSAVE || command == SC_MONITORPOWER ? 1 : 0;
}

LRESULT mtxDaubryApp::MainWnd::OnCommand(WPARAM wParam, LPARAM) {
    uint32_t id = LoWord(wParam);
    if (id < ID_EXIT || id > ID_REDO) return 0;
    switch (id) {
        case ID_EXIT:
            if (AskToSaveFirst()) DestroyWindow(Handle());
            break;
        case ID_ABOUT:
            new mtxIEAboutDlg(&editor);
            break;
        case ID_OPEN:
            OnOpen();
            break;
        case ID_SAVE:
            OnSave();
            break;
        case ID_OPEN_PROJECT:
            OnOpenProject();
            break;
        case ID_SAVE_PROJECT:
            if (mtxIEDesigner* designer = editor.GetDesigner()) designer->SaveProject();
            break;
        case ID_EXPORT_AT_SIZE:
            if (mtxIEDesigner* designer = editor.GetDesigner()) designer->ExportAtSize();
            break;
        case ID_EXPORT_TIMELAPSE:
            if (mtxIEDesigner* designer = editor.GetDesigner()) designer->ExportTimelapse();
            break;
        case ID_WEBSITE:
        case ID_WEBSITE_MENU:
            OnWebSite();
            break;
        case ID_HELP_CONTENTS:
            OnHelpContents();
            break;
        case ID_SAMPLES:
            if (mtxIEDesigner* designer = editor.GetDesigner()) designer->OpenSamplesDialog();
            break;
        case ID_FILLING:
            if (mtxIEDesigner* designer = editor.GetDesigner()) designer->OpenFillingDialog();
            break;
        case ID_GO:
            OnFillCommand(mtxIEMdfField::kGo);
            break;
        case ID_STOP:
            OnFillCommand(mtxIEMdfField::kStop);
            break;
        case ID_CLEAR:
            OnFillCommand(mtxIEMdfField::kClear);
            break;
        case ID_UNDO:
            if (mtxIEDesigner* designer = editor.GetDesigner()) designer->Undo();
            break;
        case ID_REDO:
            if (mtxIEDesigner* designer = editor.GetDesigner()) designer->Redo();
            break;
        default:
            break;
    }
    return 0;
}

// The Fill menu does what the filling tool's bar buttons do, from the keyboard.
void mtxDaubryApp::MainWnd::OnFillCommand(uint32_t action) {
    mtxIEDesigner* designer = editor.GetDesigner();
    mtxIEMdfField* field = designer ? designer->FillingTool() : nullptr;
    if (field) field->Process(action, 0);
}

void mtxDaubryApp::MainWnd::OnOpen() {
    mtxIEDesigner* designer = editor.GetDesigner();
    if (!designer || !AskToSaveFirst()) return;
    // Projects open beside pictures; the designer knows them by their bytes.
    std::vector<std::pair<std::string, std::string>> filters = mtxPictureOpenFilters();
    filters.front().first = "Pictures and projects";
    filters.front().second += ";" + std::string(kProjectPattern);
    filters.insert(filters.begin() + 1, {kProjectType, kProjectPattern});
    mtxFileDialog dialog(this, false, filters, "", "");
    dialog.SetInitialDirectory(designer->Document().openFolder);
    if (!dialog.Show()) return;
    designer->Open(dialog.Path(), 0);
    Show(SW_SHOWMAXIMIZED);
}

void mtxDaubryApp::MainWnd::OnOpenProject() {
    mtxIEDesigner* designer = editor.GetDesigner();
    if (!designer || !AskToSaveFirst()) return;
    mtxFileDialog dialog(this, false, {{kProjectType, kProjectPattern}, {"All files", "*"}}, "",
                         "");
    dialog.SetInitialDirectory(designer->Document().openFolder);
    if (!dialog.Show()) return;
    designer->OpenProject(dialog.Path());
    Show(SW_SHOWMAXIMIZED);
}

void mtxDaubryApp::MainWnd::OfferRecovery() {
    mtxIEDesigner* designer = editor.GetDesigner();
    if (!designer || !recovery) return;
    std::vector<std::string> left = mtxRecoveryFile::Left(mtxRecoveryFile::DefaultFolder());
    if (left.empty()) return;
    std::string text =
        mtxIELoadString(734, "Daubry did not end normally while filling. Recover the work?");
    uint32_t answer = mtxIEMessageBox::Ask(
        &editor, text.c_str(), mtxIELoadString(735, "Recover").c_str(), Handle(), onQuestion);
    if (answer == mtxIEMessageBox::kNo) {
        for (const std::string& file : left) mtxOs::Remove(file);
        return;
    }
    // The newest copy is this program's own from now on.
    if (answer != mtxIEMessageBox::kYes || !recovery->Adopt(left.front())) return;
    if (designer->OpenRecovered(recovery->Path()))
        SetWindowText(Handle(), mtxIELoadString(736, "Recovered project") + " - Daubry");
}

void mtxDaubryApp::MainWnd::OnSave() {
    if (mtxIEDesigner* designer = editor.GetDesigner()) designer->Save();
}

void mtxDaubryApp::MainWnd::OnHelpContents() {
    if (mtxApplication* app = mtxGetApp()) OpenPage(mtxHelpFilePath(app->settings));
}

void mtxDaubryApp::MainWnd::OnWebSite() {
    if (mtxApplication* app = mtxGetApp()) OpenPage(mtxDocumentationPath(app->settings));
}

void mtxDaubryApp::MainWnd::OpenPage(const std::string& page) {
    if (shellOpen && shellOpen(page)) return;
    // Without an opener the user still learns where the page is.
    std::string text =
        "No program to show web pages was found (xdg-utils installs one). "
        "The page is " +
        page;
    new mtxIEMessageBox(&editor, text.c_str(), "Help");
}

void mtxDaubryApp::MainWnd::OpenFromCommandLine(const std::string& path) {
    // A path that cannot be read is told over the editor; the program starts all the same.
    if (mtxIEDesigner* designer = editor.GetDesigner()) designer->Open(path, 0);
    Show(SW_SHOWMAXIMIZED);
}

LRESULT mtxDaubryApp::MainWnd::WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DROPFILES) {
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    if (message == WM_CLOSE && !AskToSaveFirst()) return 0;
    return mtxWnd::WindowProc(message, wParam, lParam);
}

void mtxDaubryApp::MainWnd::OnDropFiles(HDROP drop) {
    std::vector<std::string> paths;
    uint32_t count = DragQueryFileCount(drop);
    for (uint32_t i = 0; i < count; ++i) {
        std::string path;
        if (DragQueryFile(drop, i, path)) paths.push_back(path);
    }
    DragFinish(drop);
    // Not into a question or a file dialog that waits for an answer.
    if (paths.empty() || asking_ || fileDialogs.Running()) return;
    if (auto* samples = dynamic_cast<mtxIELawnSampleDlg*>(editor.TopModal())) {
        samples->AddFiles(paths);
        return;
    }
    // One picture at a time: of several files, the first is opened.
    OpenDropped(paths.front());
}

void mtxDaubryApp::MainWnd::OpenDropped(const std::string& path) {
    if (AskToSaveFirst()) OpenFromCommandLine(path);
}

bool mtxDaubryApp::MainWnd::AskToSaveFirst() {
    mtxIEDesigner* designer = editor.GetDesigner();
    if (!designer || !designer->Modified()) return true;
    if (asking_) return false;  // a second close while the question is open
    asking_ = true;
    std::string text =
        mtxIELoadString(732, "The picture has changes that are not saved. Save them first?");
    std::string title = mtxIELoadString(733, "Unsaved Changes");
    uint32_t answer =
        mtxIEMessageBox::Ask(&editor, text.c_str(), title.c_str(), Handle(), onQuestion);
    asking_ = false;
    if (answer == mtxIEMessageBox::kNo) return true;
    if (answer != mtxIEMessageBox::kYes) return false;
    // Work that belongs to a project is saved as one.
    if (designer->IsProject()) return designer->SaveProject() == 1;
    return designer->Save() == 1;
}

void mtxDaubryApp::MainWnd::LoadAccelerators() {
    Menu menu;
    accelerators = GetMenu(Handle(), menu) ? AcceleratorTable::FromMenu(menu) : AcceleratorTable();
}

bool mtxDaubryApp::MainWnd::TranslateAccelerator(const MSG& msg) {
    return mtxOs::TranslateAccelerator(Handle(), accelerators, msg);
}

void mtxDaubryApp::MainWnd::ShowPictureName(const std::string& path) {
    SetWindowText(Handle(), mtxPath(path).File() + " - Daubry");
}
