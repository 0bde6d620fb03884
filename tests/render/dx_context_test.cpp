// Start-up of the device: the library, the Direct3D object, the
// capabilities and the messages the user sees when one of them fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/device.h"
#include "render/dx_context.h"
#include "render/image_editor_device.h"

namespace {

struct Shown {
    std::string text;
    unsigned flags;
};
std::vector<Shown> shown;

int Capture(const std::string& text, const std::string&, unsigned flags) {
    shown.push_back({text, flags});
    return 1;
}

class DxStartUp : public ::testing::Test {
  protected:
    void SetUp() override {
        shown.clear();
        saved = mtxDxContext::messageBox;
        mtxDxContext::messageBox = &Capture;
    }
    void TearDown() override {
        mtxDxTestSwitches() = mtxDxTestSwitch{};
        mtxDxContext::messageBox = saved;
    }
    // Creates an editor's device and expects it to fail with at most one message.
    void ExpectNoDevice() {
        mtxImageEditorDevice editor;
        EXPECT_EQ(editor.CreateDevice(nullptr), 0);
        EXPECT_EQ(editor.ready, 0u);
        EXPECT_EQ(editor.GetDevice(), nullptr);
        EXPECT_EQ(editor.dx, nullptr);
        EXPECT_EQ(editor.GetPixelShader(5067), nullptr);  // no device, no shaders
        EXPECT_EQ(editor.AcquireTexture(mtxImageEditorDevice::kPoolColor), nullptr);
    }

    mtxDxContext::MessageBoxFn saved = nullptr;
};

TEST_F(DxStartUp, WorkingDeviceShowsNothingAndReadsItsParameters) {
    mtxImageEditorDevice editor;
    ASSERT_EQ(editor.CreateDevice(nullptr), 1) << "no headless OpenGL 3.3 device";
    EXPECT_TRUE(shown.empty());
    const mtxDxContext& dx = *editor.dx;
    int width = 0, height = 0;
    mtxDxScreenSize(&width, &height);
    EXPECT_EQ(dx.present.BackBufferWidth, uint32_t(width));
    EXPECT_EQ(dx.present.BackBufferHeight, uint32_t(height));
    EXPECT_EQ(dx.present.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(dx.present.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(dx.present.Windowed, 1);
    EXPECT_EQ(dx.fullScreen, 0u);
    EXPECT_GT(dx.textureMemory, 0u);
    EXPECT_GE(dx.modeCount32, 1);
    EXPECT_EQ(dx.modes32[0].Format, D3DFMT_X8R8G8B8);
}

TEST_F(DxStartUp, MissingLibraryGivesExactlyOneMessageAndNoDevice) {
    mtxDxTestSwitches().failLibrary = 1;
    ExpectNoDevice();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "You need to install OpenGL 3.3 or above");
    EXPECT_EQ(shown[0].flags, 0x40u);  // information icon
}

TEST_F(DxStartUp, MissingEntryPointAndFailedCreationHaveTheirMessages) {
    mtxDxTestSwitches().failEntryPoint = 1;
    ExpectNoDevice();
    mtxDxTestSwitches() = mtxDxTestSwitch{};
    mtxDxTestSwitches().failCreate9 = 1;
    ExpectNoDevice();
    mtxDxTestSwitches() = mtxDxTestSwitch{};
    mtxDxTestSwitches().failCaps = 1;
    ExpectNoDevice();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "OpenGL library corrupted");
    EXPECT_EQ(shown[1].text, "Cannot initialize OpenGL ");  // the trailing blank is kept
    EXPECT_EQ(shown[2].text, "Can't retrive device capabilities");
    EXPECT_EQ(shown[0].flags, 0x10u);
    EXPECT_EQ(shown[2].flags, 0x10u | 0x40000u);  // error icon, top-most
}

TEST_F(DxStartUp, DisplayModeOrDeviceFailureIsSilent) {
    mtxDxTestSwitches().failDisplayMode = 1;
    ExpectNoDevice();
    mtxDxTestSwitches() = mtxDxTestSwitch{};
    mtxDxTestSwitches().failCreateDevice = 1;
    ExpectNoDevice();
    EXPECT_TRUE(shown.empty());
}

TEST_F(DxStartUp, CapabilityMessageListsMissingFeaturesInOrder) {
    mtxDxTestSwitches().vertexShaderMajor = 1;
    mtxDxTestSwitches().noAutoMipmap = 1;
    ExpectNoDevice();
    ASSERT_EQ(shown.size(), 1u);
    const std::string prefix =
        "Your video card doesn't support: vertex shaders 2.0, auto mipmap creation.";
    EXPECT_EQ(shown[0].text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(shown[0].flags, 0x10u);

    D3DCAPS9 caps = {};
    caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
    caps.PixelShaderVersion = D3DPS_VERSION(1, 4);
    EXPECT_EQ(mtxDxContext::MissingCapabilities(caps).substr(0, 85),
              "Your video card doesn't support: vertex shaders 2.0, pixel shaders 2.0, auto mipmap "
              "c");
    caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
    caps.Caps2 = D3DCAPS2_CANAUTOGENMIPMAP;
    EXPECT_EQ(mtxDxContext::MissingCapabilities(caps).substr(0, 51),
              "Your video card doesn't support: pixel shaders 2.0.");
    caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
    EXPECT_EQ(mtxDxContext::MissingCapabilities(caps), "");
}

}  // namespace
