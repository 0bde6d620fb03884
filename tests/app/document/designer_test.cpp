// Covers mtxIEDesigner, mtxIEDesigner::DlgAddLayer and mtxIEDesigner::Viewer: the
// document controller's open, save, remembered folders and actions.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "app/document/add_layer_dlg.h"
#include "app/document/designer_options_bar.h"
#include "app/document/designer_viewer.h"
#include "app/document/picture_file.h"
#include "app/filling/mdf_field.h"
#include "image/image_stack.h"
#include "image/io/image_load.h"
#include "tests/app/document/document_test_support.h"
#include "tests/app/filling/tool_preparation.h"
#include "tests/oracles/jpeg.h"
#include "tests/oracles/png.h"
#include "tests/render/render_test_support.h"
#include "tests/support/image_pixels.h"
#include "tests/ui/ui_test_support.h"
#include "ui/button.h"
#include "ui/check_box.h"
#include "ui/color_selector.h"
#include "ui/combo_box.h"
#include "ui/edit.h"
#include "ui/label.h"
#include "ui/spin.h"

using namespace document_test;
using testing_support::ReadFile;
using testing_support::SharedApp;
using testing_support::WriteFile;

namespace {

constexpr uint32_t kPngFilter = 2;

// Types a name into the save dialog with a filter chosen, then Enter.
std::function<void(mtxIEFileDialog&)> TypeName(mtxImageEditor& editor, std::string name,
                                               int filterIndex) {
    return [&editor, name, filterIndex](mtxIEFileDialog& dialog) {
        dialog.filterBox->Select(filterIndex - 1, true);
        dialog.pathField->SetText(name);
        mtxOs::PostMessage(editor.Handle(), mtxOs::WM_KEYDOWN, mtxOs::VK_RETURN, 1);
    };
}

using DesignerTest = Fixture;

TEST_F(DesignerTest, OpenMakesTheFileTheOneLayerOfTheViewersPicture) {
    ASSERT_NE(editor->GetDesigner(), nullptr);
    std::string path = WritePng(dir.File("photo.png"), 40, 30);
    EXPECT_EQ(Designer().Open(path, 0), 1);
    mtxImageStack* picture = Designer().Picture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->width, 40);
    EXPECT_EQ(picture->height, 30);
    EXPECT_EQ(picture->LayerCount(), 1);
    EXPECT_EQ(Designer().viewer->GetStack(), picture);
    EXPECT_EQ(Designer().viewer->activeLayer, -1);
    EXPECT_EQ(Designer().Document().openFolder, dir.Path());
    EXPECT_EQ(Designer().Document().Path(), path);
    EXPECT_TRUE(told.empty());
}

TEST_F(DesignerTest, AFailedOpenKeepsThePictureAndSaysWhichFileAndWhy) {
    std::string good = WritePng(dir.File("good.png"), 20, 10);
    ASSERT_EQ(Designer().Open(good, 0), 1);
    mtxImageStack* before = Designer().Picture();
    SpyTool* spy = InstallSpy();
    std::filesystem::create_directory(dir.File("other"));
    std::string broken = dir.File("other/broken.png");
    std::string bytes = ReadFile(good);
    WriteFile(broken, bytes.substr(0, bytes.size() / 2));
    std::string reason;
    EXPECT_EQ(Designer().Open(broken, 0, &reason), 0);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(Designer().Picture(), before);
    EXPECT_EQ(Designer().viewer->GetStack(), before);
    EXPECT_EQ(Designer().Document().Path(), good);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find(broken), std::string::npos) << told[0];
    EXPECT_NE(told[0].find(reason), std::string::npos) << told[0];
    // The tool was not told of another picture, and the folder still follows the user.
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(Designer().Document().openFolder, dir.File("other"));
    EXPECT_EQ(Designer().Open(dir.File("missing.png"), 0, &reason), 0);
    EXPECT_EQ(Designer().Picture(), before);
    (void)spy;
}

