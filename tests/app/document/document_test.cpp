// Covers mtxIEDocument without a window or a device: open, save, the modified
// flag, undo and redo.
#include "app/document/document.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image/image.h"
#include "image/image_stack.h"
#include "tests/app/document/document_test_support.h"
#include "tests/oracles/png.h"
#include "tests/support/image_pixels.h"
#include "tests/support/test_support.h"

using document_test::WritePng;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

constexpr uint32_t kPngFilter = 2;

std::vector<uint32_t> LayerPixels(mtxIEDocument& document, int index = 0) {
    return testing_support::PixelsOf(*document.Picture()->GetLayer(index)->source);
}

class DocumentTest : public ::testing::Test {
  protected:
    DocumentTest() { testing_support::SharedApp(); }
    testing_support::TempDir dir;
    mtxIEDocument document;
};

TEST_F(DocumentTest, APngOpensAsOneLayerAndSavesBackPixelEqual) {
    std::string photo = WritePng(dir.File("photo.png"), 37, 21, 5);
    ASSERT_EQ(document.Open(photo, nullptr), 1);
    ASSERT_NE(document.Picture(), nullptr);
    EXPECT_EQ(document.Picture()->width, 37);
    EXPECT_EQ(document.Picture()->height, 21);
    EXPECT_EQ(document.Picture()->LayerCount(), 1);
    EXPECT_EQ(document.Path(), photo);
    EXPECT_EQ(document.openFolder, dir.Path());
    EXPECT_FALSE(document.Modified());

    std::filesystem::create_directory(dir.File("out"));
    ASSERT_EQ(document.SaveAs(dir.File("out/copy"), kPngFilter), 1);
    oracle::Pixels original = oracle::ReadPng(photo);
    oracle::Pixels saved = oracle::ReadPng(dir.File("out/copy.png"));
    ASSERT_EQ(saved.width, 37);
    EXPECT_EQ(saved.data, original.data);
    EXPECT_EQ(document.saveFolder, dir.File("out"));
    EXPECT_EQ(document.Path(), photo) << "saving elsewhere keeps the picture's own file";
}

TEST_F(DocumentTest, AFailedOpenChangesNothingButTheFolderAndTheHookRunsBeforeTheSwap) {
    std::string good = WritePng(dir.File("good.png"), 8, 6);
    int going = 0;
    mtxImageStack* seenAtGoing = nullptr;
    document.onPictureGoing = [&] { ++going, seenAtGoing = document.Picture(); };
    ASSERT_EQ(document.Open(good, nullptr), 1);
    EXPECT_EQ(going, 1);
    EXPECT_EQ(seenAtGoing, nullptr);
    mtxImageStack* first = document.Picture();

    std::filesystem::create_directory(dir.File("other"));
    std::string bytes = ReadFile(good);
    WriteFile(dir.File("other/cut.png"), bytes.substr(0, bytes.size() / 2));
    std::string reason;
    EXPECT_EQ(document.Open(dir.File("other/cut.png"), nullptr, &reason), 0);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(document.Picture(), first);
    EXPECT_EQ(document.Path(), good);
    EXPECT_EQ(document.openFolder, dir.File("other"));
    EXPECT_EQ(going, 1) << "the open picture was not let go";

    ASSERT_EQ(document.Open(WritePng(dir.File("next.png"), 4, 4), nullptr), 1);
    EXPECT_EQ(going, 2);
    EXPECT_EQ(seenAtGoing, first) << "the hook runs while the old picture still exists";
}

TEST_F(DocumentTest, SavingWithoutAPictureOrIntoNoFolderFailsWithAReason) {
    std::string reason;
    EXPECT_EQ(document.SaveAs(dir.File("x.png"), kPngFilter, &reason), 0);
    EXPECT_EQ(reason, "Just open any image");
    ASSERT_EQ(document.Open(WritePng(dir.File("a.png"), 5, 5), nullptr), 1);
    document.MarkModified();
    reason.clear();
    EXPECT_EQ(document.SaveAs(dir.File("missing/x.png"), kPngFilter, &reason), 0);
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(document.Modified()) << "a failed save keeps the changes counted";
}

