// Covers mtxIEDesigner with mtxChangeHistory and mtxIEMdfField: Undo and Redo
// of the filling tool's runs and backgrounds and of the opacity, what Open and
// a running tool do to them, and the modified flag (changes since the save).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "app/document/add_layer_dlg.h"
#include "app/document/change_history.h"
#include "app/document/designer_viewer.h"
#include "app/document/picture_file.h"
#include "app/filling/mdf_field.h"
#include "fill/log_picture.h"
#include "fill/sample_collection.h"
#include "image/image_stack.h"
#include "render/layers/flatten_stack.h"
#include "tests/app/document/document_test_support.h"
#include "tests/app/filling/disc_samples.h"
#include "tests/app/filling/tool_preparation.h"
#include "tests/oracles/png.h"
#include "tests/render/render_test_support.h"
#include "tests/support/image_pixels.h"
#include "tests/ui/ui_test_support.h"
#include "ui/combo_box.h"
#include "ui/spin.h"

using namespace document_test;
using testing_support::WriteFile;

namespace {

// Three areas of colour, which the segmentation sees as regions, as a PNG.
std::string WriteAreas(const std::string& path, int width, int height) {
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
            uint32_t c = x > width / 3 ? 0xE0C020u : 0x2060C0u;
            if (y > height / 2 && x > width / 2) c = 0x30A040u;
            p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c), p[3] = 255;
        }
    testing_support::WriteFile(path,
                               oracle::EncodePng(rgba.data(), uint32_t(width), uint32_t(height)));
    return path;
}

using fill_test::AddDiscs;

class DesignerHistoryTest : public Fixture {
  protected:
    DesignerHistoryTest() {
        SampleCollection& samples = Designer().samples;
        samples.background = 1;
        samples.sizeMin = 4, samples.sizeMax = 24, samples.overlap = 2;
        AddDiscs(samples, editor->GetDevice(), 3);
        tool = dynamic_cast<mtxIEMdfField*>(Designer().CurrentTool());
        if (!tool) return;
        tool->clock = [this] { return now; };
        // One placement a tick: the tests count them.
        tool->samples.speed = SampleCollection::kSpeedCalm;
        tool->showMessage = [this](const std::string& text) { told.push_back(text); };
    }

    std::vector<uint32_t> Layer(int index = 0) {
        return testing_support::PixelsOf(*Designer().Picture()->GetLayer(index)->source);
    }
    // Opens a picture and runs Go until the tool is prepared and running.
    void OpenAndPrepare() {
        ASSERT_NE(tool, nullptr);
        ASSERT_EQ(Designer().Open(WriteAreas(dir.File("photo.png"), 150, 100), 0), 1);
        photo = Layer();
        ASSERT_TRUE(fill_test::PrepareAndWait(*tool));
        ASSERT_EQ(tool->state, uint32_t(mtxIEMdfField::kRunning));
    }
    // Timer messages 5 ms of the fake clock apart; the placements made.
    uint64_t Run(int ticks) {
        uint64_t before = tool->placements;
        for (int i = 0; i < ticks; ++i) {
            now += 5;
            tool->OnTimer(tool->timerId);
        }
        return tool->placements - before;
    }
    mtxChangeHistory& History() { return Designer().History(); }

    mtxIEMdfField* tool = nullptr;
    uint32_t now = 1000;
    std::vector<uint32_t> photo;
};