TEST_F(DesignerTest, APictureTooLargeForMemoryIsRefusedWithAMessage) {
    // A PNG whose header claims 100000 x 100000 pixels.
    std::string bytes = ReadFile(WritePng(dir.File("small.png"), 8, 8));
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) bytes[at + k] = char(v >> (24 - 8 * k));
    };
    put32(16, 100000);
    put32(20, 100000);
    uint32_t crc = 0xFFFFFFFFu;  // over "IHDR" and its 13 bytes
    for (size_t i = 12; i < 29; ++i) {
        crc ^= uint8_t(bytes[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    put32(29, ~crc);
    WriteFile(dir.File("huge.png"), bytes);
    std::string reason;
    EXPECT_EQ(Designer().Open(dir.File("huge.png"), 0, &reason), 0);
    EXPECT_EQ(Designer().Picture(), nullptr);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("huge.png"), std::string::npos) << told[0];
}

TEST_F(DesignerTest, OpenTellsTheToolBeforeTheOldPictureGoes) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("a.png"), 16, 16), 0), 1);
    mtxImageStack* first = Designer().Picture();
    SpyTool* spy = InstallSpy();
    ASSERT_EQ(Designer().Open(WritePng(dir.File("b.png"), 24, 8, 3), 0), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"opening"}));
    EXPECT_EQ(spy->stackAtOpening, first);
    EXPECT_EQ(Designer().Picture()->width, 24);
}

TEST_F(DesignerTest, TheEmptyViewSaysHowToOpenAPhotoAndItsButtonOpensTheDemo) {
    mtxIEDesigner::Viewer& view = *Designer().viewer;
    ASSERT_TRUE(view.hint && view.hint->IsVisible());
    EXPECT_EQ(view.hint->text, "Open a photo: File, Open, or drop it here");
    ASSERT_TRUE(view.demoButton && view.demoButton->IsVisible());
    RECT area = view.LocalToEditor(view.GetClientRect()), hint = view.hint->EditorRect(),
         button = view.demoButton->EditorRect();
    EXPECT_LE(std::abs(hint.left + hint.right - area.left - area.right), 1);
    EXPECT_LE(std::abs(button.left + button.right - area.left - area.right), 1);
    EXPECT_GE(button.top, hint.bottom);
    EXPECT_LT(hint.top, (area.top + area.bottom) / 2);
    EXPECT_GT(button.bottom, (area.top + area.bottom) / 2);

    Designer().demoPhoto = WritePng(dir.File("demo.png"), 30, 20);
    ui_test::Click(*editor, button.left + 5, button.top + 5);
    ui_test::PumpPosted();
    ASSERT_NE(Designer().Picture(), nullptr);
    EXPECT_EQ(Designer().Document().Path(), Designer().demoPhoto);
    EXPECT_FALSE(view.hint->IsVisible());
    EXPECT_FALSE(view.demoButton->IsVisible());
    EXPECT_TRUE(told.empty());
}

TEST_F(DesignerTest, SaveWithoutAPictureSaysSoBeforeAnyDialog) {
    int shown = 0;
    EXPECT_EQ(Save([&](mtxIEFileDialog&) { ++shown; }), 0);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(told, (std::vector<std::string>{"Just open any image"}));
}

TEST_F(DesignerTest, AddLayerWithoutAPictureSaysSoAndOpensNoDialog) {
    int shown = 0;
    host.onShown = [&](mtxIEFileDialog&) { ++shown; };
    EXPECT_EQ(Designer().Process(mtxIEDesigner::kAddLayer, 0), 1);
    EXPECT_EQ(Designer().Process(mtxIEDesigner::kAddLayerFromFile, 0), 1);
    EXPECT_EQ(editor->TopModal(), nullptr);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(told, (std::vector<std::string>(2, "Just open any image")));
}

