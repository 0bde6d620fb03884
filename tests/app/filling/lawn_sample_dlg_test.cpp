// The samples dialog: its buttons over the collection, the picker's list,
// view and Delete, the remembered folder and filter, and the messages for
// files it cannot use. File dialogs are answered by a scripted host, and once
// by the toolkit's own dialog with typed keys.
#include "app/filling/lawn_sample_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>

#include "app/filling/lawn_sample_picker.h"
#include "base/file_dialog.h"
#include "base/share_folder.h"
#include "fill/file_lawn_col.h"
#include "fill/message_sink.h"
#include "fill/sample_collection.h"
#include "image/file_stream.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "image/io/image_save.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/button.h"
#include "ui/combo_box.h"
#include "ui/file_dialog.h"
#include "ui/label.h"
#include "ui/message_box.h"

using namespace ui_test;
using namespace mtxOs;
using testing_support::SharedApp;
using testing_support::TempDir;
using testing_support::WriteFile;
using Picker = mtxIELawnSamplePicker;

namespace {

struct Collector : mtxMessageSink {
    void Message(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// Answers file dialogs from a script and records what they asked.
struct ScriptedHost : mtxFileDialogHost {
    struct Answer {
        std::string path;  // empty: cancel
        uint32_t filter = 1;
    };
    struct Asked {
        bool save;
        std::string folder;
        uint32_t filter;
        size_t filters;
    };
    int Run(mtxFileDialog& dialog) override {
        asked.push_back({dialog.IsSave(), dialog.InitialDirectory(), dialog.FilterIndex(),
                         dialog.Filter().size()});
        if (answers.empty()) return 0;
        Answer a = answers.front();
        answers.pop_front();
        if (a.path.empty()) return 0;
        dialog.SetResult(a.path, a.filter);
        return 1;
    }
    std::deque<Answer> answers;
    std::vector<Asked> asked;
};

void SavePng(const std::string& path, int w, int h, mtxColor color) {
    mtxImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.At(x, y) = color;
    mtxFileStream<65536> file;
    ASSERT_TRUE(file.Open(path, mtxFile::kWrite | mtxFile::kCreate));
    ASSERT_EQ(mtxImageWritePng(image, file), 1);
}

void ClickOn(mtxImageEditor& editor, const mtxIECtrl* c) {
    RECT r = c->EditorRect();
    Click(editor, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

std::vector<std::string> Items(const mtxIEComboBox* combo) {
    std::vector<std::string> out;
    for (int i = 0; i < combo->Count(); ++i) out.push_back(combo->ItemText(i));
    return out;
}

struct SampleDlgTest : ::testing::Test {
    SampleDlgTest() : editor(640, 480) {
        SharedApp().fileDialogHost = &host;
        SharedApp().settings.SetString(Picker::Viewer::kSection, "sp", dir.Path());
        SharedApp().settings.SetInt(Picker::Viewer::kSection, "filt", 2);
        samples.Bind(editor, &messages);
        red = Picture("red.png", 0xFFFF0000);
        green = Picture("green.png", 0xFF00FF00);
        blue = Picture("blue.png", 0xFF0000FF);
    }
    ~SampleDlgTest() override {
        CloseAll();
        SharedApp().fileDialogHost = nullptr;
    }
    std::string Picture(const std::string& name, mtxColor color, int w = 16, int h = 16) {
        SavePng(dir.File(name), w, h, color);
        return dir.File(name);
    }
    std::string Collection(const std::string& name, const std::vector<std::string>& pictures) {
        mtxFileLawnCol file(dir.File(name));
        for (const auto& p : pictures) file.AddEntry(p);
        EXPECT_EQ(file.WriteCollection(), 1) << file.error;
        return dir.File(name);
    }
    mtxIELawnSampleDlg* Open() {
        auto* d = new mtxIELawnSampleDlg(&editor, samples);
        EXPECT_EQ(editor.TopModal(), d);
        return d;
    }
    void Press(mtxIEButton* button) {
        ClickOn(editor, button);
        PumpPosted();
    }
    void CloseAll() {
        while (editor.TopModal()) static_cast<mtxIEDialog*>(editor.TopModal())->Close();
        PumpPosted();
        editor.DeleteDeferred();
    }
    // The texts of the open message boxes, top first; closes them.
    std::vector<std::string> TakeMessages() {
        std::vector<std::string> out;
        while (auto* box = dynamic_cast<mtxIEMessageBox*>(editor.TopModal())) {
            out.push_back(box->Text());
            box->Close();
        }
        editor.DeleteDeferred();
        return out;
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> out;
        for (int i = 0; i < samples.count; ++i) out.push_back(samples.samples[i].path);
        return out;
    }

    TempDir dir;
    Editor editor;
    ScriptedHost host;
    Collector messages;
    SampleCollection samples;
    std::string red, green, blue;
};

// The remove button shows picture 3104 with its channels halved (halves to
// the even neighbour) and tinted, texel for texel, centred on its face.
TEST_F(SampleDlgTest, TheRemoveButtonShowsItsPictureHalvedAndTinted) {
    auto* d = Open();
    mtxIEBmpButton* button = d->picker->removeButton;
    ASSERT_TRUE(button->HasPicture());
    EXPECT_TRUE(button->caption.empty());
    mtxImage expected(0, 0);
    ASSERT_EQ(mtxImageLoad(expected, 3104, 0), 1);
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            mtxColor& p = expected.At(x, y);
            mtxColor out = p & 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8)
                out |= mtxColor(std::nearbyint(((p >> shift) & 0xFF) / 2.0)) << shift;
            p = out;
        }
    expected.Tint(153, 124);
    ASSERT_EQ(button->picture.width, expected.width);
    ASSERT_EQ(button->picture.height, expected.height);
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            ASSERT_EQ(button->picture.pixels[size_t(y) * expected.width + x], expected.At(x, y))
                << x << ", " << y;

    editor.AddDirty(editor.clientRect);
    editor.Paint();
    Pixels screen = ReadBack(editor);
    RECT r = button->EditorRect();
    ASSERT_GE(r.right - r.left, expected.width + 4);
    ASSERT_GE(r.bottom - r.top, expected.height + 4);
    int left = r.left + (r.right - r.left - expected.width) / 2;
    int top = r.top + (r.bottom - r.top - expected.height) / 2;
    int opaque = 0, shown = 0;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            if (expected.At(x, y) >> 24 != 0xFF) continue;
            ++opaque;
            shown += (screen.At(left + x, top + y) & 0xFFFFFF) == (expected.At(x, y) & 0xFFFFFF);
        }
    EXPECT_GT(opaque, 50);
    EXPECT_EQ(shown, opaque) << "the picture is not drawn texel for texel on the button";
}

TEST_F(SampleDlgTest, TheThirdButtonReadsLoadWhileEmptyAndChangeOtherwise) {
    auto* d = Open();
    EXPECT_EQ(d->title, "Sample List");
    EXPECT_EQ(d->replaceButton->caption, "Load");
    host.answers.push_back({red, 2});
    Press(d->addButton);
    EXPECT_EQ(Paths(), std::vector<std::string>{red});
    EXPECT_EQ(d->replaceButton->caption, "Change");
    EXPECT_EQ(Items(d->picker->combo), std::vector<std::string>{"1-red"});
    // Removed by the picker's button: the caption follows.
    Press(d->picker->removeButton);
    EXPECT_EQ(samples.count, 0);
    EXPECT_EQ(d->replaceButton->caption, "Load");
    // Load with a collection: it reads Change afterwards.
    host.answers.push_back({Collection("two.msc", {red, green}), 1});
    Press(d->replaceButton);
    EXPECT_EQ(Paths(), (std::vector<std::string>{red, green}));
    EXPECT_EQ(d->replaceButton->caption, "Change");
    // Delete removes the selected (the last added) sample.
    d->picker->combo->SetFocus();
    Key(editor, VK_DELETE);
    EXPECT_EQ(Paths(), std::vector<std::string>{red});
    Key(editor, VK_DELETE);
    EXPECT_EQ(d->replaceButton->caption, "Load");
    EXPECT_TRUE(Items(d->picker->combo).empty());
    Press(d->okButton);
    editor.DeleteDeferred();
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(SampleDlgTest, AddAppendsPicturesAndCollectionsReplaceSwapsThem) {
    auto* d = Open();
    host.answers.push_back({red, 2});
    host.answers.push_back({Collection("gb.msc", {green, blue}), 1});
    Press(d->addButton);
    Press(d->addButton);
    EXPECT_EQ(Paths(), (std::vector<std::string>{red, green, blue}));
    EXPECT_EQ(Items(d->picker->combo), (std::vector<std::string>{"1-red", "2-green", "3-blue"}));
    EXPECT_EQ(d->picker->combo->Selection(), 2);
    // The second filter takes a file as a picture whatever its name.
    std::string odd = dir.File("odd.msc");
    std::filesystem::copy_file(red, odd);
    host.answers.push_back({odd, 2});
    Press(d->addButton);
    EXPECT_EQ(samples.count, 4);
    EXPECT_EQ(samples.samples[3].name, "odd");
    // Change with a collection replaces; with a picture, that picture alone remains.
    host.answers.push_back({dir.File("gb.msc"), 1});
    Press(d->replaceButton);
    EXPECT_EQ(Paths(), (std::vector<std::string>{green, blue}));
    host.answers.push_back({red, 2});
    Press(d->replaceButton);
    EXPECT_EQ(Paths(), std::vector<std::string>{red});
    EXPECT_EQ(Items(d->picker->combo), std::vector<std::string>{"1-red"});
    EXPECT_TRUE(TakeMessages().empty());
    // A cancelled file dialog changes nothing.
    host.answers.push_back({});
    Press(d->replaceButton);
    EXPECT_EQ(Paths(), std::vector<std::string>{red});
}

TEST_F(SampleDlgTest, ReplacingWithAFileThatCannotBeReadKeepsTheSamples) {
    auto* d = Open();
    host.answers.push_back({Collection("rg.msc", {red, green}), 1});
    Press(d->replaceButton);
    ASSERT_EQ(samples.count, 2);
    std::string damaged = dir.File("damaged.msc");
    std::string bytes = testing_support::ReadFile(dir.File("rg.msc"));
    bytes[bytes.size() - 1] ^= 0x55;
    WriteFile(damaged, bytes);
    WriteFile(dir.File("notes.msc"), "these are not samples");
    WriteFile(dir.File("broken.png"), "not a picture either");
    struct Case {
        std::string path;
        uint32_t filter;
        std::string told;
    } cases[] = {
        {damaged, 1, "damaged.msc"},
        {dir.File("notes.msc"), 1, "notes.msc"},
        {dir.File("missing.msc"), 1, "missing.msc"},
        {dir.File("broken.png"), 2, "broken.png"},
        {dir.File("notes.msc"), 2, "notes.msc"},
    };
    for (const Case& c : cases) {
        host.answers.push_back({c.path, c.filter});
        Press(d->replaceButton);
        EXPECT_EQ(Paths(), (std::vector<std::string>{red, green})) << c.path;
        EXPECT_EQ(d->replaceButton->caption, "Change");
        std::vector<std::string> told = TakeMessages();
        ASSERT_EQ(told.size(), 1u) << c.path;
        EXPECT_NE(told[0].find(c.told), std::string::npos) << told[0];
        EXPECT_EQ(editor.TopModal(), d);
    }
}

TEST_F(SampleDlgTest, PicturesThatCannotBeUsedAreReportedByName) {
    auto* d = Open();
    WriteFile(dir.File("broken.png"), "\x89PNG\r\n\x1a\n and then nothing");
    host.answers.push_back({dir.File("broken.png"), 2});
    Press(d->addButton);
    EXPECT_EQ(samples.count, 0);
    std::vector<std::string> told = TakeMessages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("broken.png"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("PNG"), std::string::npos) << told[0];  // the loader's reason

    // A collection naming ten missing pictures and one good one: the good one
    // is added, and one box names the first eight, a line each.
    std::vector<std::string> entries;
    for (int i = 0; i < 10; ++i) entries.push_back(dir.File("gone" + std::to_string(i) + ".png"));
    entries.push_back(blue);
    host.answers.push_back({Collection("gone.msc", entries), 1});
    Press(d->addButton);
    EXPECT_EQ(Paths(), std::vector<std::string>{blue});
    told = TakeMessages();
    ASSERT_EQ(told.size(), 1u);
    size_t lines = std::count(told[0].begin(), told[0].end(), '\n') + 1;
    EXPECT_EQ(lines, 9u) << told[0];
    EXPECT_LT(told[0].find("gone0.png"), told[0].find("gone7.png")) << told[0];
    EXPECT_EQ(told[0].find("gone8.png"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("And 2 more"), std::string::npos) << told[0];
    // The collection's own sink is back in place.
    EXPECT_EQ(samples.messages, &messages);
}

TEST_F(SampleDlgTest, DeleteWithNothingSelectedChangesNothing) {
    auto* d = Open();
    d->picker->combo->SetFocus();
    Key(editor, VK_DELETE);
    Press(d->picker->removeButton);
    EXPECT_EQ(samples.count, 0);
    EXPECT_EQ(d->replaceButton->caption, "Load");
    samples.AddSample(red);
    samples.AddSample(green);
    d->picker->RebuildList();
    samples.selected = samples.count;  // past the end: nothing is selected
    Key(editor, VK_DELETE);
    EXPECT_EQ(Paths(), (std::vector<std::string>{red, green}));
}

TEST_F(SampleDlgTest, ChoosingInTheListSelectsTheSample) {
    samples.AddSample(red);
    samples.AddSample(green);
    samples.AddSample(blue);
    auto* d = Open();
    EXPECT_EQ(d->picker->combo->Selection(), 2);
    d->picker->combo->SetFocus();
    Key(editor, VK_HOME);
    EXPECT_EQ(samples.selected, 0);
    Key(editor, VK_DOWN);
    EXPECT_EQ(samples.selected, 1);
    Key(editor, VK_DELETE);
    EXPECT_EQ(Paths(), (std::vector<std::string>{red, blue}));
    EXPECT_EQ(Items(d->picker->combo), (std::vector<std::string>{"1-red", "2-blue"}));
    EXPECT_EQ(d->picker->combo->Selection(), samples.selected);
}

TEST_F(SampleDlgTest, TheFolderAndFilterAreRememberedAndClamped) {
    auto* d = Open();
    // The stored values are the first file dialog's.
    host.answers.push_back({red, 2});
    Press(d->addButton);
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0].folder, dir.Path());
    EXPECT_EQ(host.asked[0].filter, 2u);
    EXPECT_EQ(host.asked[0].filters, 2u);
    EXPECT_FALSE(host.asked[0].save);
    // A file from another folder through the first filter: both remembered,
    // for the next dialog and, once the dialog is gone, in the settings.
    std::filesystem::create_directory(dir.File("more"));
    std::string elsewhere = Collection("more/set.msc", {green});
    host.answers.push_back({elsewhere, 1});
    Press(d->addButton);
    host.answers.push_back({});
    Press(d->replaceButton);
    ASSERT_EQ(host.asked.size(), 3u);
    EXPECT_EQ(host.asked[2].folder, dir.File("more"));
    EXPECT_EQ(host.asked[2].filter, 1u);
    CloseAll();
    uint32_t filter = 0;
    std::string folder;
    EXPECT_TRUE(SharedApp().settings.GetInt("sdl", "filt", filter));
    EXPECT_EQ(filter, 1u);
    EXPECT_TRUE(SharedApp().settings.GetString("sdl", "sp", folder));
    EXPECT_EQ(folder, dir.File("more"));

    // Stored values out of range, and missing ones.
    mtxRegistry settings;
    settings.Open("Software\\Test", dir.File("other.reg"));
    Picker::Viewer& viewer = *static_cast<mtxIELawnSampleDlg*>(Open())->picker->viewer;
    const std::string library = mtxSampleLibraryFolder();
    struct Case {
        bool hasFilter;
        uint32_t filter;
        std::string folder;
        int32_t wantFilter;
        std::string wantFolder;
    } cases[] = {
        {false, 0, "", 1, library},
        {true, 0, "x", 1, library},
        {true, 1, "/a", 1, "/a"},
        {true, 2, "/a", 2, "/a"},
        {true, 3, "/a", 2, "/a"},
        {true, 1000, "/a", 2, "/a"},
        {true, uint32_t(-3), "/a", 1, "/a"},
    };
    for (const Case& c : cases) {
        settings.SetString("sdl", "sp", c.folder);
        if (c.hasFilter) settings.SetInt("sdl", "filt", c.filter);
        viewer.LoadSettings(settings);
        EXPECT_EQ(viewer.filter, c.wantFilter) << c.filter;
        if (!c.wantFolder.empty()) {
            EXPECT_EQ(viewer.folder, c.wantFolder) << c.folder;
        }
    }
    EXPECT_FALSE(library.empty()) << "the sample library is drawn by the build (target samples)";
}

TEST_F(SampleDlgTest, SaveAsksOnlyWithSamplesAndReportsFailure) {
    auto* d = Open();
    Press(d->saveButton);
    EXPECT_TRUE(host.asked.empty());  // nothing to save: no file dialog

    samples.AddSample(red);
    samples.AddSample(green);
    d->picker->RebuildList();
    host.answers.push_back({dir.File("mine"), 1});
    Press(d->saveButton);
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_TRUE(host.asked[0].save);
    mtxFileLawnCol saved(dir.File("mine.msc"));
    ASSERT_EQ(saved.ReadCollection(), 1) << saved.error;
    ASSERT_EQ(saved.entryCount, 2);
    EXPECT_EQ(saved.entries[0], "red.png");
    EXPECT_EQ(saved.entries[1], "green.png");
    EXPECT_TRUE(TakeMessages().empty());

    // A folder that does not exist: told, nothing written.
    host.answers.push_back({dir.File("no/such/folder/mine.msc"), 1});
    Press(d->saveButton);
    std::vector<std::string> told = TakeMessages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("mine.msc"), std::string::npos) << told[0];
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

TEST_F(SampleDlgTest, TheViewScrollsOnlyASampleLargerThanItself) {
    std::string big = Picture("big.png", 0xFF808080, 600, 500);
    samples.AddSample(red);
    samples.AddSample(big);
    auto* d = Open();
    Picker::Viewer* viewer = d->picker->viewer;
    RECT client = viewer->GetClientRect();
    EXPECT_FALSE(mtxIsEmpty(viewer->BarRect(mtxIEWnd::kHorizontal)));
    EXPECT_FALSE(mtxIsEmpty(viewer->BarRect(mtxIEWnd::kVertical)));
    EXPECT_EQ(viewer->GetScrollInfo(mtxIEWnd::kHorizontal).maximum, 1024);  // the texture's width
    EXPECT_EQ(viewer->GetScrollInfo(mtxIEWnd::kHorizontal).page, client.right - client.left);
    viewer->OnHScroll(mtxIEWnd::kPageDown);
    viewer->OnVScroll(mtxIEWnd::kLineForward);
    EXPECT_GT(samples.samples[1].viewScrollX, 0);
    EXPECT_GT(samples.samples[1].viewScrollY, 0);
    int x = samples.samples[1].viewScrollX;
    // The small sample: no bars, and a stale stored position goes back to 0.
    samples.samples[0].viewScrollX = 7;
    d->picker->combo->SetFocus();
    Key(editor, VK_HOME);
    EXPECT_EQ(samples.selected, 0);
    EXPECT_TRUE(mtxIsEmpty(viewer->BarRect(mtxIEWnd::kHorizontal)));
    EXPECT_TRUE(mtxIsEmpty(viewer->BarRect(mtxIEWnd::kVertical)));
    EXPECT_EQ(samples.samples[0].viewScrollX, 0);
    // Back to the large one: its position was kept.
    Key(editor, VK_END);
    EXPECT_EQ(viewer->GetScrollInfo(mtxIEWnd::kHorizontal).position, x);
    // It draws: the frame shows the sample's grey where the view lies.
    editor.Paint();
    Pixels pixels = ReadBack(editor);
    RECT shown = mtxOffset(client, viewer->EditorRect().left, viewer->EditorRect().top);
    EXPECT_EQ(pixels.At(shown.left + 10, shown.top + 10) & 0xFFFFFF, 0x808080u);
}

// The toolkit's own file dialog, answered with typed keys: Load starts in the
// sample library and lists the bundled collection's samples.
TEST_F(SampleDlgTest, LoadsABundledCollectionThroughTheFileDialog) {
    const std::string library = mtxSampleLibraryFolder();
    ASSERT_FALSE(library.empty()) << "the sample library is drawn by the build (target samples)";
    SharedApp().settings.SetString(Picker::Viewer::kSection, "sp", "");
    SharedApp().settings.SetInt(Picker::Viewer::kSection, "filt", 0);
    mtxIEFileDialogHost real(&editor);
    SharedApp().fileDialogHost = &real;
    std::string shownFolder;
    real.onShown = [&](mtxIEFileDialog& dialog) {
        shownFolder = dialog.Folder();
        for (unsigned char c : std::string("flowers/flowers.msc"))
            PostMessage(editor.Handle(), WM_CHAR, c, 1);
        PostMessage(editor.Handle(), WM_KEYDOWN, VK_RETURN, 1);
    };
    auto* d = Open();
    Press(d->replaceButton);
    EXPECT_EQ(shownFolder, library);
    EXPECT_EQ(editor.TopModal(), d);
    std::vector<std::string> items = Items(d->picker->combo);
    ASSERT_EQ(items.size(), 14u) << (messages.texts.empty() ? "" : messages.texts[0]);
    EXPECT_EQ(items[0], "1-flower_01");
    EXPECT_EQ(items[13], "14-flower_14");
    EXPECT_EQ(d->replaceButton->caption, "Change");
    EXPECT_TRUE(TakeMessages().empty());
    SharedApp().fileDialogHost = &host;
}

}  // namespace