TEST_F(DocumentTest, ModifiedFollowsOwnChangesTheToolsCountAndSaves) {
    uint64_t toolCount = 0;
    document.toolEdits = [&] { return toolCount; };
    EXPECT_FALSE(document.Modified()) << "no picture: nothing to lose";
    ASSERT_EQ(document.Open(WritePng(dir.File("a.png"), 10, 10), nullptr), 1);
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(document.SetOpacity(0, 255, "Opacity"), 0) << "as it is";
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(document.SetOpacity(0, 90, "Opacity"), 1);
    EXPECT_TRUE(document.Modified());
    ASSERT_EQ(document.SaveAs(dir.File("saved.png"), kPngFilter), 1);
    EXPECT_FALSE(document.Modified());

    ++toolCount;  // the tool placed a sample
    EXPECT_TRUE(document.Modified());
    document.MarkSaved();
    EXPECT_FALSE(document.Modified());
    ++toolCount;
    document.ToolGoing();  // its count goes with it, its change stays
    toolCount = 0;
    EXPECT_TRUE(document.Modified());
    document.MarkSaved();
    document.ToolGoing();  // nothing unsaved: still nothing to lose
    EXPECT_FALSE(document.Modified());

    EXPECT_EQ(document.AppendLayer(std::make_unique<mtxImage>(3, 3)), 1);
    EXPECT_EQ(document.Picture()->LayerCount(), 2);
    EXPECT_TRUE(document.Modified());
    ASSERT_EQ(document.Open(WritePng(dir.File("b.png"), 4, 4), nullptr), 1);
    EXPECT_FALSE(document.Modified()) << "another picture starts unchanged";
}

TEST_F(DocumentTest, UndoAndRedoWalkPixelAndOpacityChangesAndOpenEmptiesThem) {
    EXPECT_EQ(document.Undo(), 0) << "no picture";
    ASSERT_EQ(document.Open(WritePng(dir.File("a.png"), 150, 140, 3), nullptr), 1);
    std::vector<uint32_t> photo = LayerPixels(document);

    ASSERT_EQ(document.BeginChange(0, "Paint"), 1);
    mtxImage& layer = *document.Picture()->GetLayer(0)->source;
    for (int y = 100; y < 140; ++y)
        for (int x = 120; x < 150; ++x) layer.Row(y)[x] = 0xFF00FF00u;
    ASSERT_EQ(document.EndChange(), 1);
    std::vector<uint32_t> painted = LayerPixels(document);
    ASSERT_NE(painted, photo);
    ASSERT_EQ(document.SetOpacity(0, 40, "Opacity"), 1);
    document.MarkSaved();

    mtxChangeHistory::Step step;
    ASSERT_EQ(document.Undo(&step), 1);
    EXPECT_EQ(step.kind, mtxChangeHistory::kKindOpacity);
    EXPECT_EQ(document.Picture()->GetLayer(0)->Opacity(), 255);
    EXPECT_TRUE(document.Modified()) << "undoing what was saved changes the picture";
    ASSERT_EQ(document.Undo(&step), 1);
    EXPECT_EQ(step.kind, mtxChangeHistory::kKindPixels);
    EXPECT_EQ(LayerPixels(document), photo);
    EXPECT_EQ(document.Undo(), 0) << "at the beginning of the history";
    ASSERT_EQ(document.Redo(), 1);
    EXPECT_EQ(LayerPixels(document), painted);
    ASSERT_EQ(document.Redo(), 1);
    EXPECT_EQ(document.Picture()->GetLayer(0)->Opacity(), 40);
    EXPECT_EQ(document.Redo(), 0) << "at the end of the history";

    // A change still open is recorded before the walk goes back over it.
    ASSERT_EQ(document.BeginChange(0, "Paint"), 1);
    layer.Row(0)[0] = 0xFF0000FFu;
    ASSERT_EQ(document.Undo(), 1);
    EXPECT_EQ(LayerPixels(document), painted);
    EXPECT_FALSE(document.History().InChange());

    ASSERT_EQ(document.Open(WritePng(dir.File("b.png"), 20, 20), nullptr), 1);
    EXPECT_EQ(document.History().RecordCount(), 0u);
    EXPECT_EQ(document.Undo(), 0);
}

}  // namespace