TEST_F(DesignerTest, APngRoundTripIsPixelEqual) {
    std::string photo = WritePng(dir.File("photo.png"), 45, 33, 9);
    ASSERT_EQ(Designer().Open(photo, 0), 1);
    SpyTool* spy = InstallSpy();
    (void)spy;
    ASSERT_EQ(Designer().SaveAs(dir.File("out"), kPngFilter), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"suspend", "resume"}));
    oracle::Pixels original = oracle::ReadPng(photo), saved = oracle::ReadPng(dir.File("out.png"));
    ASSERT_EQ(saved.width, 45);
    ASSERT_EQ(saved.height, 33);
    EXPECT_EQ(saved.data, original.data);
    EXPECT_EQ(Designer().Document().saveFolder, dir.Path());
}

TEST_F(DesignerTest, AFailedSaveKeepsTheOldFileSaysSoAndResumesTheTool) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("photo.png"), 200, 200), 0), 1);
    InstallSpy();
    std::string target = dir.File("old.bmp");
    std::string old(3000, 'k');
    WriteFile(target, old);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved, small;
    getrlimit(RLIMIT_FSIZE, &saved);
    small = saved;
    small.rlim_cur = 50000;  // the bitmap needs 160 kB
    setrlimit(RLIMIT_FSIZE, &small);
    std::string reason;
    int written = Designer().SaveAs(target, 1, &reason);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(ReadFile(target), old);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("old.bmp was not saved"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("as it was"), std::string::npos) << told[0];
    EXPECT_EQ(log, (std::vector<std::string>{"suspend", "resume"}));
}

TEST_F(DesignerTest, TheSaveDialogAsksAboutTheFileThatWillBeWritten) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("photo.png"), 12, 12), 0), 1);
    // "photo" with the PNG filter is photo.png, which exists: the question comes.
    std::string before = ReadFile(dir.File("photo.png"));
    int asked = 0;
    host.onShown = [&](mtxIEFileDialog& dialog) {
        dialog.filterBox->Select(kPngFilter - 1, true);
        dialog.pathField->SetText("photo");
        dialog.Accept();
        asked = dialog.question != nullptr;
        // No: the dialog stays; then Cancel.
        if (dialog.question) dialog.OnAction(mtxIEFileDialog::kReplace, 0);
        dialog.Process(mtxIEDlgOkCancel::kCancel, 0);
    };
    EXPECT_EQ(Designer().Save(), 0);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ReadFile(dir.File("photo.png")), before);
    // A file called "fresh" (no extension) is not what "fresh" saves as PNG: no question.
    WriteFile(dir.File("fresh"), "keep");
    host.onShown = TypeName(*editor, "fresh", int(kPngFilter));
    EXPECT_EQ(Designer().Save(), 1);
    EXPECT_EQ(ReadFile(dir.File("fresh")), "keep");
    EXPECT_EQ(oracle::ReadPng(dir.File("fresh.png")).width, 12);
}

// A typed picture extension decides the format whatever the chosen type; the
// next Save dialog shows the type last written, also after a restart.
TEST_F(DesignerTest, ATypedExtensionDecidesTheFormatAndTheTypeIsRemembered) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("photo.png"), 12, 9), 0), 1);
    host.onShown = TypeName(*editor, "typed.png", 1);  // the bitmap type chosen
    EXPECT_EQ(Designer().Save(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("typed.png.bmp")));
    EXPECT_EQ(oracle::ReadPng(dir.File("typed.png")).width, 12);
    EXPECT_EQ(ReadFile(dir.File("typed.png")).substr(1, 3), "PNG");
    uint32_t shownFirst = 0;
    host.onShown = [&](mtxIEFileDialog& dialog) {
        shownFirst = uint32_t(dialog.filterBox->Selection() + 1);
        dialog.pathField->SetText("next.jpeg");
        dialog.Accept();
    };
    EXPECT_EQ(Designer().Save(), 1);
    EXPECT_EQ(shownFirst, kPngFilter);
    EXPECT_EQ(ReadFile(dir.File("next.jpeg")).substr(0, 2), "\xFF\xD8");
    editor.reset();  // writes the settings
    editor = std::make_unique<mtxImageEditorVD>();
    ASSERT_EQ(editor->CreateHeadless(400, 300), 1);
    EXPECT_EQ(Designer().Document().saveFilter, 3u);  // JPEG
    Designer().Document().saveFilter = 1;             // the other tests start from the first type
}

