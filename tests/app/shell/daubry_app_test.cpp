// Covers mtxDaubryApp, its MainWnd, mtxSplashTask and mtxModule. The program's own shell classes:
// the command-line rule, the main window's handlers and commands, the splash picture and module
// loading.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "app/document/designer.h"
#include "app/document/recovery_file.h"
#include "app/editor/about_dlg.h"
#include "app/filling/lawn_filling_dlg.h"
#include "app/filling/lawn_sample_dlg.h"
#include "app/filling/lawn_sample_picker.h"
#include "app/shell/command_line.h"
#include "app/shell/daubry_app.h"
#include "app/shell/splash_task.h"
#include "base/module.h"
#include "base/share_folder.h"
#include "fill/project_file.h"
#include "fill/sample_collection.h"
#include "image/image_stack.h"
#include "platform/drop_files.h"
#include "platform/window_menu.h"
#include "tests/fill/stamp_log_support.h"
#include "tests/support/test_support.h"
#include "ui/combo_box.h"
#include "ui/dlg_ok_cancel.h"
#include "ui/edit.h"
#include "ui/label.h"
#include "ui/message_box.h"

using namespace mtxOs;

namespace {

TEST(CommandLine, ShortLinesNameNothing) {
    std::string path = "stale";
    EXPECT_EQ(mtxCommandLinePath(nullptr, path), 0);
    EXPECT_EQ(mtxCommandLinePath("", path), 0);
    EXPECT_EQ(mtxCommandLinePath("a", path), 0);
    EXPECT_EQ(mtxCommandLinePath("\"\"", path), 0);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(mtxCommandLinePath("a.b", path), 1);
    EXPECT_EQ(path, "a.b");
}

TEST(CommandLine, QuotesAroundAPathWithSpacesAreDropped) {
    std::string path;
    ASSERT_EQ(mtxCommandLinePath("\"/home/ann/my pictures/cat.jpg\"", path), 1);
    EXPECT_EQ(path, "/home/ann/my pictures/cat.jpg");
}

TEST(CommandLine, UnquotedSpacesStayInTheOnePath) {
    std::string path;
    ASSERT_EQ(mtxCommandLinePath("/tmp/a b c.png --verbose", path), 1);
    EXPECT_EQ(path, "/tmp/a b c.png --verbose");
}

TEST(CommandLine, ALoneQuoteAtEitherEndIsDropped) {
    std::string path;
    ASSERT_EQ(mtxCommandLinePath("\"/tmp/x.png", path), 1);
    EXPECT_EQ(path, "/tmp/x.png");
    ASSERT_EQ(mtxCommandLinePath("/tmp/x.png\"", path), 1);
    EXPECT_EQ(path, "/tmp/x.png");
    ASSERT_EQ(mtxCommandLinePath("\"\"\"", path), 1);  // three quotes: one left after both cuts
    EXPECT_EQ(path, "\"");
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        SetHeadless(true);
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
        setenv("XDG_STATE_HOME", (dir.Path() + "/state").c_str(), 1);
        app = std::make_unique<mtxDaubryApp>(nullptr, nullptr, "", SW_SHOWNORMAL);
        BeforeInit();
        ASSERT_EQ(app->Init(), 1);
        app->mainWnd.shellOpen = [this](const std::string& target) {
            opened.push_back(target);
            return true;
        };
    }
    void TearDown() override {
        if (IsWindow(app->mainWnd.Handle())) DestroyWindow(app->mainWnd.Handle());
        Drain();  // what the editor left queued, up to the quit the window posted
        app.reset();
        // Whatever is still queued goes too, so the next test starts from an
        // empty queue as a new process would.
        MSG msg;
        while (PeekMessage(msg, true)) {
        }
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_STATE_HOME");
    }
    // Runs between the application's construction and its Init.
    virtual void BeforeInit() {}
    LRESULT Send(uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessage(app->mainWnd.Handle(), message, wParam, lParam);
    }
    // Runs what is queued; the exit code when WM_QUIT came, -1 otherwise.
    int Drain() {
        MSG msg;
        while (PeekMessage(msg, true)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            DispatchMessage(msg);
        }
        return -1;
    }
    testing_support::TempDir dir;
    std::unique_ptr<mtxDaubryApp> app;
    std::vector<std::string> opened;
};

