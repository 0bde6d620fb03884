// The toolkit's file dialog: filtering, typed paths, the overwrite question,
// a folder it cannot read, and the nested loop that keeps Show synchronous.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "base/file_dialog.h"
#include "platform/folder.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/check_box.h"
#include "ui/combo_box.h"
#include "ui/edit.h"
#include "ui/file_dialog.h"
#include "ui/list_box.h"
#include "ui/spin.h"

using namespace ui_test;
using namespace mtxOs;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

using Filter = std::vector<std::pair<std::string, std::string>>;
const Filter kPictures = {{"Pictures", "*.png;*.jpg"}, {"All files", "*.*"}};

std::string FullPathOfHome() {
    return std::filesystem::path(HomeFolder()).lexically_normal().string();
}

std::vector<std::string> Texts(const mtxIEListBox* list) {
    std::vector<std::string> out;
    for (const auto& item : list->items) out.push_back(item.text);
    return out;
}

// Runs a step after the messages posted before it, and those they post in
// turn, have been handled (the dialog's buttons post their actions).
struct Later : mtxIEActionProcessor {
    Later(mtxImageEditor& e, std::function<void()> f, int hops = 3)
        : editor(e), step(std::move(f)), left(hops) {
        editor.PostCommand(this, 1, 0);
    }
    int Process(uint32_t, uint16_t) override {
        if (--left > 0)
            editor.PostCommand(this, 1, 0);
        else
            step();
        return 1;
    }
    mtxImageEditor& editor;
    std::function<void()> step;
    int left;
};

void PostText(mtxImageEditor& editor, const std::string& text) {
    for (unsigned char c : text) PostMessage(editor.Handle(), WM_CHAR, c, 1);
}
void PostKey(mtxImageEditor& editor, uint32_t vk) {
    PostMessage(editor.Handle(), WM_KEYDOWN, vk, 1);
}

struct FileDialogFixture : ::testing::Test {
    FileDialogFixture() : editor(640, 480), host(&editor) {
        testing_support::SharedApp().fileDialogHost = &host;
        WriteFile(dir.File("a.png"), "x");
        WriteFile(dir.File("b.JPG"), "x");
        WriteFile(dir.File("c.txt"), "x");
        WriteFile(dir.File(".hidden.png"), "x");
        std::filesystem::create_directory(dir.File("sub"));
        std::filesystem::create_directory(dir.File("Another"));
        WriteFile(dir.File("sub/inner.png"), "x");
    }
    ~FileDialogFixture() override { testing_support::SharedApp().fileDialogHost = nullptr; }

    // Shows a dialog; answer runs once it is up.
    int Show(mtxFileDialog& request, std::function<void(mtxIEFileDialog&)> answer) {
        host.onShown = std::move(answer);
        request.SetInitialDirectory(dir.Path());
        return request.Show();
    }

    void After(std::function<void()> step) {
        steps.push_back(std::make_unique<Later>(editor, std::move(step)));
    }

    TempDir dir;
    Editor editor;
    mtxIEFileDialogHost host;
    std::vector<std::unique_ptr<Later>> steps;
};

TEST_F(FileDialogFixture, ListsFoldersAndTheFilesOfTheChosenFilter) {
    mtxFileDialog request(nullptr, false, kPictures, "", "");
    request.SetInitialDirectory(dir.Path());
    auto outcome = std::make_shared<mtxIEFileDialog::Outcome>();
    auto* dialog = new mtxIEFileDialog(&editor, request, outcome);
    EXPECT_EQ(dialog->Folder(), dir.Path());
    EXPECT_EQ(Texts(dialog->folderList), (std::vector<std::string>{"Another", "sub"}));
    EXPECT_EQ(Texts(dialog->fileList), (std::vector<std::string>{"a.png", "b.JPG"}));
    dialog->filterBox->Select(1, true);
    EXPECT_EQ(Texts(dialog->fileList), (std::vector<std::string>{"a.png", "b.JPG", "c.txt"}));
    dialog->hiddenBox->Click();
    EXPECT_EQ(Texts(dialog->fileList),
              (std::vector<std::string>{".hidden.png", "a.png", "b.JPG", "c.txt"}));
    // Selecting a file puts its name in the path field.
    dialog->fileList->Select(2, true);
    EXPECT_EQ(dialog->pathField->Text(), "b.JPG");
    EXPECT_EQ(editor.focus, dialog->pathField);
    dialog->Close();
}