// JPEG files are saved at the quality set in the save dialog, 92 at first:
// 4:2:0 below 95, 4:4:4 from there; the quality is remembered after a
// restart.
TEST_F(DesignerTest, TheJpegQualityIsSetInTheSaveDialogAndRemembered) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("photo.png"), 21, 17), 0), 1);
    host.onShown = TypeName(*editor, "first", 3);
    EXPECT_EQ(Designer().Save(), 1);
    EXPECT_EQ(oracle::JpegSamplingFactors(ReadFile(dir.File("first.jpg"))), "2x2,1x1,1x1");

    bool shownWithPng = true;
    int shownQuality = 0;
    host.onShown = [&](mtxIEFileDialog& dialog) {
        dialog.filterBox->Select(kPngFilter - 1, true);
        shownWithPng = dialog.optionSpin->IsVisible();
        dialog.filterBox->Select(2, true);
        shownQuality = dialog.optionSpin->Value();
        dialog.optionSpin->SetValue(97, true);
        dialog.pathField->SetText("second");
        dialog.Accept();
    };
    EXPECT_EQ(Designer().Save(), 1);
    EXPECT_FALSE(shownWithPng);
    EXPECT_EQ(shownQuality, 92);
    EXPECT_EQ(oracle::JpegSamplingFactors(ReadFile(dir.File("second.jpg"))), "1x1,1x1,1x1");
    oracle::Pixels decoded;
    ASSERT_TRUE(oracle::DecodeJpeg(ReadFile(dir.File("second.jpg")), decoded));
    EXPECT_EQ(decoded.width, 21);

    editor.reset();  // writes the settings
    editor = std::make_unique<mtxImageEditorVD>();
    ASSERT_EQ(editor->CreateHeadless(400, 300), 1);
    EXPECT_EQ(Designer().Document().jpegQuality, 97u);
    Designer().Document().jpegQuality = mtxJpegDefaultQuality;  // for the other tests
    Designer().Document().saveFilter = 1;
}

TEST_F(DesignerTest, TheOpenFilterListsPicturesOnlyAndTheSecondEveryFile) {
    mtxFileDialog request(nullptr, false, mtxPictureOpenFilters(), "", "");
    auto* dialog =
        new mtxIEFileDialog(editor.get(), request, std::make_shared<mtxIEFileDialog::Outcome>());
    EXPECT_EQ(dialog->filterBox->ItemText(0).find("posible"), std::string::npos);
    for (const char* name : {"a.png", "B.JPG", "c.jpeg", "d.bmp", "e.gif"})
        EXPECT_TRUE(dialog->Matches(name)) << name;
    for (const char* name : {"notes.sh", "flowers.msc", "build.err", "png"})
        EXPECT_FALSE(dialog->Matches(name)) << name;
    dialog->filterBox->Select(1, true);
    EXPECT_TRUE(dialog->Matches("notes.sh"));
    EXPECT_TRUE(dialog->Matches("README"));
    dialog->Close();
}

TEST_F(DesignerTest, TheFoldersSurviveARestartWhileTheyExist) {
    std::filesystem::create_directories(dir.File("opened"));
    std::filesystem::create_directories(dir.File("saved"));
    Designer().Document().openFolder = dir.File("opened");
    Designer().Document().saveFolder = dir.File("saved");
    editor.reset();  // writes them
    editor = std::make_unique<mtxImageEditorVD>();
    ASSERT_EQ(editor->CreateHeadless(400, 300), 1);
    EXPECT_EQ(Designer().Document().openFolder, dir.File("opened"));
    EXPECT_EQ(Designer().Document().saveFolder, dir.File("saved"));
    // A folder that went away is forgotten; an empty value reads as none.
    Designer().Document().openFolder = dir.File("gone");
    Designer().Document().saveFolder = "";
    editor.reset();
    editor = std::make_unique<mtxImageEditorVD>();
    ASSERT_EQ(editor->CreateHeadless(400, 300), 1);
    EXPECT_EQ(Designer().Document().openFolder, "");
    EXPECT_EQ(Designer().Document().saveFolder, "");
    uint32_t bytes = 0;
    EXPECT_EQ(SharedApp().settings.GetRaw("deso", "ofp", nullptr, bytes), 1);
}