TEST_F(MainWindow, InitBuildsTheWindowMenuAndEditor) {
    HWND main = app->mainWnd.Handle();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(GetWindowText(main), "Daubry");
    EXPECT_TRUE(HasMenu(main));
    EXPECT_TRUE(IsWindowVisible(main));
    HWND editor = app->mainWnd.editor.Handle();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(GetParent(editor), main);
    RECT client, editorRect, mainRect;
    GetClientRect(main, client);
    GetWindowRect(editor, editorRect);
    EXPECT_EQ(editorRect.right - editorRect.left, client.right);  // OnSize made it cover the client
    EXPECT_EQ(editorRect.bottom - editorRect.top, client.bottom);
    GetWindowRect(main, mainRect);
    EXPECT_EQ(mainRect.right - mainRect.left, 500);
    EXPECT_EQ(GetFocus(), editor);  // activation hands the focus to the editor
}

TEST_F(MainWindow, HandlerResults) {
    EXPECT_EQ(Send(WM_ERASEBKGND), 0);
    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND), BROADCAST_QUERY_DENY);
    uint64_t before = DefWindowProcCount();
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE), 0);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_MONITORPOWER | 2, 2), 0);
    EXPECT_EQ(DefWindowProcCount(), before);  // both swallowed
    Send(WM_SYSCOMMAND, SC_MAXIMIZE);
    EXPECT_GT(DefWindowProcCount(), before);  // others go on to the system
}

TEST_F(MainWindow, ExitEndsTheLoopWithCodeZero) {
    PostMessage(app->mainWnd.Handle(), WM_COMMAND, ID_EXIT, 0);
    EXPECT_EQ(Drain(), 0);
    EXPECT_FALSE(IsWindow(app->mainWnd.Handle()));
}

TEST_F(MainWindow, TheCloseBoxEndsTheLoopToo) {
    PostMessage(app->mainWnd.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Drain(), 0);
}

TEST_F(MainWindow, HelpOpensTheBuildTreesPageWithoutInsPathAndTheFolderOfInsPathWithIt) {
    Send(WM_COMMAND, ID_HELP_CONTENTS);
    ASSERT_EQ(opened.size(), 1u);
    // Not installed: the copy in the build tree, which exists.
    EXPECT_TRUE(opened[0].ends_with("/share/help/daubry.html")) << opened[0];
    EXPECT_TRUE(std::filesystem::is_regular_file(opened[0]));
    EXPECT_EQ(opened[0], mtxInstalledHelpPage());
    app->settings.SetString(nullptr, "ins_path", "/opt/daubry");
    Send(WM_COMMAND, ID_HELP_CONTENTS);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], "/opt/daubry/daubry.html");
    Send(WM_COMMAND, ID_WEBSITE);
    Send(WM_COMMAND, ID_WEBSITE_MENU);
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[2], "file:///opt/daubry/daubry.html#about");
    EXPECT_EQ(opened[2], opened[3]);
}

TEST_F(MainWindow, WithoutAnOpenerHelpSaysWhereThePageIs) {
    app->mainWnd.shellOpen = [](const std::string&) { return false; };
    Send(WM_COMMAND, ID_HELP_CONTENTS);
    auto* box = dynamic_cast<mtxIEMessageBox*>(app->mainWnd.editor.TopModal());
    ASSERT_NE(box, nullptr);
    std::string text = box->label->text;
    EXPECT_NE(text.find(mtxInstalledHelpPage()), std::string::npos) << text;
    EXPECT_NE(text.find("xdg-utils"), std::string::npos) << text;
}

TEST_F(MainWindow, TheAboutAddressEscapesWhatWouldBreakIt) {
    app->settings.SetString(nullptr, "ins_path", "/opt/my daubry#2/100%/\xc3\xa9/");
    Send(WM_COMMAND, ID_WEBSITE);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "file:///opt/my%20daubry%232/100%25/%C3%A9/daubry.html#about");
}

TEST_F(MainWindow, ARelativeInsPathBecomesAnAbsoluteAddress) {
    app->settings.SetString(nullptr, "ins_path", "docs/../help");
    Send(WM_COMMAND, ID_HELP_CONTENTS);
    Send(WM_COMMAND, ID_WEBSITE);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], "docs/../help/daubry.html");  // handed to the opener as it stands
    std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(opened[1], "file://" + cwd + "/help/daubry.html#about");
}

