// Covers mtxChangeHistory with mtxIEViewerLayer. The change history on the road of a filling run:
// stamps drawn into a layer's tiles on the device, committed into the image, recorded; Undo and
// Redo then bring the image and every tile the viewer shows back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/document/change_history.h"
#include "image/file_memory.h"
#include "render/layers/viewer_tile.h"
#include "tests/render/layers/view_test_support.h"
#include "tests/render/render_test_support.h"

namespace {

using namespace view_test;

// The first texel of a tile's colour texture that is not the picture pixel it
// shows (its own pixels and the one-pixel border inside the picture); empty
// when all are.
std::string CheckTiles(mtxIEViewerLayer& layer, const std::vector<uint32_t>& picture, int width,
                       int height) {
    const int step = mtxIEViewerLayer::kTileStep;
    for (int row = 0; row * step < height; ++row)
        for (int column = 0; column * step < width; ++column) {
            mtxIEViewerLayer::Tile* tile = layer.GetTile(column, row);
            if (!tile || !tile->color) return "tile without texture";
            std::vector<uint32_t> texels =
                render_test::ReadTarget(Editor().GetDevice(), tile->color);
            for (int j = 0; j < 128; ++j)
                for (int i = 0; i < 128; ++i) {
                    int x = column * step - 1 + i, y = row * step - 1 + j;
                    if (x < 0 || y < 0 || x >= width || y >= height) continue;
                    if (texels[size_t(j) * 128 + i] != picture[size_t(y) * width + x])
                        return "tile (" + std::to_string(column) + ", " + std::to_string(row) +
                               ") pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
                }
        }
    return "";
}

TEST(ChangeHistoryOnTheDevice, UndoAndRedoOfStampsReachImageAndTiles) {
    const int width = 300, height = 200;
    std::vector<uint32_t> start = render_test::RandomPixels(width * height, 5);
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(width, height, start));
    mtxImageStack::Layer* stackLayer = stack.GetLayer(0);
    mtxIEViewerLayer layer(&Editor());
    layer.SetSource(stackLayer);
    Editor().layers.push_back(&layer);
    ASSERT_EQ(layer.UploadVisible({0, 0, width, height}), 1);

    mtxChangeHistory history(mtxChangeHistory::kDefaultBudget, std::make_unique<mtxFileMemory>());
    ASSERT_EQ(history.BeginChange(stack, 0, "Fill"), 1);
    Sample sample(24, 3);
    const float spots[][2] = {{20, 20}, {140, 60}, {250, 150}, {126, 126}};
    for (auto& spot : spots)
        ASSERT_EQ(DrawStamp(layer, sample, Stamp(spot[0], spot[1], 30, 0.4f), 1.0f), 1);
    ASSERT_EQ(layer.CommitTiles(), 1);
    ASSERT_EQ(history.EndChange(stack), 1);
    std::vector<uint32_t> filled = PixelsOf(*stackLayer->source);
    ASSERT_NE(filled, start);

    ASSERT_EQ(history.Undo(stack), 1);
    EXPECT_EQ(PixelsOf(*stackLayer->source), start);
    ASSERT_EQ(layer.UploadChanges(), 1);
    EXPECT_EQ(CheckTiles(layer, start, width, height), "");

    ASSERT_EQ(history.Redo(stack), 1);
    EXPECT_EQ(PixelsOf(*stackLayer->source), filled);
    ASSERT_EQ(layer.UploadChanges(), 1);
    EXPECT_EQ(CheckTiles(layer, filled, width, height), "");
    std::erase(Editor().layers, &layer);
}

}  // namespace