// The pixels of a layer of the designer's picture, row after row.
std::vector<uint32_t> LayerPixels(mtxIEDesigner& designer, int index) {
    mtxImageStack::Layer* layer = designer.Picture()->GetLayer(index);
    if (!layer || !layer->source) return {};
    return testing_support::PixelsOf(*layer->source);
}

// Add Layer: a transparent layer of the picture's size unless a colour is
// chosen; it becomes the chosen layer, and Undo takes it away, Redo brings
// it back as it was.
TEST_F(DesignerTest, AddLayerIsTransparentChosenAndUndone) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("photo.png"), 30, 20), 0), 1);
    EXPECT_EQ(Designer().Process(mtxIEDesigner::kAddLayer, 0), 1);
    auto* dialog = dynamic_cast<mtxIEDesigner::DlgAddLayer*>(editor->TopModal());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->widthSpin->Value(), 30);
    EXPECT_EQ(dialog->heightSpin->Value(), 20);
    dialog->Process(mtxIEDlgOkCancel::kOk, 0);
    ASSERT_EQ(Designer().Picture()->LayerCount(), 2);
    EXPECT_EQ(LayerPixels(Designer(), 1), std::vector<uint32_t>(30 * 20, 0u));
    EXPECT_EQ(Designer().ChosenLayer(), 1);
    // A colour chosen: a layer of it, 7 wide.
    ui_test::PumpPosted();
    Designer().Process(mtxIEDesigner::kAddLayer, 0);
    dialog = dynamic_cast<mtxIEDesigner::DlgAddLayer*>(editor->TopModal());
    ASSERT_NE(dialog, nullptr);
    dialog->widthSpin->SetValue(7);
    dialog->Process(mtxIEDesigner::DlgAddLayer::kChooseColor, 0);
    auto* selector = dynamic_cast<mtxIEColorSelector*>(editor->TopModal());
    ASSERT_NE(selector, nullptr);
    selector->color = 0xFF112233;
    selector->Process(mtxIEDlgOkCancel::kOk, 0);
    ui_test::PumpPosted();
    EXPECT_FALSE(dialog->transparent->IsChecked());
    dialog->Process(mtxIEDlgOkCancel::kOk, 0);
    ASSERT_EQ(Designer().Picture()->LayerCount(), 3);
    std::vector<uint32_t> colored = LayerPixels(Designer(), 2);
    EXPECT_EQ(colored, std::vector<uint32_t>(7 * 20, 0xFF112233u));
    EXPECT_EQ(Designer().viewer->LayerCount(), 3);
    // Undo takes the layers away, one at a time; Redo brings them back.
    ASSERT_EQ(Designer().Process(mtxIEDesigner::kUndo, 0), 1);
    EXPECT_EQ(Designer().Picture()->LayerCount(), 2);
    EXPECT_EQ(Designer().viewer->LayerCount(), 2);
    EXPECT_EQ(Designer().ChosenLayer(), 1);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Designer().Picture()->LayerCount(), 1);
    EXPECT_EQ(Designer().Undo(), 0);
    ASSERT_EQ(Designer().Redo(), 1);
    ASSERT_EQ(Designer().Redo(), 1);
    ASSERT_EQ(Designer().viewer->LayerCount(), 3);
    EXPECT_EQ(LayerPixels(Designer(), 1), std::vector<uint32_t>(30 * 20, 0u));
    EXPECT_EQ(LayerPixels(Designer(), 2), colored);
    EXPECT_EQ(Designer().viewer->GetLayer(2)->source,
              Designer().Picture()->GetLayer(2)->source.get());
}