TEST_F(FileDialogFixture, StartsWithTheRequestedFilter) {
    for (uint32_t asked : {0u, 1u, 2u, 3u, 9u}) {
        mtxFileDialog request(nullptr, false, kPictures, "", "");
        request.SetInitialDirectory(dir.Path());
        request.SetFilterIndex(asked);
        auto* dialog =
            new mtxIEFileDialog(&editor, request, std::make_shared<mtxIEFileDialog::Outcome>());
        EXPECT_EQ(dialog->filterBox->Selection(), asked == 2 ? 1 : 0) << asked;
        // The second filter is "All files".
        EXPECT_EQ(Texts(dialog->fileList).size(), asked == 2 ? 3u : 2u) << asked;
        dialog->Close();
    }
}

TEST_F(FileDialogFixture, ResolvesTypedPathsFromTheShownFolder) {
    mtxFileDialog request(nullptr, false, kPictures, "", "");
    request.SetInitialDirectory(dir.Path());
    auto* dialog =
        new mtxIEFileDialog(&editor, request, std::make_shared<mtxIEFileDialog::Outcome>());
    EXPECT_EQ(dialog->Resolve("sub/inner.png"), dir.File("sub/inner.png"));
    EXPECT_EQ(dialog->Resolve(" ../x.png "),
              std::filesystem::path(dir.Path()).parent_path().string() + "/x.png");
    EXPECT_EQ(dialog->Resolve("/etc/./hosts"), "/etc/hosts");
    EXPECT_EQ(dialog->Resolve("~"), FullPathOfHome());
    EXPECT_EQ(dialog->Resolve("~/p.png"), FullPathOfHome() + "/p.png");
    dialog->Close();
}