TEST_F(DesignerHistoryTest, UndoAndRedoWalkAFillingRunByteForByte) {
    OpenAndPrepare();
    EXPECT_EQ(History().RecordCount(), 0u) << "background 1 keeps the photo: nothing to record";
    EXPECT_TRUE(History().InChange());
    ASSERT_GT(Run(300), 0u);
    tool->Process(mtxIEMdfField::kStop, 0);
    EXPECT_FALSE(History().InChange());
    std::vector<uint32_t> filled = Layer();
    ASSERT_NE(filled, photo);
    ASSERT_TRUE(History().CanUndo());
    EXPECT_EQ(History().UndoName(), "Fill");

    EXPECT_EQ(Designer().Process(mtxIEDesigner::kUndo, 0), 1);
    EXPECT_EQ(Layer(), photo);
    EXPECT_FALSE(History().CanUndo());
    EXPECT_EQ(tool->Session()->Coverage(), 0.0) << "the coverage follows the picture";
    // At the beginning of the history Undo changes nothing.
    EXPECT_EQ(Designer().Undo(), 0);
    EXPECT_EQ(Layer(), photo);

    EXPECT_EQ(Designer().Process(mtxIEDesigner::kRedo, 0), 1);
    EXPECT_EQ(Layer(), filled);
    EXPECT_EQ(Designer().Redo(), 0) << "at the end of the history";
    EXPECT_EQ(Layer(), filled);

    // A second run after an undo drops what Redo would have walked.
    ASSERT_EQ(Designer().Undo(), 1);
    tool->Process(mtxIEMdfField::kGo, 0);
    ASSERT_GT(Run(100), 0u);
    tool->Process(mtxIEMdfField::kStop, 0);
    std::vector<uint32_t> second = Layer();
    EXPECT_NE(second, photo);
    EXPECT_FALSE(History().CanRedo());
    EXPECT_EQ(History().RecordCount(), 1u);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Layer(), photo);
    ASSERT_EQ(Designer().Redo(), 1);
    EXPECT_EQ(Layer(), second);
    EXPECT_TRUE(told.empty());
}

TEST_F(DesignerHistoryTest, UndoWhileRunningStopsTheToolAndRecordsTheRunFirst) {
    OpenAndPrepare();
    ASSERT_GT(Run(200), 0u);
    EXPECT_EQ(Layer(), photo) << "the stamps are still on the device";
    ASSERT_EQ(Designer().Process(mtxIEDesigner::kUndo, 0), 1);
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
    EXPECT_FALSE(History().InChange());
    EXPECT_EQ(Layer(), photo);
    EXPECT_EQ(Run(100), 0u) << "stopped";
    ASSERT_EQ(Designer().Redo(), 1);
    std::vector<uint32_t> filled = Layer();
    EXPECT_NE(filled, photo);

    // Go again starts a new change on top; a save in the middle keeps it one.
    tool->Process(mtxIEMdfField::kGo, 0);
    ASSERT_GT(Run(100), 0u);
    tool->Suspend();
    EXPECT_TRUE(History().InChange());
    tool->Resume();
    ASSERT_GT(Run(100), 0u);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Layer(), filled);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Layer(), photo);
}

// Strokes of the stamp brush and the eraser (short ones, and ones that leap
// across the picture, erasing stamps all over it at each move), Undo and
// Redo in a random order: after each, the picture is the one its log draws
// again, and a stroke is one step of the history.
TEST_F(DesignerHistoryTest, StampStrokesErasuresUndoAndRedoKeepThePictureTheLogsOwn) {
    OpenAndPrepare();
    ASSERT_GT(Run(300), 0u);
    mtxIEViewer* viewer = Designer().viewer;
    const POINT o = viewer->LocalToEditor(viewer->PictureOrigin());
    std::mt19937 random(12);
    auto point = [&] { return POINT{o.x + 5 + int(random() % 140), o.y + 5 + int(random() % 90)}; };
    auto stroke = [&](int which, int moves, bool leaps = false) {
        ASSERT_EQ(Designer().SelectTool(which), 1);
        EXPECT_EQ(Designer().ChosenTool(), which);
        POINT p = point();
        ui_test::Mouse(*editor, mtxOs::WM_LBUTTONDOWN, p.x, p.y, mtxOs::MK_LBUTTON);
        for (int k = 0; k < moves; ++k) {
            p.x = std::clamp(p.x + int(random() % 21) - 10, o.x, o.x + 149);
            p.y = std::clamp(p.y + int(random() % 21) - 10, o.y, o.y + 99);
            if (leaps) p = point();
            ui_test::Mouse(*editor, mtxOs::WM_MOUSEMOVE, p.x, p.y, mtxOs::MK_LBUTTON);
        }
        ui_test::Mouse(*editor, mtxOs::WM_LBUTTONUP, p.x, p.y);
    };
    int strokes = 0, walks = 0;
    for (int step = 0; step < 30; ++step) {
        const std::vector<uint32_t> before = Layer();
        const size_t records = History().RecordCount();
        const bool running = tool->state == mtxIEMdfField::kRunning;
        uint32_t what = step < 4 ? step % 2 : step < 6 ? uint32_t(step) - 2 : random() % 5;
        const bool leaps = what == 4 || step == 3;
        if (what == 4) what = 1;
        if (what < 2) {
            stroke(what == 0 ? mtxIEDesigner::kToolStamps : mtxIEDesigner::kToolEraser,
                   int(random() % 6) + (leaps ? 2 : 0), leaps);
            EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped)) << "the run stopped first";
            EXPECT_FALSE(History().InChange());
            EXPECT_LE(History().RecordCount(), records + (running ? 2 : 1))
                << "one step a stroke (after the run's)";
            if (what == 0) {
                EXPECT_NE(Layer(), before) << "stamps placed";
            }
            strokes += Layer() != before;
        } else {
            walks += what == 2 ? Designer().Undo() : Designer().Redo();
        }
        mtxFillSession* session = tool->Session();
        ASSERT_NE(session, nullptr);
        mtxImage drawn;
        std::string error;
        ASSERT_EQ(mtxDrawLogPicture(*editor, Designer().samples, session->sourceCopy, session->log,
                                    150, 100, drawn, error),
                  1)
            << error;
        ASSERT_EQ(testing_support::PixelsOf(drawn), Layer()) << "step " << step << ", " << what;
    }
    EXPECT_GT(strokes, 4);
    EXPECT_GT(walks, 2);
    EXPECT_GT(tool->stampHand.placed, 0u);
    EXPECT_GT(tool->stampHand.erased, 0u);
    // Undone to before the first stroke, the picture is the run's.
    while (History().UndoName() != "Fill" && Designer().Undo()) {
    }
    EXPECT_EQ(tool->Session()->log.ErasedCount(), 0u);
}

