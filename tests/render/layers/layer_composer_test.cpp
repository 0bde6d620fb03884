// The composition of the layers into the current render target.
#include "render/layers/layer_composer.h"

#include <gtest/gtest.h>

#include "render/layers/flatten_stack.h"
#include "render/layers/viewer_layer.h"
#include "tests/render/layers/view_test_support.h"
#include "tests/render/render_test_support.h"

namespace {

using namespace view_test;

TEST(ViewerComposer, LayersLandOverWhiteThroughTheirBlendShaders) {
    LayerEditor& editor = Editor();
    IDirect3DDevice9* device = editor.GetDevice();
    std::vector<uint32_t> bottom = render_test::RandomPixels(150 * 140, 1);
    for (uint32_t& p : bottom) p |= 0xFF000000u;
    std::vector<uint32_t> half(20 * 20, 0x80FF0000u);  // red at half alpha
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(150, 140, bottom));
    stack.AddLayer(1, MakeImage(20, 20, half));
    mtxIEViewerLayer layer0(&editor), layer1(&editor);
    layer0.SetSource(stack.GetLayer(0));
    layer1.SetSource(stack.GetLayer(1));
    stack.GetLayer(1)->transform[2] = 30.0f;  // at (30, 40) of the picture
    stack.GetLayer(1)->transform[5] = 40.0f;
    ASSERT_EQ(layer0.UploadVisible({0, 0, 150, 140}), 1);
    ASSERT_EQ(layer1.UploadVisible({0, 0, 150, 140}), 1);

    int width = 0, height = 0;
    mtxDxScreenSize(&width, &height);
    IDirect3DTexture9* screen = render_test::MakeTarget(device, width, height);
    render_test::SetTarget(device, screen);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    mtxIEViewerComposer composer(&editor);
    RECT rect = {10, 5, 10 + 150, 5 + 140};
    ASSERT_EQ(composer.Compose({&layer0, &layer1}, rect, 10.0f, 5.0f), 1);
    std::vector<uint32_t> got = render_test::ReadTarget(device, screen);
    screen->Release();

    auto at = [&](int x, int y) { return got[size_t(y) * size_t(width) + size_t(x)]; };
    EXPECT_EQ(at(10 + 3, 5 + 2), bottom[2 * 150 + 3]);
    EXPECT_EQ(at(10 + 149, 5 + 139), bottom[139 * 150 + 149]);
    EXPECT_EQ(at(9, 5), 0xFF00FF00u) << "outside the rectangle nothing changes";
    // Inside the red square: bg + 0.5 (red - bg).
    uint32_t below = bottom[45 * 150 + 35], mixed = at(10 + 35, 5 + 45);
    for (int c = 0; c < 3; ++c) {
        float bg = render_test::Channel(below, c), red = c == 2 ? 1.0f : 0.0f;
        EXPECT_NEAR(render_test::Channel(mixed, c), bg + (128.0f / 255.0f) * (red - bg), 1.5f / 255)
            << c;
    }
    EXPECT_EQ(at(10 + 29, 5 + 45), bottom[45 * 150 + 29]);
}

// With nothing above the image layers the top layer's delta blend copies the
// result; a top layer drawn in opaque white turns dark pixels light (delta:
// bg + src (1 - bg) below one half).
TEST(ViewerComposer, TheTopLayerGoesThroughTheDeltaBlend) {
    LayerEditor& editor = Editor();
    IDirect3DDevice9* device = editor.GetDevice();
    std::vector<uint32_t> dark(40 * 40, 0xFF202020u);
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(40, 40, dark));
    mtxIEViewerLayer layer(&editor);
    layer.SetSource(stack.GetLayer(0));
    ASSERT_EQ(layer.UploadVisible({0, 0, 40, 40}), 1);
    int width = 0, height = 0;
    mtxDxScreenSize(&width, &height);
    IDirect3DTexture9* screen = render_test::MakeTarget(device, width, height);
    render_test::SetTarget(device, screen);
    mtxIEViewerComposer composer(&editor);
    RECT rect = {0, 0, 40, 40};
    ASSERT_EQ(composer.Compose({&layer}, rect, 0.0f, 0.0f), 1);
    EXPECT_EQ(render_test::ReadTarget(device, screen)[5 * size_t(width) + 5], 0xFF202020u);
    composer.drawTop = [&] {
        device->SetVertexShader(nullptr);
        device->SetPixelShader(nullptr);
        device->SetTexture(0, nullptr);
        render_test::DrawQuad(device, 20, 20, 100.0f, 0xFFFFFFFFu);
    };
    ASSERT_EQ(composer.Compose({&layer}, rect, 0.0f, 0.0f), 1);
    std::vector<uint32_t> got = render_test::ReadTarget(device, screen);
    screen->Release();
    EXPECT_EQ(got[5 * size_t(width) + 5], 0xFFFFFFFFu);
    EXPECT_EQ(got[30 * size_t(width) + 30], 0xFF202020u);
}