// Remove Layer takes the chosen layer, never the bottom one; Undo puts it
// back where it was with its pixels and opacity, Redo removes it again.
TEST_F(DesignerTest, RemoveLayerIsUndoneAndKeepsTheBottomLayer) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("photo.png"), 30, 20), 0), 1);
    EXPECT_EQ(Designer().RemoveLayer(0), 0);
    Designer().Process(mtxIEDesigner::kRemoveLayer, 0);  // nothing chosen: the bottom
    ASSERT_EQ(Designer().Picture()->LayerCount(), 1);
    std::vector<uint32_t> photo = LayerPixels(Designer(), 0);
    for (int seed : {1, 2}) {
        auto layer = Designer().Picture()->GetLayer(0)->source->CreateSameKind(8, 6);
        ASSERT_EQ(testing_support::PutPixels(*layer, 8, 6,
                                             render_test::RandomPixels(8 * 6, uint32_t(seed))),
                  1);
        ASSERT_EQ(Designer().AppendLayer(std::move(layer)), 1);
    }
    std::vector<uint32_t> middle = LayerPixels(Designer(), 1), top = LayerPixels(Designer(), 2);
    Designer().Process(mtxIEDesigner::kChooseLayer, 1);
    Designer().Process(mtxIEDesigner::kSetOpacity, 128);
    EXPECT_EQ(Designer().Picture()->GetLayer(1)->Opacity(), 128);
    Designer().Process(mtxIEDesigner::kRemoveLayer, 0);
    ASSERT_EQ(Designer().Picture()->LayerCount(), 2);
    EXPECT_EQ(LayerPixels(Designer(), 1), top);
    EXPECT_EQ(Designer().viewer->LayerCount(), 2);
    EXPECT_EQ(Designer().History().UndoName(), "Remove Layer");
    ASSERT_EQ(Designer().Undo(), 1);
    ASSERT_EQ(Designer().Picture()->LayerCount(), 3);
    EXPECT_EQ(LayerPixels(Designer(), 1), middle);
    EXPECT_EQ(LayerPixels(Designer(), 2), top);
    EXPECT_EQ(Designer().Picture()->GetLayer(1)->Opacity(), 128);
    EXPECT_EQ(Designer().viewer->GetLayer(1)->source,
              Designer().Picture()->GetLayer(1)->source.get());
    ASSERT_EQ(Designer().Redo(), 1);
    ASSERT_EQ(Designer().Picture()->LayerCount(), 2);
    EXPECT_EQ(LayerPixels(Designer(), 1), top);
    // Walking back past the opacity and both additions leaves the photo.
    while (Designer().Undo()) {
    }
    EXPECT_EQ(Designer().Picture()->LayerCount(), 1);
    EXPECT_EQ(LayerPixels(Designer(), 0), photo);
}

TEST_F(DesignerTest, OptionsAndBackgroundActionsReachTheTool) {
    InstallSpy();
    EXPECT_EQ(Designer().Process(7, 0), 1);
    EXPECT_EQ(Designer().Process(8, 0), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"options", "background"}));
}

// A sample picture: an opaque disc on transparent black.
std::string WriteDisc(const std::string& path) {
    constexpr int kSide = 32;
    std::vector<uint8_t> rgba(kSide * kSide * 4, 0);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            int dx = x - kSide / 2, dy = y - kSide / 2;
            if (dx * dx + dy * dy > 14 * 14) continue;
            uint8_t* p = &rgba[size_t(y * kSide + x) * 4];
            p[0] = 200, p[1] = 40, p[2] = 90, p[3] = 255;
        }
    WriteFile(path, oracle::EncodePng(rgba.data(), kSide, kSide));
    return path;
}

