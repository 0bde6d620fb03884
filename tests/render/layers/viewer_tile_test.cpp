// The tile grid and what the upload puts into a tile's textures.
#include "render/layers/viewer_tile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "tests/render/layers/view_test_support.h"
#include "tests/render/render_test_support.h"

namespace {

using namespace view_test;

// Pool textures as a previous user left them: full of opaque white.
void SoilThePool(int count) {
    LayerEditor& editor = Editor();
    std::vector<IDirect3DTexture9*> taken;
    for (int i = 0; i < count; ++i) {
        IDirect3DTexture9* t = editor.AcquireTexture(mtxImageEditorDevice::kPoolColor);
        IDirect3DSurface9* level = nullptr;
        t->GetSurfaceLevel(0, &level);
        editor.GetDevice()->ColorFill(level, nullptr, 0xFFFFFFFFu);
        level->Release();
        taken.push_back(t);
    }
    for (IDirect3DTexture9* t : taken) editor.ReleaseTexture(mtxImageEditorDevice::kPoolColor, t);
}

// Texel (i, j) of tile (x, y) must be picture pixel (x - 1 + i, y - 1 + j);
// along the picture's left and top edges the border repeats the edge pixel,
// and texels past the right or bottom edge are 0.
std::string CheckTileTexture(const std::vector<uint32_t>& texels,
                             const std::vector<uint32_t>& picture, int width, int height, int x,
                             int y) {
    for (int j = 0; j < 128; ++j)
        for (int i = 0; i < 128; ++i) {
            int px = x - 1 + i, py = y - 1 + j;
            uint32_t want = 0;
            if (px < width && py < height)
                want = picture[size_t(std::max(py, 0)) * size_t(width) + size_t(std::max(px, 0))];
            uint32_t got = texels[size_t(j) * 128 + size_t(i)];
            if (got != want)
                return "tile (" + std::to_string(x) + ", " + std::to_string(y) + ") texel (" +
                       std::to_string(i) + ", " + std::to_string(j) + "): got " +
                       std::to_string(got) + ", want " + std::to_string(want);
        }
    return "";
}

TEST(ViewerTile, UploadPlacesPixelsBordersAndClearsPastTheEdge) {
    LayerEditor& editor = Editor();
    for (int size : {1, 126, 127, 128, 253}) {
        SoilThePool(12);
        std::vector<uint32_t> pixels = render_test::RandomPixels(size * size, uint32_t(size));
        mtxImageStack stack;
        stack.AddLayer(0, MakeImage(size, size, pixels));
        mtxIEViewerLayer layer(&editor);
        layer.SetSource(stack.GetLayer(0));
        int tiles = (size + 125) / 126;
        ASSERT_EQ(layer.columns, tiles) << size;
        ASSERT_EQ(layer.rows, tiles) << size;
        ASSERT_EQ(layer.UploadVisible({0, 0, size, size}), 1);
        for (int r = 0; r < tiles; ++r)
            for (int c = 0; c < tiles; ++c) {
                mtxIEViewerLayer::Tile* tile = layer.GetTile(c, r);
                EXPECT_EQ(tile->width, std::min(126, size - 126 * c));
                ASSERT_NE(tile->color, nullptr);
                std::vector<uint32_t> texels =
                    render_test::ReadTarget(editor.GetDevice(), tile->color);
                EXPECT_EQ(CheckTileTexture(texels, pixels, size, size, tile->x, tile->y), "")
                    << "picture " << size;
            }
    }
}

// An opaque stamp over the whole picture reaches every pixel, edge tiles too.
TEST(ViewerTile, AStampOverEverythingCommitsEveryPixel) {
    LayerEditor& editor = Editor();
    std::vector<uint32_t> one(64 * 64, 0xFF336699u);
    Sample sample(64, 1);
    sample.texture->Release();
    sample.pixels = one;
    sample.texture = render_test::MakeTexture(editor.GetDevice(), 64, 64, one);
    for (int size : {1, 126, 127, 128, 253}) {
        mtxImageStack stack;
        stack.AddLayer(0, MakeImage(size, size, render_test::RandomPixels(size * size, 3)));
        mtxIEViewerLayer layer(&editor);
        layer.SetSource(stack.GetLayer(0));
        float centre = float(size) / 2 - 0.5f;
        ASSERT_EQ(DrawStamp(layer, sample, Stamp(centre, centre, float(size) + 4, 0.0f), 1.0f), 1);
        ASSERT_EQ(layer.CommitTiles(), 1);
        std::vector<uint32_t> got = PixelsOf(*stack.GetLayer(0)->source);
        EXPECT_EQ(std::count(got.begin(), got.end(), 0xFF336699u), size * size) << size;
    }
}

TEST(ViewerTile, ChangeRecordsUploadTheNamedTilesAgain) {
    LayerEditor& editor = Editor();
    std::vector<uint32_t> pixels = render_test::RandomPixels(200 * 150, 21);
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(200, 150, pixels));
    mtxImageStack::Layer* stackLayer = stack.GetLayer(0);
    mtxIEViewerLayer layer(&editor);
    layer.SetSource(stackLayer);
    ASSERT_EQ(layer.UploadVisible({0, 0, 200, 150}), 1);
    // The picture changes in memory at (130, 5), inside tile (1, 0).
    ASSERT_EQ(stackLayer->source->Lock(), 1);
    stackLayer->source->At(130, 5) = 0x12345678u;
    stackLayer->source->Unlock();
    ASSERT_EQ(stackLayer->texture->Lock(), 1);
    stackLayer->texture->At(130, 5) = 0x87654321u;
    stackLayer->texture->Unlock();
    stackLayer->viewerData.push_back({1, 0, 0});
    stackLayer->viewerData.push_back({1, 0, 1});
    stackLayer->viewerData.push_back({7, 9, 0});  // no such tile: ignored
    ASSERT_EQ(layer.UploadChanges(), 1);
    EXPECT_TRUE(stackLayer->viewerData.empty());
    mtxIEViewerLayer::Tile* tile = layer.GetTile(1, 0);
    std::vector<uint32_t> color = render_test::ReadTarget(editor.GetDevice(), tile->color);
    std::vector<uint32_t> texture = render_test::ReadTarget(editor.GetDevice(), tile->texture);
    EXPECT_EQ(color[6 * 128 + 5], 0x12345678u);  // texel (130 - 126 + 1, 5 + 1)
    EXPECT_EQ(texture[6 * 128 + 5], 0x87654321u);
    // The other tile kept its upload.
    EXPECT_EQ(layer.GetTile(0, 1)->texture, nullptr);
}

