// The document controller's notion of changes since the last save.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/document/add_layer_dlg.h"
#include "app/filling/mdf_field.h"
#include "fill/sample_collection.h"
#include "image/image_stack.h"
#include "tests/app/document/document_test_support.h"
#include "tests/oracles/png.h"
#include "tests/ui/ui_test_support.h"
#include "ui/combo_box.h"
#include "ui/spin.h"

using namespace document_test;
using testing_support::WriteFile;

namespace {

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
        field->Process(mtxIEMdfField::kGo, 0);
        for (int i = 0; i < 1000 && field->Preparing(); ++i) {
            ui_test::PumpPosted();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(field->Prepared());
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

TEST_F(ModifiedTest, ChangesOfAToolThatIsGoneStayCounted) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("a.png"), 120, 90), 0), 1);
    mtxIEMdfField* field = PreparedField();
    ASSERT_NE(field, nullptr);
    PlaceSome(*field);
    field->Process(mtxIEMdfField::kStop, 0);
    Designer().Process(mtxIEDesigner::kFirstTool, 0);  // the tool goes
    EXPECT_TRUE(Designer().Modified());
    Designer().Process(mtxIEDesigner::kLastTool, 0);  // the filling tool (9 + 8)
    EXPECT_TRUE(Designer().Modified());               // a new tool with a count of 0
    ASSERT_EQ(SaveTo("saved.png"), 1);
    EXPECT_FALSE(Designer().Modified());
    // Saved, then the tool goes: still nothing to lose.
    Designer().Process(mtxIEDesigner::kFirstTool, 0);
    EXPECT_FALSE(Designer().Modified());
}

TEST_F(ModifiedTest, AddedLayersAndOpacityCountButTheSameOpacityDoesNot) {
    ASSERT_EQ(Designer().Open(WritePng(dir.File("a.png"), 30, 20), 0), 1);
    Designer().Process(mtxIEDesigner::kFirstTool, 0);  // the layer options
    ASSERT_NE(Designer().opacity, nullptr);
    Designer().opacity->SetValue(255);  // as it is
    Designer().Process(mtxIEDesigner::kSetOpacity, 0);
    EXPECT_FALSE(Designer().Modified());
    Designer().opacity->SetValue(90);
    Designer().Process(mtxIEDesigner::kSetOpacity, 0);
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