TEST_F(DesignerHistoryTest, APreparedBackgroundIsAChangeOfItsOwn) {
    Designer().samples.background = 0;
    Designer().samples.backgroundColor = 0xFF102030u;
    OpenAndPrepare();
    std::vector<uint32_t> wiped(photo.size(), 0xFF102030u);
    ASSERT_EQ(Layer(), wiped);
    EXPECT_EQ(History().RecordCount(), 1u);
    ASSERT_GT(Run(300), 0u);
    tool->Process(mtxIEMdfField::kStop, 0);
    std::vector<uint32_t> filled = Layer();

    // Clear (the tool's button) puts the background back: a third record.
    tool->Process(mtxIEMdfField::kClear, 0);
    EXPECT_EQ(Layer(), wiped);
    EXPECT_EQ(History().RecordCount(), 3u);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Layer(), filled);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Layer(), wiped);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Layer(), photo);
    EXPECT_EQ(tool->Session()->sourceCopy.width, 150) << "the session's photo stays";
    ASSERT_EQ(Designer().Redo(), 1);
    EXPECT_EQ(Layer(), wiped);
    ASSERT_EQ(Designer().Redo(), 1);
    EXPECT_EQ(Layer(), filled);

    // A new background while running ends the run's change and starts another.
    tool->Process(mtxIEMdfField::kGo, 0);
    ASSERT_GT(Run(100), 0u);
    Designer().Process(mtxIEDesigner::kResetBackground, 0);
    EXPECT_EQ(Layer(), wiped);
    EXPECT_TRUE(History().InChange()) << "the run goes on";
    ASSERT_GT(Run(100), 0u);
    tool->Process(mtxIEMdfField::kStop, 0);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Layer(), wiped);
    ASSERT_EQ(Designer().Undo(), 1);
    std::vector<uint32_t> beforeReset = Layer();
    EXPECT_NE(beforeReset, wiped);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Layer(), filled);
}

TEST_F(DesignerHistoryTest, OpacityIsUndoneAndRedone) {
    ASSERT_EQ(Designer().Open(WriteAreas(dir.File("photo.png"), 40, 30), 0), 1);
    Designer().Process(mtxIEDesigner::kSetOpacity, 100);
    mtxImageStack::Layer* layer = Designer().Picture()->GetLayer(0);
    ASSERT_EQ(layer->Opacity(), 100);
    EXPECT_EQ(History().UndoName(), "Opacity");
    ASSERT_EQ(Designer().Process(mtxIEDesigner::kUndo, 0), 1);
    EXPECT_EQ(layer->Opacity(), 255);
    ASSERT_EQ(Designer().Process(mtxIEDesigner::kRedo, 0), 1);
    EXPECT_EQ(layer->Opacity(), 100);
}