TEST_F(FileDialogFixture, ATypedPathAndEnterChooseTheFile) {
    mtxFileDialog request(nullptr, false, kPictures, "", "");
    int shown = Show(request, [&](mtxIEFileDialog&) {
        PostText(editor, "sub/inner.png");
        PostKey(editor, VK_RETURN);
    });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(request.Path(), dir.File("sub/inner.png"));
    EXPECT_EQ(request.Title(), "inner.png");
    EXPECT_EQ(request.FilterIndex(), 1u);
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(FileDialogFixture, AFolderTypedOpensItAndAMissingFileIsRefused) {
    mtxFileDialog request(nullptr, false, kPictures, "", "start.png");
    std::string folder, status;
    int shown = Show(request, [&](mtxIEFileDialog& dialog) {
        dialog.pathField->SetText("");
        PostText(editor, "sub");
        PostKey(editor, VK_RETURN);
        After([&] {
            folder = dialog.Folder();
            PostText(editor, "nothing.png");
            PostKey(editor, VK_RETURN);
            After([&] {
                status = dialog.Status();
                PostKey(editor, VK_ESCAPE);
            });
        });
    });
    EXPECT_EQ(folder, dir.File("sub"));
    EXPECT_NE(status.find("nothing.png"), std::string::npos) << status;
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(request.Path(), "start.png");  // a cancel keeps the initial name
}

TEST_F(FileDialogFixture, DoubleClickingAFolderThenAFileChoosesIt) {
    mtxFileDialog request(nullptr, false, kPictures, "", "");
    int shown = Show(request, [&](mtxIEFileDialog& dialog) {
        dialog.folderList->Select(1);  // sub
        dialog.folderList->Choose();
        After([&] {
            dialog.fileList->Select(0);
            dialog.fileList->SetFocus();
            PostKey(editor, VK_RETURN);
        });
    });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(request.Path(), dir.File("sub/inner.png"));
}

TEST_F(FileDialogFixture, SavingOverAFileAsksFirst) {
    mtxFileDialog request(nullptr, true, kPictures, "png", "");
    bool asked = false, askedAgain = false;
    int shown = Show(request, [&](mtxIEFileDialog& dialog) {
        PostText(editor, "a.png");
        PostKey(editor, VK_RETURN);
        After([&] {
            asked = dialog.question && editor.TopModal() == dialog.question;
            PostKey(editor, VK_ESCAPE);  // No: the file dialog stays
            After([&] {
                PostKey(editor, VK_RETURN);
                After([&] {
                    askedAgain = dialog.question != nullptr;
                    PostKey(editor, VK_RETURN);  // Yes
                });
            });
        });
    });
    EXPECT_TRUE(asked);
    EXPECT_TRUE(askedAgain);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(request.Path(), dir.File("a.png"));
}

TEST_F(FileDialogFixture, SavingANewNameAddsTheDefaultExtensionWithoutAQuestion) {
    mtxFileDialog request(nullptr, true, kPictures, "png", "");
    int shown = Show(request, [&](mtxIEFileDialog&) {
        PostText(editor, "new");
        PostKey(editor, VK_RETURN);
    });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(request.Path(), dir.File("new.png"));
}

// The caller's rule settles the name with the chosen filter before the
// dialog looks for the file: the question is about the file to be written.
TEST_F(FileDialogFixture, TheSettledNameIsTheOneCheckedAndChosen) {
    mtxFileDialog request(nullptr, true, kPictures, "", "");
    std::vector<uint32_t> filters;
    request.settleName = [&](const std::string& path, uint32_t filter) {
        filters.push_back(filter);
        return path.ends_with(".jpg") ? path : path + ".jpg";
    };
    bool asked = false;
    int shown = Show(request, [&](mtxIEFileDialog& dialog) {
        dialog.filterBox->Select(1, true);
        PostText(editor, "a.png");  // a.png exists, a.png.jpg does not: no question
        PostKey(editor, VK_RETURN);
        // The dialog has closed (and gone) unless a question holds it open.
        After([&] { asked = editor.TopModal() != nullptr; });
    });
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(asked);
    EXPECT_EQ(request.Path(), dir.File("a.png.jpg"));
    EXPECT_EQ(filters, (std::vector<uint32_t>{2}));
    WriteFile(dir.File("b.jpg"), "x");
    asked = false;
    shown = Show(request, [&](mtxIEFileDialog& dialog) {
        PostText(editor, "b");  // settles to b.jpg, which exists
        PostKey(editor, VK_RETURN);
        After([&] {
            asked = dialog.question != nullptr;
            PostKey(editor, VK_RETURN);  // Yes
        });
    });
    EXPECT_TRUE(asked);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(request.Path(), dir.File("b.jpg"));
}

// A number option (a JPEG quality) shows only with its filter; what the user
// types into it comes back when the dialog is confirmed, not when cancelled.
TEST_F(FileDialogFixture, ANumberOptionShowsWithItsFilterAndReturnsWhatWasTyped) {
    mtxFileDialog request(nullptr, true, kPictures, "png", "");
    request.SetFilterIndex(2);
    request.option = {"Quality:", 1, 1, 100, 92};
    bool shownAtFirst = true, shownWithItsFilter = false;
    int shown = Show(request, [&](mtxIEFileDialog& dialog) {
        shownAtFirst = dialog.optionSpin->IsVisible();
        dialog.filterBox->Select(0, true);
        shownWithItsFilter = dialog.optionSpin->IsVisible();
        dialog.pathField->SetText("q");
        dialog.optionSpin->edit->SetFocus();
        dialog.optionSpin->edit->SelectAll();
        PostText(editor, "75");
        PostKey(editor, VK_RETURN);
    });
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(shownAtFirst);
    EXPECT_TRUE(shownWithItsFilter);
    EXPECT_EQ(request.Path(), dir.File("q.png"));
    EXPECT_EQ(request.option.value, 75);

    shown = Show(request, [&](mtxIEFileDialog& dialog) {
        dialog.optionSpin->SetValue(10);
        PostKey(editor, VK_ESCAPE);
    });
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(request.option.value, 75);

    mtxFileDialog plain(nullptr, true, kPictures, "png", "");
    auto* dialog =
        new mtxIEFileDialog(&editor, plain, std::make_shared<mtxIEFileDialog::Outcome>());
    EXPECT_EQ(dialog->optionSpin, nullptr);
    dialog->Close();
}

TEST_F(FileDialogFixture, AFolderItCannotReadIsReportedAndTheDialogStaysUsable) {
    mtxFileDialog request(nullptr, false, kPictures, "", "");
    request.SetInitialDirectory(dir.Path());
    auto* dialog =
        new mtxIEFileDialog(&editor, request, std::make_shared<mtxIEFileDialog::Outcome>());
    // "Another" goes after it was listed: choosing it cannot read it.
    std::filesystem::remove(dir.File("Another"));
    dialog->OnAction(mtxIEFileDialog::kFolderPicked, 0);
    EXPECT_NE(dialog->Status().find("Cannot read"), std::string::npos) << dialog->Status();
    EXPECT_EQ(dialog->Folder(), dir.Path());
    EXPECT_EQ(Texts(dialog->fileList), (std::vector<std::string>{"a.png", "b.JPG"}));
    if (geteuid() != 0) {  // permissions do not stop the superuser
        std::filesystem::create_directory(dir.File("locked"));
        chmod(dir.File("locked").c_str(), 0);
        EXPECT_EQ(dialog->Navigate(dir.File("locked")), 0);
        EXPECT_EQ(dialog->Folder(), dir.Path());
        chmod(dir.File("locked").c_str(), 0700);
    }
    // Still usable: the next folder opens and the status clears.
    EXPECT_EQ(dialog->Navigate(dir.File("sub")), 1);
    EXPECT_EQ(dialog->Status(), "");
    EXPECT_EQ(Texts(dialog->fileList), (std::vector<std::string>{"inner.png"}));
    dialog->Close();

    // Shown first on a folder that cannot be read: it says so, and Up works.
    mtxFileDialog gone(nullptr, false, kPictures, "", "");
    gone.SetInitialDirectory(dir.File("no such folder"));
    auto* second = new mtxIEFileDialog(&editor, gone, std::make_shared<mtxIEFileDialog::Outcome>());
    EXPECT_NE(second->Status().find("Cannot read"), std::string::npos);
    second->OnAction(mtxIEFileDialog::kParent, 0);
    EXPECT_EQ(second->Folder(), dir.Path());
    second->Close();
}

TEST_F(FileDialogFixture, ASecondDialogWhileOneRunsIsRefused) {
    mtxFileDialog request(nullptr, false, kPictures, "", "");
    int nested = -1;
    int shown = Show(request, [&](mtxIEFileDialog&) {
        mtxFileDialog other(nullptr, false, kPictures, "", "");
        nested = other.Show();
        PostKey(editor, VK_ESCAPE);
    });
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(host.Running());
}

TEST(FileDialogHostless, WithoutAHostShowReportsACancel) {
    auto& app = testing_support::SharedApp();
    ASSERT_EQ(app.fileDialogHost, nullptr);
    mtxFileDialog request(nullptr, false, kPictures, "", "x.png");
    EXPECT_EQ(request.Show(), 0);
    EXPECT_EQ(request.Path(), "x.png");
}

}  // namespace
