// The relief light: its device rendering against a plain CPU version, and its
// shade on the screen against the flattened picture.
#include "render/layers/relief_light.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/registry.h"
#include "render/layers/flatten_stack.h"
#include "render/layers/layer_composer.h"
#include "render/layers/shown_picture.h"
#include "tests/render/layers/view_test_support.h"
#include "tests/render/render_test_support.h"
#include "tests/support/test_support.h"

namespace {

using namespace view_test;

// A smooth picture with hard edges: discs of other colours on waves.
std::vector<uint32_t> Relief(int width, int height) {
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double v = 128 + 100 * std::sin(x * 0.09) * std::cos(y * 0.07);
            bool disc = std::hypot((x % 60) - 30, (y % 50) - 25) < 12;
            uint32_t g = uint32_t(disc ? 255 - v : v), r = (x * 3) & 0xFF, b = (y * 5) & 0xFF;
            pixels[size_t(y) * size_t(width) + size_t(x)] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    return pixels;
}

// The light as its description reads: heights from brightness, Sobel
// normals in doubles, the shade's alpha from the normal against the light.
std::vector<uint32_t> SlowLight(const std::vector<uint32_t>& pixels, int width, int height,
                                const mtxReliefLight& light) {
    auto h = [&](int x, int y) {
        uint32_t p = pixels[size_t(std::clamp(y, 0, height - 1)) * size_t(width) +
                            size_t(std::clamp(x, 0, width - 1))];
        uint32_t v = 77 * ((p >> 16) & 0xFF) + 150 * ((p >> 8) & 0xFF) + 29 * (p & 0xFF);
        return 0.996094 * ((v >> 8) / 255.0) + 0.00390625 * ((v & 0xFF) / 255.0);
    };
    float to[3];
    light.Direction(to);
    std::vector<uint32_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double dx = (2 * h(x - 1, y) + h(x - 1, y - 1) + h(x - 1, y + 1)) -
                        (2 * h(x + 1, y) + h(x + 1, y - 1) + h(x + 1, y + 1));
            double dy = (2 * h(x, y - 1) + h(x - 1, y - 1) + h(x + 1, y - 1)) -
                        (2 * h(x, y + 1) + h(x - 1, y + 1) + h(x + 1, y + 1));
            double length = std::sqrt(dx * dx + dy * dy + 1);
            double lit = (dx * to[0] + dy * to[1] + to[2]) / length - to[2];
            double s = light.Gain() * lit;
            uint32_t alpha = uint32_t(std::lround(std::min(std::fabs(s), 1.0) * 255));
            out.push_back(alpha << 24 | (s >= 0 ? 0xFFFFFFu : 0u));
        }
    return out;
}

// Transparent pixels may take either colour; the rest within two levels.
TEST(ReliefLight, TheDeviceAgreesWithThePlainVersion) {
    const int width = 300, height = 170;  // several pieces, cut at both edges
    std::vector<uint32_t> pixels = Relief(width, height);
    for (int angle : {0, 135, 250}) {
        mtxReliefLight light;
        light.angle = angle, light.strength = 70;
        SCOPED_TRACE(angle);
        auto picture = MakeImage(width, height, pixels);
        mtxImageDx shade(Editor().GetDevice());
        ASSERT_EQ(mtxRenderReliefLight(&Editor(), *picture, light, shade), 1);
        std::vector<uint32_t> got = PixelsOf(shade), want = SlowLight(pixels, width, height, light);
        ASSERT_EQ(got.size(), want.size());
        int bad = 0, lit = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            int a = int(got[i] >> 24), b = int(want[i] >> 24);
            bool colour = a <= 2 || (got[i] & 0xFFFFFF) == (want[i] & 0xFFFFFF);
            if (std::abs(a - b) > 2 || !colour) ++bad;
            lit += b > 10;
        }
        EXPECT_EQ(bad, 0);
        EXPECT_GT(lit, int(got.size()) / 10) << "the picture has relief to light";
    }
}

TEST(ReliefLight, SettingsTravelAndRefuseValuesOutOfRange) {
    mtxReliefLight light;
    light.on = true, light.angle = 359, light.strength = 100;
    std::vector<uint8_t> bytes = light.Encode();
    mtxReliefLight back;
    ASSERT_EQ(mtxReliefLight::Decode(bytes.data(), bytes.size(), back), 1);
    EXPECT_EQ(back, light);
    for (size_t at : {0, 4, 8}) {
        std::vector<uint8_t> bad = bytes;
        bad[at] = at == 0 ? 2 : 0xFF;
        EXPECT_EQ(mtxReliefLight::Decode(bad.data(), bad.size(), back), 0) << at;
    }
    EXPECT_EQ(mtxReliefLight::Decode(bytes.data(), bytes.size() - 1, back), 0);
    EXPECT_EQ(back, light);

    // The settings store keeps the light; values out of range keep what is set.
    testing_support::TempDir dir;
    mtxRegistry settings;
    settings.Open("Software\\Test", dir.File("settings.reg"));
    light.Write(settings);
    mtxReliefLight read;
    read.Read(settings);
    EXPECT_EQ(read, light);
    settings.SetInt(mtxReliefLight::kSection, "ang", 360);
    settings.SetInt(mtxReliefLight::kSection, "str", 101);
    read = mtxReliefLight{};
    read.Read(settings);
    EXPECT_EQ(read.angle, mtxReliefLight{}.angle);
    EXPECT_EQ(read.strength, mtxReliefLight{}.strength);
    EXPECT_TRUE(read.on);
}