// A drag of the Move tool shifts the chosen layer by whole pixels, as one
// change; the screen then shows what the flattened picture holds.
TEST_F(DesignerHistoryTest, AMoveIsOneChangeAndTheScreenShowsTheSavedPicture) {
    ASSERT_EQ(Designer().Open(WriteAreas(dir.File("photo.png"), 40, 30), 0), 1);
    ASSERT_EQ(Designer().SelectTool(mtxIEDesigner::kToolMove), 1);
    EXPECT_EQ(Designer().ChosenTool(), mtxIEDesigner::kToolMove);
    ASSERT_NE(Designer().FillingTool(), nullptr) << "the filling tool stays";
    mtxIEViewer* viewer = Designer().viewer;
    POINT o = viewer->LocalToEditor(viewer->PictureOrigin());
    ui_test::Mouse(*editor, mtxOs::WM_LBUTTONDOWN, o.x + 10, o.y + 10, mtxOs::MK_LBUTTON);
    ui_test::Mouse(*editor, mtxOs::WM_MOUSEMOVE, o.x + 14, o.y + 12, mtxOs::MK_LBUTTON);
    ui_test::Mouse(*editor, mtxOs::WM_LBUTTONUP, o.x + 17, o.y + 13);
    const float* m = Designer().Picture()->GetLayer(0)->transform;
    EXPECT_EQ(m[2], 7.0f);
    EXPECT_EQ(m[5], 3.0f);
    EXPECT_EQ(History().UndoName(), "Move");
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(m[2], 0.0f);
    EXPECT_EQ(m[5], 0.0f);
    ASSERT_EQ(Designer().Redo(), 1);
    EXPECT_EQ(m[2], 7.0f);

    // Without the outline over it, the viewer shows the flattened picture over
    // white: exactly when moved by whole pixels, within the filter's rounding
    // when turned (but at the turned layer's smoothed edges).
    auto largestDifference = [&] {
        int chosen = Designer().ChosenTool();
        Designer().SelectTool(mtxIEDesigner::kToolFilling);
        editor->AddDirty(editor->clientRect);
        editor->Paint();
        Designer().SelectTool(chosen);
        ui_test::Pixels screen = ui_test::ReadBack(*editor);
        mtxImage flat;
        EXPECT_EQ(FlattenStack(*Designer().Picture(), flat), 1);
        int largest = 0;
        for (int y = 0; y < flat.height; ++y)
            for (int x = 0; x < flat.width; ++x) {
                uint32_t c = flat.At(x, y), a = mtxAlpha(c), shown = screen.At(o.x + x, o.y + y);
                // The file's edges are smoothed, the screen's are not.
                if (a != 0 && a != 255) continue;
                for (int shift : {0, 8, 16}) {
                    int v = int(c >> shift & 0xFF);
                    int over = (v * int(a) + 255 * (255 - int(a)) + 127) / 255;
                    largest = std::max(largest, std::abs(over - int(shown >> shift & 0xFF)));
                }
            }
        return largest;
    };
    EXPECT_EQ(largestDifference(), 0);
    Designer().SelectTool(mtxIEDesigner::kToolRotate);
    ui_test::Mouse(*editor, mtxOs::WM_LBUTTONDOWN, o.x + 39, o.y + 18, mtxOs::MK_LBUTTON);
    ui_test::Mouse(*editor, mtxOs::WM_LBUTTONUP, o.x + 30, o.y + 34);
    EXPECT_EQ(History().UndoName(), "Rotate");
    EXPECT_NE(m[1], 0.0f);
    EXPECT_LE(largestDifference(), 3);
}

TEST_F(DesignerHistoryTest, OpenEmptiesTheHistoryAndARunDoesNotReachThePictureAfter) {
    OpenAndPrepare();
    ASSERT_GT(Run(200), 0u);
    tool->Process(mtxIEMdfField::kStop, 0);
    tool->Process(mtxIEMdfField::kGo, 0);
    ASSERT_GT(Run(100), 0u);
    ASSERT_TRUE(History().InChange());
    std::string other = WriteAreas(dir.File("other.png"), 150, 100);
    ASSERT_EQ(Designer().Open(other, 0), 1);
    EXPECT_FALSE(History().InChange());
    EXPECT_EQ(History().RecordCount(), 0u);
    std::vector<uint32_t> opened = Layer();
    EXPECT_EQ(Designer().Undo(), 0);
    EXPECT_EQ(Layer(), opened);
    tool->Process(mtxIEMdfField::kStop, 0);
    EXPECT_EQ(History().RecordCount(), 0u) << "the old run is not recorded on the new picture";
}