// Heights in green (high byte) and blue (low byte) become a normal map.
TEST(ViewerTile, NormalTextureOfFlatAndSlopedHeights) {
    LayerEditor& editor = Editor();
    std::vector<uint32_t> flat(60 * 60, 0xFF008000u);
    std::vector<uint32_t> slope(60 * 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            slope[size_t(y) * 60 + size_t(x)] = 0xFF000000u | uint32_t(x * 4) << 8;
    for (const auto* heights : {&flat, &slope}) {
        mtxImageStack stack;
        stack.AddLayer(0, MakeImage(60, 60, *heights));
        mtxIEViewerLayer layer(&editor);
        layer.SetSource(stack.GetLayer(0));
        ASSERT_EQ(layer.UploadVisible({0, 0, 60, 60}), 1);
        ASSERT_EQ(layer.MakeNormalTextures(), 1);
        std::vector<uint32_t> normals =
            render_test::ReadTarget(editor.GetDevice(), layer.GetTile(0, 0)->normal);
        uint32_t n = normals[30 * 128 + 30];  // G16R16: red low half, green high half
        double nx = double(n & 0xFFFF) / 65535.0 * 2 - 1, ny = double(n >> 16) / 65535.0 * 2 - 1;
        if (heights == &flat) {
            EXPECT_NEAR(nx, 0.0, 0.01);
            EXPECT_NEAR(ny, 0.0, 0.01);
        } else {
            // Rising to the east: dx = -8 x 4/255 per step, so n.x = dx / |(dx, 0, 1)|.
            double dx = -8.0 * 4.0 / 255.0 * 0.996094;
            EXPECT_NEAR(nx, dx / std::sqrt(dx * dx + 1), 0.01);
            EXPECT_NEAR(ny, 0.0, 0.01);
        }
    }
}

}  // namespace