// The shade shown over the layers on the device and laid over the flattened
// picture for the file give the same picture.
TEST(ReliefLight, TheScreenShowsWhatIsSaved) {
    LayerEditor& editor = Editor();
    IDirect3DDevice9* device = editor.GetDevice();
    const int width = 200, height = 150;
    std::vector<uint32_t> pixels = Relief(width, height);
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(width, height, pixels));
    mtxImage flat;
    ASSERT_EQ(FlattenStack(stack, flat), 1);
    mtxReliefLight light;
    light.on = true;
    auto shade = std::make_unique<mtxImageDx>(device);
    ASSERT_EQ(mtxRenderReliefLight(&editor, flat, light, *shade), 1);
    mtxImage saved;
    saved.Assign(flat);
    ASSERT_EQ(LayImageOver(saved, *shade), 1);
    EXPECT_FALSE(PixelsOf(saved) == PixelsOf(flat)) << "the light changes the picture";

    mtxImageStack overlay;
    overlay.AddLayer(0, std::move(shade));
    mtxIEViewerLayer layer(&editor), light0(&editor);
    layer.SetSource(stack.GetLayer(0));
    light0.SetSource(overlay.GetLayer(0));
    ASSERT_EQ(layer.UploadVisible({0, 0, width, height}), 1);
    ASSERT_EQ(light0.UploadVisible({0, 0, width, height}), 1);
    int sw = 0, sh = 0;
    mtxDxScreenSize(&sw, &sh);
    IDirect3DTexture9* screen = render_test::MakeTarget(device, sw, sh);
    render_test::SetTarget(device, screen);
    mtxIEViewerComposer composer(&editor);
    RECT rect = {0, 0, width, height};
    ASSERT_EQ(composer.Compose({&layer, &light0}, rect, 0.0f, 0.0f), 1);
    std::vector<uint32_t> shown = render_test::ReadTarget(device, screen);
    screen->Release();
    std::vector<uint32_t> file = PixelsOf(saved);
    int worst = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                int a = int(shown[size_t(y) * size_t(sw) + size_t(x)] >> (8 * c) & 0xFF);
                int b = int(file[size_t(y) * size_t(width) + size_t(x)] >> (8 * c) & 0xFF);
                worst = std::max(worst, std::abs(a - b));
            }
    EXPECT_LE(worst, 1);
}

}  // namespace

// The picture as shown: the layers flattened, the shade over them whether
// rendered here or handed in as the screen's, none with the light off, and
// a refusal, not a picture without it, when there is no device to render it.
TEST(ReliefLight, TheShownPictureIsTheFlattenedLayersUnderTheShade) {
    const int width = 90, height = 70;
    mtxImageStack stack;
    stack.AddLayer(0, MakeImage(width, height, Relief(width, height)));
    const float turn[9] = {0.96f, -0.28f, 12.5f, 0.28f, 0.96f, -6, 0, 0, 1};
    std::copy(turn, turn + 9, stack.GetLayer(0)->transform);
    mtxImage flat, shown, handed, shade;
    ASSERT_EQ(FlattenStack(stack, flat), 1);
    mtxReliefLight light;
    std::string error;
    ASSERT_EQ(mtxComposeShown(stack, light, &Editor(), shown, error), 1) << error;
    EXPECT_TRUE(PixelsOf(shown) == PixelsOf(flat)) << "the light is off";

    light.on = true, light.angle = 20, light.strength = 90;
    ASSERT_EQ(mtxComposeShown(stack, light, &Editor(), shown, error), 1) << error;
    ASSERT_EQ(mtxRenderReliefLight(&Editor(), flat, light, shade), 1);
    ASSERT_EQ(mtxComposeShown(stack, light, nullptr, handed, error, &shade), 1) << error;
    EXPECT_TRUE(PixelsOf(shown) == PixelsOf(handed));
    ASSERT_EQ(LayImageOver(flat, shade), 1);
    EXPECT_TRUE(PixelsOf(shown) == PixelsOf(flat));

    EXPECT_EQ(mtxComposeShown(stack, light, nullptr, shown, error), 0);
    EXPECT_NE(error.find("light"), std::string::npos) << error;
}