// No tool code, from the designer or through the instrument bar, takes the
// filling tool away: not while it prepares, not while it runs. Fill again
// keeps the tool at work too.
TEST_F(DesignerTest, ToolCodesKeepTheFillingToolWithItsPreparationAndItsRun) {
    ASSERT_EQ(editor->samples.AddSample(WriteDisc(dir.File("disc.png"))), 1);
    // At the calm pace the small picture is not finished before the checks.
    editor->samples.speed = SampleCollection::kSpeedCalm;
    ASSERT_EQ(Designer().Open(WritePng(dir.File("a.png"), 160, 120), 0), 1);
    auto* field = dynamic_cast<mtxIEMdfField*>(Designer().CurrentTool());
    ASSERT_NE(field, nullptr);
    std::weak_ptr<const void> life = field->LifeToken();
    size_t barItems = Designer().optionsBar->children.size();
    auto pressEveryToolCode = [&] {
        for (uint32_t code = mtxIEDesigner::kFirstTool; code <= mtxIEDesigner::kLastTool; ++code) {
            Designer().Process(code, 0);
            editor->instrumentBar->Process(code, 0);
            ASSERT_FALSE(life.expired()) << code;
            ASSERT_EQ(Designer().CurrentTool(), field) << code;
        }
        EXPECT_EQ(Designer().optionsBar->children.size(), barItems) << "Go and Stop stay";
    };
    field->Process(mtxIEMdfField::kGo, 0);
    ASSERT_TRUE(field->Preparing());
    mtxIEActionProcessor* task = editor->CurrentTask();
    ASSERT_NE(task, nullptr);
    pressEveryToolCode();
    EXPECT_TRUE(field->Preparing());
    EXPECT_EQ(editor->CurrentTask(), task);
    fill_test::WaitForPreparation(*field);
    ASSERT_TRUE(field->Prepared());
    ASSERT_EQ(field->state, uint32_t(mtxIEMdfField::kRunning));
    mtxFillSession* session = field->Session();
    pressEveryToolCode();
    EXPECT_EQ(field->state, uint32_t(mtxIEMdfField::kRunning));
    EXPECT_EQ(field->Session(), session);
    EXPECT_EQ(Designer().Process(0x400, 0), 0);
    EXPECT_EQ(Designer().Process(0, 0), 0);
}

TEST_F(DesignerTest, AnotherPictureDuringPreparationCancelsItFirst) {
    ASSERT_EQ(editor->samples.AddSample(WriteDisc(dir.File("disc.png"))), 1);
    ASSERT_EQ(Designer().Open(WritePng(dir.File("a.png"), 160, 120), 0), 1);
    auto* field = dynamic_cast<mtxIEMdfField*>(Designer().CurrentTool());
    ASSERT_NE(field, nullptr);
    field->Process(mtxIEMdfField::kGo, 0);
    ASSERT_TRUE(field->Preparing());
    ASSERT_NE(editor->CurrentTask(), nullptr);
    // Another picture: the task is gone (joined) before the old picture is.
    ASSERT_EQ(Designer().Open(WritePng(dir.File("b.png"), 90, 70, 4), 0), 1);
    EXPECT_FALSE(field->Preparing());
    EXPECT_EQ(editor->CurrentTask(), nullptr);
    EXPECT_EQ(field->Session(), nullptr);
    ui_test::PumpPosted();  // a completion of the old run finds nobody
    EXPECT_EQ(field->state, uint32_t(mtxIEMdfField::kStopped));
    EXPECT_FALSE(field->Prepared());
    // The new picture prepares in full.
    field->Process(mtxIEMdfField::kGo, 0);
    ASSERT_TRUE(field->Preparing());
    fill_test::WaitForPreparation(*field);
    EXPECT_TRUE(field->Prepared());
    ASSERT_NE(field->Session(), nullptr);
    EXPECT_EQ(field->Session()->sourceCopy.width, 90);
    // The editor closing during preparation ends it too.
    ASSERT_EQ(Designer().Open(WritePng(dir.File("c.png"), 100, 100, 6), 0), 1);
    field->Process(mtxIEMdfField::kGo, 0);
    ASSERT_TRUE(field->Preparing());
    editor.reset();
}

}  // namespace