TEST_F(MainWindow, OnlyTheLowWordCountsAndUnknownIdsDoNothing) {
    Send(WM_COMMAND, (5u << 16) | ID_HELP_CONTENTS);  // a notification code in the high word
    EXPECT_EQ(opened.size(), 1u);
    for (uint32_t id : {40101u, 40104u, 40107u, 40111u, 40122u, 1u}) {
        EXPECT_EQ(Send(WM_COMMAND, id), 0);
        EXPECT_TRUE(IsWindow(app->mainWnd.Handle())) << id;
    }
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(Drain(), -1);
}

TEST_F(MainWindow, OpenAndSaveShowTheFileDialogOverTheEditor) {
    mtxImageEditorVD& editor = app->mainWnd.editor;
    std::vector<std::string> titles;
    std::vector<size_t> filters;
    std::string photo = dir.Path() + "/photo.png";
    app->mainWnd.fileDialogs.onShown = [&](mtxIEFileDialog& dialog) {
        titles.push_back(editor.TopModal() == &dialog ? dialog.title : "not on top");
        filters.push_back(size_t(dialog.filterBox->Count()));
        // A menu command while it runs is dropped, not run inside the dialog.
        PostMessage(app->mainWnd.Handle(), WM_COMMAND, ID_EXIT, 0);
        PostMessage(editor.Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    };
    Send(WM_COMMAND, ID_OPEN);
    EXPECT_EQ(titles, (std::vector<std::string>{"Open"}));
    // Without a picture Save says so and shows no dialog.
    Send(WM_COMMAND, ID_SAVE);
    EXPECT_EQ(titles.size(), 1u);
    EXPECT_NE(editor.TopModal(), nullptr);  // the message
    editor.TopModal()->Show(0);
    while (editor.TopModal()) editor.CloseModal(editor.TopModal(), true);
    // With one, it asks for the name, suggesting the photo's.
    std::filesystem::copy_file(std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png", photo);
    ASSERT_EQ(editor.GetDesigner()->Open(photo, 0), 1);
    EXPECT_EQ(GetWindowText(app->mainWnd.Handle()), "photo.png - Daubry");
    std::string suggested;
    app->mainWnd.fileDialogs.onShown = [&](mtxIEFileDialog& dialog) {
        titles.push_back(dialog.title);
        filters.push_back(size_t(dialog.filterBox->Count()));
        suggested = dialog.pathField->Text();
        PostMessage(editor.Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    };
    Send(WM_COMMAND, ID_SAVE);
    EXPECT_EQ(titles, (std::vector<std::string>{"Open", "Save As"}));
    EXPECT_EQ(filters, (std::vector<size_t>{3, 3}));  // pictures, projects, every file; three types
    EXPECT_EQ(suggested, "photo");
    EXPECT_EQ(editor.TopModal(), nullptr);
    EXPECT_TRUE(IsWindow(app->mainWnd.Handle()));
    EXPECT_EQ(Drain(), -1);
}

TEST_F(MainWindow, TheMenusChordsAreTheMainWindowsAccelerators) {
    const AcceleratorTable& keys = app->mainWnd.accelerators;
    // The menu's chords, as the table read from the menu holds them.
    EXPECT_EQ(keys.Entries().size(), 7u);
    EXPECT_EQ(keys.CommandFor(WM_KEYDOWN, VK_F1 + 4, 0), ID_GO);
    EXPECT_EQ(keys.CommandFor(WM_KEYDOWN, 'Z', FCONTROL), ID_UNDO);
    EXPECT_EQ(keys.CommandFor(WM_KEYDOWN, 'Q', FCONTROL), ID_EXIT);
    // Keys without the chord's modifiers go on to the focus window as before.
    MSG key{app->mainWnd.editor.Handle(), WM_KEYDOWN, 'Q', 1, 0, {}};
    EXPECT_FALSE(app->mainWnd.TranslateAccelerator(key));
    EXPECT_TRUE(IsWindow(app->mainWnd.Handle()));
}

TEST_F(MainWindow, EditUndoAndRedoWalkTheHistory) {
    mtxIEDesigner& designer = *app->mainWnd.editor.GetDesigner();
    std::string photo = dir.Path() + "/photo.png";
    std::filesystem::copy_file(std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png", photo);
    ASSERT_EQ(designer.Open(photo, 0), 1);
    designer.Process(mtxIEDesigner::kSetOpacity, 100);
    mtxImageStack::Layer* layer = designer.Picture()->GetLayer(0);
    ASSERT_EQ(layer->Opacity(), 100);
    Send(WM_COMMAND, ID_UNDO);
    EXPECT_EQ(layer->Opacity(), 255);
    Send(WM_COMMAND, ID_REDO);
    EXPECT_EQ(layer->Opacity(), 100);
}

TEST_F(MainWindow, ADroppedFileIsOpenedAndItsDropFreed) {
    POINT at{10, 10};
    ASSERT_TRUE(QueueFileDrop(app->mainWnd.Handle(), {"/tmp/first.png", "/tmp/second.png"}, &at));
    MSG msg;
    ASSERT_TRUE(PeekMessage(msg, true));
    ASSERT_EQ(msg.message, WM_DROPFILES);
    HDROP drop = reinterpret_cast<HDROP>(msg.wParam);
    ShowWindow(app->mainWnd.Handle(), SW_SHOWNORMAL);
    DispatchMessage(msg);
    EXPECT_EQ(DragQueryFileCount(drop), 0u);
    // Opened as a path of the command line is (a missing file is told over
    // the editor); the window comes up.
    EXPECT_TRUE(IsWindowVisible(app->mainWnd.Handle()));
    EXPECT_EQ(Drain(), -1);
}

TEST_F(MainWindow, AboutIsADialogOverTheEditor) {
    // Large enough that the dialog, centred, starts below its own height.
    MoveWindow(app->mainWnd.Handle(), 0, 0, 1000, 700, true);
    Send(WM_COMMAND, ID_ABOUT);
    mtxIECtrl* top = app->mainWnd.editor.TopModal();
    ASSERT_NE(top, nullptr);
    auto* about = dynamic_cast<mtxIEAboutDlg*>(top);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->title, "About Daubry");
    // It lies whole in the editor, its button inside it, and a click on the
    // button closes it.
    mtxImageEditorVD& editor = app->mainWnd.editor;
    RECT r = about->rect, ok = about->okButton->EditorRect();
    EXPECT_GT(about->Height(), about->TitleBarHeight());
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= editor.clientRect.right &&
                r.bottom <= editor.clientRect.bottom);
    EXPECT_TRUE(ok.top > r.top && ok.bottom <= r.bottom && ok.left > r.left && ok.right < r.right);
    int x = (ok.left + ok.right) / 2, y = (ok.top + ok.bottom) / 2;
    editor.RouteMouse(mtxIECtrl::kLButtonDown, x, y, MK_LBUTTON);
    editor.RouteMouse(mtxIECtrl::kLButtonUp, x, y, 0);
    EXPECT_EQ(Drain(), -1);
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(MainWindow, SamplesFillingAndGoOpenTheirDialogs) {
    mtxImageEditorVD& editor = app->mainWnd.editor;
    Send(WM_COMMAND, ID_SAMPLES);
    EXPECT_NE(dynamic_cast<mtxIELawnSampleDlg*>(editor.TopModal()), nullptr);
    while (editor.TopModal()) editor.CloseModal(editor.TopModal(), true);
    Send(WM_COMMAND, ID_FILLING);
    EXPECT_NE(dynamic_cast<mtxIELawnFillingDlg*>(editor.TopModal()), nullptr);
    while (editor.TopModal()) editor.CloseModal(editor.TopModal(), true);
    // Fill, Go reaches the filling tool, which asks for a photo first.
    Send(WM_COMMAND, ID_GO);
    EXPECT_NE(dynamic_cast<mtxIEMessageBox*>(editor.TopModal()), nullptr);
    while (editor.TopModal()) editor.CloseModal(editor.TopModal(), true);
    EXPECT_EQ(Drain(), -1);
}

TEST_F(MainWindow, ACommandLinePathThatCannotBeReadStartsTheProgramAllTheSame) {
    app->mainWnd.OpenFromCommandLine(dir.Path() + "/missing.png");
    EXPECT_EQ(app->mainWnd.editor.GetDesigner()->Picture(), nullptr);
    EXPECT_NE(app->mainWnd.editor.TopModal(), nullptr);  // says why
    EXPECT_EQ(GetWindowText(app->mainWnd.Handle()), "Daubry");
    std::string photo = dir.Path() + "/p.png";
    std::filesystem::copy_file(std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png", photo);
    app->mainWnd.OpenFromCommandLine(photo);
    EXPECT_NE(app->mainWnd.editor.GetDesigner()->Picture(), nullptr);
}

// Each start has the samples the last one ended with; a first start has the
// bundled flowers, and so has one whose remembered files are all gone.
TEST_F(MainWindow, TheLastRunsSamplesComeBackAndAFirstStartHasTheFlowers) {
    auto paths = [this] {
        const SampleCollection& samples = app->mainWnd.editor.samples;
        std::vector<std::string> list;
        for (int32_t i = 0; i < samples.count; ++i) list.push_back(samples.samples[i].path);
        return list;
    };
    auto restart = [this] {
        DestroyWindow(app->mainWnd.Handle());
        Drain();
        app.reset();
        app = std::make_unique<mtxDaubryApp>(nullptr, nullptr, "", SW_SHOWNORMAL);
        ASSERT_EQ(app->Init(), 1);
    };
    const std::string flowers = mtxDefaultCollection();
    ASSERT_FALSE(flowers.empty());
    std::vector<std::string> first = paths();
    ASSERT_GT(first.size(), 1u);
    for (const std::string& path : first)
        EXPECT_EQ(std::filesystem::path(path).parent_path(),
                  std::filesystem::path(flowers).parent_path());

    SampleCollection& samples = app->mainWnd.editor.samples;
    samples.RemoveSample(0);
    std::string own = dir.Path() + "/own.png";
    std::filesystem::copy_file(std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png", own);
    ASSERT_EQ(samples.AddSample(own), 1);
    std::vector<std::string> chosen = paths();
    restart();
    EXPECT_EQ(paths(), chosen);

    app->mainWnd.editor.samples.ClearSamples();
    restart();
    EXPECT_TRUE(paths().empty()) << "an emptied collection stays empty";
    ASSERT_EQ(app->mainWnd.editor.samples.AddSample(own), 1);
    restart();
    EXPECT_EQ(paths(), std::vector<std::string>{own});
    std::filesystem::remove(own);
    restart();
    EXPECT_EQ(paths(), first);
}

// The question before unsaved changes are lost, answered as the test says.
class UnsavedWork : public MainWindow {
  protected:
    void SetUp() override {
        MainWindow::SetUp();
        photo = CopyPhoto("photo.png");
        other = CopyPhoto("other.png");
        ASSERT_EQ(Designer().Open(photo, 0), 1);
        app->mainWnd.onQuestion = [this](mtxIEMessageBox& box) {
            questions.push_back(box.title);
            EXPECT_EQ(app->mainWnd.editor.TopModal(), &box);
            EXPECT_NE(box.noButton, nullptr);
            box.Process(answer, 0);
        };
    }
    std::string CopyPhoto(const std::string& name) {
        std::string path = dir.Path() + "/" + name;
        std::filesystem::copy_file(std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png", path);
        return path;
    }
    mtxIEDesigner& Designer() { return *app->mainWnd.editor.GetDesigner(); }
    // A layer added through its dialog: a change to the picture.
    void Change() {
        Designer().Process(mtxIEDesigner::kAddLayer, 0);
        auto* dialog = dynamic_cast<mtxIEDlgOkCancel*>(app->mainWnd.editor.TopModal());
        ASSERT_NE(dialog, nullptr);
        dialog->Process(mtxIEDlgOkCancel::kOk, 0);
        ASSERT_TRUE(Designer().Modified());
    }
    // The save dialog takes name as a PNG; the open dialog is cancelled.
    void AnswerFileDialogs(const std::string& name) {
        app->mainWnd.fileDialogs.onShown = [this, name](mtxIEFileDialog& dialog) {
            dialogs.push_back(dialog.title);
            if (dialog.title == "Save As" && !name.empty()) {
                dialog.filterBox->Select(1, true);
                dialog.pathField->SetText(name);
                PostMessage(app->mainWnd.editor.Handle(), WM_KEYDOWN, VK_RETURN, 1);
            } else {
                PostMessage(app->mainWnd.editor.Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
            }
        };
    }
    void Drop(const std::vector<std::string>& paths) {
        POINT at{10, 10};
        ASSERT_TRUE(QueueFileDrop(app->mainWnd.Handle(), paths, &at));
        MSG msg;
        ASSERT_TRUE(PeekMessage(msg, true));
        ASSERT_EQ(msg.message, WM_DROPFILES);
        DispatchMessage(msg);
    }
    std::string photo, other;
    uint32_t answer = mtxIEMessageBox::kCancel;
    std::vector<std::string> questions, dialogs;
};

TEST_F(UnsavedWork, NoQuestionWithoutChangesOrAfterASave) {
    Drop({other});
    EXPECT_EQ(Designer().Document().Path(), other);
    Change();
    ASSERT_EQ(Designer().SaveAs(dir.Path() + "/saved.png", 2), 1);
    EXPECT_FALSE(Designer().Modified());
    PostMessage(app->mainWnd.Handle(), WM_COMMAND, ID_EXIT, 0);
    EXPECT_EQ(Drain(), 0);
    EXPECT_TRUE(questions.empty());
}

TEST_F(UnsavedWork, CancelKeepsThePictureTheToolAndTheWindow) {
    Change();
    mtxImageStack* picture = Designer().Picture();
    mtxIEMdf* tool = Designer().CurrentTool();
    AnswerFileDialogs("");
    PostMessage(app->mainWnd.Handle(), WM_COMMAND, ID_EXIT, 0);
    EXPECT_EQ(Drain(), -1);
    PostMessage(app->mainWnd.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    EXPECT_EQ(Drain(), -1);
    Send(WM_COMMAND, ID_OPEN);
    Drop({other});
    EXPECT_EQ(questions, std::vector<std::string>(4, "Unsaved Changes"));
    EXPECT_TRUE(dialogs.empty());  // neither the open nor the save dialog
    EXPECT_TRUE(IsWindow(app->mainWnd.Handle()));
    EXPECT_EQ(Designer().Picture(), picture);
    EXPECT_EQ(Designer().Picture()->LayerCount(), 2);
    EXPECT_EQ(Designer().CurrentTool(), tool);
    EXPECT_EQ(Designer().Document().Path(), photo);
    EXPECT_TRUE(Designer().Modified());
    EXPECT_EQ(app->mainWnd.editor.TopModal(), nullptr);
}

TEST_F(UnsavedWork, NoDiscardsTheChangesAndGoesOn) {
    answer = mtxIEMessageBox::kNo;
    Change();
    Drop({other});
    EXPECT_EQ(Designer().Document().Path(), other);
    EXPECT_EQ(Designer().Picture()->LayerCount(), 1);
    EXPECT_FALSE(Designer().Modified());
    Change();
    PostMessage(app->mainWnd.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Drain(), 0);
    EXPECT_FALSE(IsWindow(app->mainWnd.Handle()));
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/saved.png"));
}

TEST_F(UnsavedWork, YesSavesFirstAndACancelledSaveStopsWhatWasAsked) {
    answer = mtxIEMessageBox::kYes;
    Change();
    // The save dialog cancelled: the other photo is not opened.
    AnswerFileDialogs("");
    Drop({other});
    EXPECT_EQ(dialogs, (std::vector<std::string>{"Save As"}));
    EXPECT_EQ(Designer().Document().Path(), photo);
    EXPECT_TRUE(Designer().Modified());
    // Saved: then the open dialog comes.
    std::string saved = dir.Path() + "/saved.png";
    AnswerFileDialogs(saved);
    Send(WM_COMMAND, ID_OPEN);
    EXPECT_EQ(dialogs, (std::vector<std::string>{"Save As", "Save As", "Open"}));
    ASSERT_TRUE(std::filesystem::exists(saved));
    EXPECT_FALSE(Designer().Modified());
    // And exit saves, then ends.
    Change();
    std::filesystem::remove(saved);
    PostMessage(app->mainWnd.Handle(), WM_COMMAND, ID_EXIT, 0);
    EXPECT_EQ(Drain(), 0);
    EXPECT_TRUE(std::filesystem::exists(saved));
    EXPECT_EQ(questions.size(), 3u);
}

TEST_F(MainWindow, FilesDroppedOnTheSamplesDialogAreAddedToTheCollection) {
    std::string a = dir.Path() + "/a.png", b = dir.Path() + "/b.png";
    std::filesystem::copy_file(std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png", a);
    std::filesystem::copy_file(a, b);
    mtxImageEditorVD& editor = app->mainWnd.editor;
    int before = editor.samples.count;
    Send(WM_COMMAND, ID_SAMPLES);
    auto* samples = dynamic_cast<mtxIELawnSampleDlg*>(editor.TopModal());
    ASSERT_NE(samples, nullptr);
    POINT at{10, 10};
    ASSERT_TRUE(QueueFileDrop(app->mainWnd.Handle(), {a, b}, &at));
    EXPECT_EQ(Drain(), -1);
    EXPECT_EQ(editor.samples.count, before + 2);
    EXPECT_EQ(editor.TopModal(), samples);
    EXPECT_TRUE(samples->showsChange);
    EXPECT_EQ(editor.GetDesigner()->Picture(), nullptr);  // no photo opened
    // A file that is no picture is told; the dialog stays.
    ASSERT_TRUE(QueueFileDrop(app->mainWnd.Handle(), {dir.Path() + "/none.png"}, &at));
    EXPECT_EQ(Drain(), -1);
    EXPECT_EQ(editor.samples.count, before + 2);
    EXPECT_NE(editor.TopModal(), nullptr);
    EXPECT_NE(dynamic_cast<mtxIEMessageBox*>(editor.TopModal()), nullptr);
}

TEST(SplashPicture, OverlaysSitAtTheirCorners) {
    Bitmap background, upper, lower, out;
    background.Resize(100, 80, 0xFF000000);
    upper.Resize(10, 5, 0xFFFF0000);
    lower.Resize(20, 6, 0x00000000);
    lower.Fill(0, 0, 20, 6, 0x800000FF);  // half-transparent blue
    mtxComposeSplash(background, upper, lower, out);
    ASSERT_EQ(out.width, 100);
    EXPECT_EQ(out.Row(30)[15], 0xFFFF0000u);
    EXPECT_EQ(out.Row(34)[24], 0xFFFF0000u);
    EXPECT_EQ(out.Row(29)[15], 0xFF000000u);
    EXPECT_EQ(out.Row(35)[15], 0xFF000000u);
    uint32_t blended = out.Row(79)[15];
    EXPECT_EQ(blended & 0xFF, 0x80u);  // half of full blue over black
    EXPECT_EQ(out.Row(74)[15], blended);
    EXPECT_EQ(out.Row(73)[15], 0xFF000000u);
    EXPECT_EQ(out.Row(79)[14], 0xFF000000u);
    mtxComposeSplash(Bitmap{}, upper, lower, out);
    EXPECT_EQ(out.width, 0);
}

TEST(SplashPicture, TheProgramsPicturesCompose) {
    mtxSplashTask::SplashWnd wnd;
    EXPECT_EQ(wnd.Id(), 9999u);
    EXPECT_FALSE(wnd.IdFromPool());
    EXPECT_GT(wnd.Width(), 100);
    EXPECT_GT(wnd.Height(), 100);
}

TEST(SplashTask, ClosesWithoutADisplay) {
    const char* display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    { mtxSplashTask splash; }  // must not hang
    if (display) setenv("DISPLAY", saved.c_str(), 1);
}

TEST(Module, TriesTheSystemFolderSecond) {
    testing_support::TempDir dir;
    // A library that the loader's search does not find by its name alone.
    std::string source;
    for (const char* candidate :
         {"/usr/lib/x86_64-linux-gnu/libz.so.1", "/lib/x86_64-linux-gnu/libz.so.1",
          "/usr/lib/aarch64-linux-gnu/libz.so.1", "/usr/lib/libz.so.1"})
        if (std::filesystem::exists(candidate)) source = candidate;
    if (source.empty()) GTEST_SKIP() << "no zlib to copy";
    std::filesystem::copy_file(source, dir.File("libdaubrytestonly.so"));
    mtxModule module;
    ASSERT_EQ(module.Load("libdaubrytestonly.so", dir.Path(), "/nonexistent"), 1);
    EXPECT_EQ(module.Attempt(), 2);
    EXPECT_NE(module.GetProc("crc32"), nullptr);
    EXPECT_EQ(module.GetProc("no_such_symbol"), nullptr);
    EXPECT_EQ(module.Load("libdaubrytestonly.so", "/nonexistent", dir.Path()), 1);
    EXPECT_EQ(module.Attempt(), 3);
    EXPECT_EQ(module.Load("libnowhere-at-all.so", dir.Path(), dir.Path()), 0);
    EXPECT_EQ(module.Handle(), nullptr);
    EXPECT_EQ(module.Attempt(), 0);
}

TEST(Module, TheProgramsModuleHoldsTheResources) {
    mtxModule self;
    EXPECT_GT(self.SizeOfResource(40601, "MENU"), 0u);
    EXPECT_EQ(self.SizeOfResource(1, "MENU"), 0u);
    EXPECT_EQ(self.GetProc("main"), nullptr);
}

}  // namespace

namespace {

// A program that ended while filling left its copy in the state folder; the
// next start asks, and the test answers.
class Recovery : public MainWindow {
  protected:
    void BeforeInit() override {
        folder = dir.Path() + "/state/daubry";
        std::filesystem::create_directories(folder);
        pid_t child = fork();
        if (child == 0) _exit(0);
        waitpid(child, nullptr, 0);
        left = folder + "/recovery-" + std::to_string(child) + ".daubry";
        mtxProject project;
        project.photo.Create(80, 60, 0xFF806040u);
        for (int i = 0; i < 2; ++i) {
            auto sample = std::make_unique<mtxProject::Sample>();
            sample->path = "/elsewhere/disc" + std::to_string(i) + ".png";
            sample->picture.Create(32, 32, 0xFF20A040u + uint32_t(i));
            project.samples.push_back(std::move(sample));
        }
        project.log = stamp_log_test::RandomLog(50, 2, 9, 0);
        std::string error;
        ASSERT_EQ(mtxProjectFile::Save(project, left, error), 1) << error;
        app->mainWnd.onQuestion = [this](mtxIEMessageBox& box) {
            questions.push_back(box.title);
            box.Process(answer, 0);
        };
    }
    mtxIEDesigner& Designer() { return *app->mainWnd.editor.GetDesigner(); }
    std::string folder, left;
    std::vector<std::string> questions;
    uint32_t answer = mtxIEMessageBox::kYes;
};

TEST_F(Recovery, YesOpensTheCopyAsAnUnsavedProjectAndACleanExitRemovesIt) {
    EXPECT_EQ(questions, (std::vector<std::string>{"Recover"}));
    ASSERT_NE(Designer().Picture(), nullptr);
    EXPECT_EQ(Designer().Picture()->width, 80);
    EXPECT_EQ(GetWindowText(app->mainWnd.Handle()), "Recovered project - Daubry");
    EXPECT_TRUE(Designer().Modified());
    EXPECT_TRUE(Designer().IsProject()) << "closing offers to save it as a project";
    EXPECT_EQ(Designer().samples.count, 2);
    // The copy is the program's own now: no longer offered, and gone at the end.
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_TRUE(std::filesystem::exists(app->mainWnd.recovery->Path()));
    EXPECT_TRUE(mtxRecoveryFile::Left(folder).empty());
    Designer().MarkSaved();  // no question at the end
    DestroyWindow(app->mainWnd.Handle());
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

class RecoveryRefused : public Recovery {
  protected:
    void BeforeInit() override {
        Recovery::BeforeInit();
        answer = mtxIEMessageBox::kNo;
    }
};

// Unsaved changes to a project are saved as a project: Yes shows the save
// dialog with the one project type.
TEST_F(Recovery, YesToUnsavedChangesOfAProjectSavesTheProject) {
    std::string project = dir.Path() + "/work.daubry";
    std::filesystem::rename(app->mainWnd.recovery->Path(), project);
    ASSERT_EQ(Designer().Open(project, 0), 1);
    EXPECT_EQ(GetWindowText(app->mainWnd.Handle()), "work.daubry - Daubry");
    Designer().MarkModified();
    std::vector<size_t> filters;
    std::string suggested;
    app->mainWnd.fileDialogs.onShown = [&](mtxIEFileDialog& dialog) {
        filters.push_back(size_t(dialog.filterBox->Count()));
        suggested = dialog.pathField->Text();
        PostMessage(app->mainWnd.editor.Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    };
    EXPECT_FALSE(app->mainWnd.AskToSaveFirst()) << "the dialog was cancelled";
    EXPECT_EQ(filters, (std::vector<size_t>{1}));
    EXPECT_EQ(suggested, "work");
    Designer().MarkSaved();
}

TEST_F(RecoveryRefused, NoRemovesTheCopy) {
    EXPECT_EQ(questions, (std::vector<std::string>{"Recover"}));
    EXPECT_EQ(Designer().Picture(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(left));
}

}  // namespace