TEST_F(DesignerHistoryTest, ARunStoppedForWantOfSamplesIsRecorded) {
    OpenAndPrepare();
    ASSERT_GT(Run(200), 0u);
    SampleCollection& samples = Designer().samples;
    int count = samples.count;
    samples.count = 0;
    Run(10);
    samples.count = count;
    EXPECT_EQ(tool->state, uint32_t(mtxIEMdfField::kStopped));
    EXPECT_EQ(told, (std::vector<std::string>{"You should select samples"}));
    EXPECT_FALSE(History().InChange());
    std::vector<uint32_t> filled = Layer();
    EXPECT_NE(filled, photo);
    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_EQ(Layer(), photo);
    ASSERT_EQ(Designer().Redo(), 1);
    EXPECT_EQ(Layer(), filled);
}

// The modified flag: changes since the last save, counted through the designer.

constexpr uint32_t kPngFilter = 2;

class ModifiedTest : public Fixture {
  protected:
    // The filling tool, prepared on a picture and running on a fake clock.
    mtxIEMdfField* PreparedField() {
        std::vector<uint8_t> rgba(16 * 16 * 4, 255);
        WriteFile(dir.File("sample.png"), oracle::EncodePng(rgba.data(), 16, 16));
        EXPECT_EQ(editor->samples.AddSample(dir.File("sample.png")), 1);
        auto* field = dynamic_cast<mtxIEMdfField*>(Designer().CurrentTool());
        if (!field) return nullptr;
        field->clock = [this] { return now; };
        // One placement a tick: the tests count them.
        field->samples.speed = SampleCollection::kSpeedCalm;
        EXPECT_TRUE(fill_test::PrepareAndWait(*field));
        return field;
    }
    // Ticks the tool until it placed a sample (or gave up).
    void PlaceSome(mtxIEMdfField& field) {
        uint64_t before = field.placements;
        field.state = mtxIEMdfField::kRunning;
        for (int i = 0; i < 200 && field.placements == before; ++i) {
            now += 50;
            field.Tick();
        }
        EXPECT_GT(field.placements, before);
    }
    int SaveTo(const std::string& name) { return Designer().SaveAs(dir.File(name), kPngFilter); }
    uint32_t now = 1000;
};

TEST_F(ModifiedTest, FillingMarksThePictureAndASaveOrAnOpenClearsIt) {
    EXPECT_FALSE(Designer().Modified());  // no picture: nothing to lose
    ASSERT_EQ(Designer().Open(WritePng(dir.File("a.png"), 120, 90), 0), 1);
    EXPECT_FALSE(Designer().Modified());
    mtxIEMdfField* field = PreparedField();
    ASSERT_NE(field, nullptr);
    // Preparing alone changes nothing that a save would keep differently.
    field->Process(mtxIEMdfField::kStop, 0);
    EXPECT_FALSE(Designer().Modified());
    PlaceSome(*field);
    EXPECT_TRUE(Designer().Modified());
    ASSERT_EQ(SaveTo("a-filled.png"), 1);
    EXPECT_FALSE(Designer().Modified());
    PlaceSome(*field);
    EXPECT_TRUE(Designer().Modified());
    // A failed save keeps the changes counted.
    EXPECT_EQ(Designer().SaveAs(dir.File("missing/folder/x.png"), kPngFilter), 0);
    EXPECT_TRUE(Designer().Modified());
    ASSERT_EQ(SaveTo("a-filled.png"), 1);
    // Clear and a background reset change the picture too.
    field->Process(mtxIEMdfField::kStop, 0);
    field->Process(mtxIEMdfField::kClear, 0);
    EXPECT_TRUE(Designer().Modified());
    ASSERT_EQ(SaveTo("a-filled.png"), 1);
    Designer().Process(mtxIEDesigner::kResetBackground, 0);
    EXPECT_TRUE(Designer().Modified());
    // Another picture starts unchanged.
    ASSERT_EQ(Designer().Open(WritePng(dir.File("b.png"), 40, 30, 2), 0), 1);
    EXPECT_FALSE(Designer().Modified());
}