// The one-pass path (normal layers laid over white by the device's blending)
// against the composition through the targets: translucent layers, moved by
// whole pixels, by fractions and turned, at whole and fractional origins.
TEST(ViewerComposer, TheDirectPathMatchesTheTargets) {
    LayerEditor& editor = Editor();
    IDirect3DDevice9* device = editor.GetDevice();
    std::vector<uint32_t> bottom = render_test::RandomPixels(140 * 130, 11);
    std::vector<uint32_t> top = render_test::RandomPixels(60 * 50, 12);
    for (size_t i = 0; i < bottom.size(); i += 3) bottom[i] |= 0xFF000000u;
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(140, 130, bottom));
    stack.AddLayer(1, MakeImage(60, 50, top));
    mtxIEViewerLayer layer0(&editor), layer1(&editor);
    layer0.SetSource(stack.GetLayer(0));
    layer1.SetSource(stack.GetLayer(1));
    int width = 0, height = 0;
    mtxDxScreenSize(&width, &height);
    IDirect3DTexture9* screen = render_test::MakeTarget(device, width, height);
    const float moves[3][9] = {{1, 0, 20, 0, 1, 30, 0, 0, 1},
                               {1, 0, 20.5f, 0, 1, 30.25f, 0, 0, 1},
                               {0.9f, -0.3f, 40, 0.3f, 0.9f, 10, 0, 0, 1}};
    for (const float* move : moves)
        for (float origin : {7.0f, 7.5f}) {
            SCOPED_TRACE(::testing::Message() << move[2] << " " << origin);
            std::copy(move, move + 9, stack.GetLayer(1)->transform);
            ASSERT_EQ(layer0.UploadVisible({0, 0, 140, 130}), 1);
            ASSERT_EQ(layer1.UploadVisible({0, 0, 140, 130}), 1);
            std::vector<uint32_t> got[2];
            for (int direct = 0; direct < 2; ++direct) {
                render_test::SetTarget(device, screen);
                device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
                mtxIEViewerComposer composer(&editor);
                composer.allowDirect = direct == 1;
                RECT rect = {3, 4, 3 + 150, 4 + 140};
                ASSERT_EQ(composer.Compose({&layer0, &layer1}, rect, origin, origin), 1);
                got[direct] = render_test::ReadTarget(device, screen);
            }
            int worst = 0;
            for (size_t i = 0; i < got[0].size(); ++i)
                for (int c = 0; c < 4; ++c)
                    worst = std::max(worst, std::abs(int((got[0][i] >> (8 * c)) & 0xFF) -
                                                     int((got[1][i] >> (8 * c)) & 0xFF)));
            EXPECT_LE(worst, 1);
            EXPECT_EQ(got[1][10 * size_t(width) + 10] >> 24, 0xFFu) << "opaque over white";
            EXPECT_EQ(got[1][2 * size_t(width) + 2], 0xFF00FF00u) << "outside the rectangle";
        }
    screen->Release();
}

// What the screen shows is what is saved: an opaque photo with a translucent
// layer at opacity 128 over it, composed by both paths, against the picture
// FlattenStack makes for the file.
TEST(ViewerComposer, ALayersOpacityShowsAsTheFlattenedPictureHasIt) {
    LayerEditor& editor = Editor();
    IDirect3DDevice9* device = editor.GetDevice();
    std::vector<uint32_t> bottom = render_test::RandomPixels(90 * 70, 21);
    for (uint32_t& p : bottom) p |= 0xFF000000u;
    std::vector<uint32_t> top = render_test::RandomPixels(50 * 40, 22);
    for (size_t i = 0; i < top.size(); i += 5) top[i] |= 0xFF000000u;
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(90, 70, bottom));
    stack.AddLayer(1, MakeImage(50, 40, top));
    stack.GetLayer(1)->transform[2] = 25.0f;
    stack.GetLayer(1)->transform[5] = 15.0f;
    stack.GetLayer(1)->SetOpacity(128);
    mtxImage flat;
    ASSERT_EQ(FlattenStack(stack, flat), 1);
    std::vector<uint32_t> file = PixelsOf(flat);
    mtxIEViewerLayer layer0(&editor), layer1(&editor);
    layer0.SetSource(stack.GetLayer(0));
    layer1.SetSource(stack.GetLayer(1));
    ASSERT_EQ(layer0.UploadVisible({0, 0, 90, 70}), 1);
    ASSERT_EQ(layer1.UploadVisible({0, 0, 90, 70}), 1);
    int width = 0, height = 0;
    mtxDxScreenSize(&width, &height);
    IDirect3DTexture9* screen = render_test::MakeTarget(device, width, height);
    for (int direct = 0; direct < 2; ++direct) {
        render_test::SetTarget(device, screen);
        mtxIEViewerComposer composer(&editor);
        composer.allowDirect = direct == 1;
        ASSERT_EQ(composer.Compose({&layer0, &layer1}, RECT{0, 0, 90, 70}, 0.0f, 0.0f), 1);
        std::vector<uint32_t> shown = render_test::ReadTarget(device, screen);
        int worst = 0;
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 90; ++x)
                for (int c = 0; c < 3; ++c) {
                    uint32_t a = file[size_t(y) * 90 + size_t(x)];
                    uint32_t b = shown[size_t(y) * size_t(width) + size_t(x)];
                    worst = std::max(
                        worst, std::abs(int((a >> (8 * c)) & 0xFF) - int((b >> (8 * c)) & 0xFF)));
                }
        EXPECT_LE(worst, 2) << (direct ? "one pass" : "through the targets");
    }
    screen->Release();
}

}  // namespace