TEST_F(ModifiedTest, AddedLayersAndOpacityCountButTheSameOpacityDoesNot) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("a.png"), 30, 20), 0), 1);
    Designer().Process(mtxIEDesigner::kSetOpacity, 255);  // as it is
    EXPECT_FALSE(Designer().Modified());
    Designer().Process(mtxIEDesigner::kSetOpacity, 90);
    EXPECT_TRUE(Designer().Modified());
    ASSERT_EQ(SaveTo("saved.png"), 1);
    EXPECT_FALSE(Designer().Modified());
    // Undoing what was saved changes the picture again.
    Designer().Process(mtxIEDesigner::kUndo, 0);
    EXPECT_EQ(Designer().Picture()->GetLayer(0)->Opacity(), 255);
    EXPECT_TRUE(Designer().Modified());
    ASSERT_EQ(SaveTo("saved.png"), 1);
    Designer().Process(mtxIEDesigner::kUndo, 0);  // nothing left to undo
    EXPECT_FALSE(Designer().Modified());
    Designer().Process(mtxIEDesigner::kAddLayer, 0);
    auto* dialog = dynamic_cast<mtxIEDesigner::DlgAddLayer*>(editor->TopModal());
    ASSERT_NE(dialog, nullptr);
    dialog->Process(mtxIEDlgOkCancel::kOk, 0);
    ASSERT_EQ(Designer().Picture()->LayerCount(), 2);
    EXPECT_TRUE(Designer().Modified());
}

}  // namespace

namespace {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The light lies over the picture on the screen and in the saved file alike;
// Undo takes it away and the file is again the one saved without it, byte
// for byte; Redo brings it back.
TEST_F(DesignerHistoryTest, TheLightIsSavedAsShownAndUndoTakesItAway) {
    ASSERT_EQ(Designer().Open(WriteAreas(dir.File("photo.png"), 60, 40), 0), 1);
    const uint32_t png = mtxPictureFilterOf(mtxPictureFormat::kPng);
    ASSERT_EQ(Designer().SaveAs(dir.File("plain.png"), png), 1);
    mtxReliefLight light = Designer().Light();
    ASSERT_FALSE(light.on);
    light.on = true, light.strength = 80;
    ASSERT_EQ(Designer().SetLight(light), 1);
    EXPECT_EQ(History().UndoName(), "Light");
    ASSERT_EQ(Designer().SaveAs(dir.File("lit.png"), png), 1);
    EXPECT_NE(FileBytes(dir.File("lit.png")), FileBytes(dir.File("plain.png")));

    editor->AddDirty(editor->clientRect);
    editor->Paint();
    ui_test::Pixels screen = ui_test::ReadBack(*editor);
    oracle::Pixels file = oracle::ReadPng(dir.File("lit.png"));
    ASSERT_EQ(file.width, 60);
    mtxIEViewer* viewer = Designer().viewer;
    POINT o = viewer->LocalToEditor(viewer->PictureOrigin());
    int largest = 0;
    for (int y = 0; y < file.height; ++y)
        for (int x = 0; x < file.width; ++x)
            for (int shift : {0, 8, 16})
                largest =
                    std::max(largest, std::abs(int(file.At(x, y) >> shift & 0xFF) -
                                               int(screen.At(o.x + x, o.y + y) >> shift & 0xFF)));
    EXPECT_LE(largest, 1);

    ASSERT_EQ(Designer().Undo(), 1);
    EXPECT_FALSE(Designer().Light().on);
    ASSERT_EQ(Designer().SaveAs(dir.File("undone.png"), png), 1);
    EXPECT_EQ(FileBytes(dir.File("undone.png")), FileBytes(dir.File("plain.png")));
    ASSERT_EQ(Designer().Redo(), 1);
    EXPECT_EQ(Designer().Light(), light);
    ASSERT_EQ(Designer().SaveAs(dir.File("redone.png"), png), 1);
    EXPECT_EQ(FileBytes(dir.File("redone.png")), FileBytes(dir.File("lit.png")));
}

}  // namespace
