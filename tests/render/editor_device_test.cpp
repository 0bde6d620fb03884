// The editor's device parts: device images, textures from images, shader
// caches, render-target pools, and the device loss and reset paths.
#include <gtest/gtest.h>

#include <span>

#include "platform/resource_table.h"
#include "render/create_texture.h"
#include "render/image_dx.h"
#include "tests/render/render_test_support.h"
#include "tests/support/test_support.h"

using namespace render_test;

namespace {

TEST(ImageDx, CreateWithTheSameSizeKeepsSurfaceAndPixels) {
    IDirect3DDevice9* device = Device();
    ASSERT_NE(device, nullptr);
    mtxImageDx image(device);
    ASSERT_EQ(image.Create(5, 3, 0), 1);
    EXPECT_EQ(image.data, nullptr);  // addressable only while locked
    EXPECT_EQ(image.pitch, 0);
    EXPECT_EQ(image.ownsData, 0);
    IDirect3DSurface9* surface = image.surface;
    ASSERT_EQ(image.Lock(), 1);
    EXPECT_GE(image.pitch, 20);
    image.At(4, 2) = 0x12345678;
    image.Unlock();
    EXPECT_EQ(image.data, nullptr);
    ASSERT_EQ(image.Create(5, 3, 0xFFFFFFFF), 1);
    EXPECT_EQ(image.surface, surface);
    ASSERT_EQ(image.Lock(), 1);
    EXPECT_EQ(image.At(4, 2), 0x12345678u);
    EXPECT_EQ(image.GetSurface(), surface);  // unlocks
    EXPECT_EQ(image.data, nullptr);
    ASSERT_EQ(image.Create(6, 3, 0), 1);
    EXPECT_EQ(image.width, 6);
}

TEST(ImageDx, FailuresLeaveNoSurface) {
    mtxImageDx detached;
    EXPECT_EQ(detached.Create(4, 4, 0), 0);
    EXPECT_EQ(detached.surface, nullptr);
    EXPECT_EQ(detached.Lock(), 0);
    mtxImageDx image(Device());
    mtxDxTestSwitches().failTextures = 1;
    EXPECT_EQ(image.Create(4, 4, 0), 0);
    mtxDxTestSwitches() = mtxDxTestSwitch{};
    EXPECT_EQ(image.surface, nullptr);
    EXPECT_EQ(image.width, 0);
}

TEST(ImageDx, SameKindAndAssignStayOnTheDevice) {
    mtxImageDx image(Device());
    std::unique_ptr<mtxImage> other = image.CreateSameKind(3, 2);
    ASSERT_NE(other, nullptr);
    auto* dx = dynamic_cast<mtxImageDx*>(other.get());
    ASSERT_NE(dx, nullptr);
    ASSERT_EQ(dx->Lock(), 1);
    EXPECT_EQ(dx->At(2, 1), 0xFF000000u);
    dx->Unlock();
    std::vector<uint32_t> pixels = RandomPixels(6, 3);
    mtxImage memory(pixels.data(), 3, 2, 12);
    ASSERT_EQ(image.Assign(memory), 1);
    EXPECT_EQ(image.ownsData, 0);
    ASSERT_EQ(image.Lock(), 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(image.At(x, y), pixels[y * 3 + x]);
    image.Unlock();
}

TEST(CreateTexture, CopiesEveryRowOfMemoryAndDeviceImages) {
    IDirect3DDevice9* device = Device();
    ASSERT_NE(device, nullptr);
    std::vector<uint32_t> pixels = RandomPixels(7 * 5, 4);
    mtxImage memory(pixels.data(), 7, 5, 7 * 4);
    mtxImageDx dx(device);
    ASSERT_EQ(dx.Assign(memory), 1);
    for (mtxImage* image : {static_cast<mtxImage*>(&memory), static_cast<mtxImage*>(&dx)}) {
        IDirect3DTexture9* texture = mtxCreateTexture(device, *image);
        ASSERT_NE(texture, nullptr);
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[y * locked.Pitch / 4 + x],
                          pixels[y * 7 + x]);
        texture->UnlockRect(0);
        texture->Release();
    }
    EXPECT_EQ(dx.data, nullptr);  // left unlocked as found
    mtxImage empty;
    EXPECT_EQ(mtxCreateTexture(device, empty), nullptr);
    mtxDxTestSwitches().failTextures = 1;
    EXPECT_EQ(mtxCreateTexture(device, memory), nullptr);
    mtxDxTestSwitches() = mtxDxTestSwitch{};
}

TEST(ShaderCache, MissingIdReturnsNullEveryTimeAndCachesNothing) {
    mtxImageEditorDevice& editor = Editor();
    ASSERT_EQ(editor.ready, 1u);
    size_t pixels = editor.pixelShaders.size(), vertices = editor.vertexShaders.size();
    for (uint32_t id : {5050u, 5100u, 5274u, 5380u}) {
        EXPECT_EQ(editor.GetPixelShader(id), nullptr);
        EXPECT_EQ(editor.GetPixelShader(id), nullptr);
        EXPECT_EQ(editor.GetVertexShader(id), nullptr);
    }
    EXPECT_EQ(editor.pixelShaders.size(), pixels);
    EXPECT_EQ(editor.vertexShaders.size(), vertices);
    mtxIEPixelShader* first = editor.GetPixelShader(5067);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(editor.GetPixelShader(5067), first);
    EXPECT_EQ(editor.pixelShaders.count(5067), 1u);
}

TEST(ShaderLoad, FromAFileAndRefusingBrokenOnes) {
    mtxImageEditorDevice& editor = Editor();
    testing_support::TempDir dir;
    std::span<const unsigned char> source = mtxFindResource("SHADER", 5067);
    ASSERT_FALSE(source.empty());
    testing_support::WriteFile(
        dir.File("good.glsl"),
        std::string(reinterpret_cast<const char*>(source.data()), source.size()));
    testing_support::WriteFile(dir.File("bad.glsl"),
                               "#version 330 core\nvoid main() { nonsense; }\n");
    mtxIEPixelShader shader;
    EXPECT_EQ(shader.Load(&editor, dir.File("good.glsl")), 1);
    EXPECT_NE(shader.shader, nullptr);
    EXPECT_EQ(shader.Load(&editor, dir.File("bad.glsl")), 0);
    EXPECT_EQ(shader.shader, nullptr);
    EXPECT_EQ(shader.Load(&editor, dir.File("missing.glsl")), 0);
    EXPECT_EQ(shader.owner, &editor);
}

TEST(RenderTargetPool, ReusesTexturesAndIgnoresStrangers) {
    mtxImageEditorDevice& editor = Editor();
    IDirect3DTexture9* a = editor.AcquireTexture(mtxImageEditorDevice::kPoolColor);
    IDirect3DTexture9* b = editor.AcquireTexture(mtxImageEditorDevice::kPoolColor);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    editor.ReleaseTexture(mtxImageEditorDevice::kPoolColor, a);
    EXPECT_EQ(editor.AcquireTexture(mtxImageEditorDevice::kPoolColor), a);
    editor.ReleaseTexture(mtxImageEditorDevice::kPoolColor, nullptr);
    editor.ReleaseTexture(mtxImageEditorDevice::kPoolSmall, a);  // not from that pool
    EXPECT_TRUE(editor.pools[mtxImageEditorDevice::kPoolSmall].free.empty());
    editor.ReleaseTexture(mtxImageEditorDevice::kPoolColor, a);
    editor.ReleaseTexture(mtxImageEditorDevice::kPoolColor, b);
    struct Want {
        int pool;
        D3DFORMAT format;
        uint32_t edge;
    };
    for (Want want : {Want{0, D3DFMT_A8R8G8B8, 32}, Want{1, D3DFMT_A8R8G8B8, 128},
                      Want{2, D3DFMT_G16R16, 128}}) {
        IDirect3DTexture9* t = editor.AcquireTexture(want.pool);
        ASSERT_NE(t, nullptr);
        D3DSURFACE_DESC desc;
        t->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Format, want.format);
        EXPECT_EQ(desc.Width, want.edge);
        EXPECT_EQ(desc.Height, want.edge);
        EXPECT_EQ(desc.Usage, D3DUSAGE_RENDERTARGET);
        EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
        editor.ReleaseTexture(want.pool, t);
    }
}

// An editor whose window parts hold one pool texture, as a viewer would.
class LossyEditor : public mtxImageEditorDevice {
  public:
    void ReleaseDeviceResources() override {
        ++released;
        ReleaseTexture(kPoolColor, held);
        held = nullptr;
    }
    void RestoreDeviceResources() override {
        ++restored;
        held = AcquireTexture(kPoolColor);
    }
    IDirect3DTexture9* held = nullptr;
    int released = 0, restored = 0;
};

TEST(DeviceLoss, LostDeviceWaitsThenResetsAndRestores) {
    LossyEditor editor;
    ASSERT_EQ(editor.CreateDevice(nullptr), 1);
    IDirect3DDevice9* device = editor.GetDevice();
    editor.held = editor.AcquireTexture(mtxImageEditorDevice::kPoolColor);
    IDirect3DTexture9* target = editor.AcquireTexture(mtxImageEditorDevice::kPoolSmall);
    SetTarget(device, target);  // a pool texture as the current target
    device->SetTexture(3, target);
    EXPECT_EQ(editor.RecoverDevice(), 1);  // not lost: nothing to do
    EXPECT_EQ(editor.PresentRect(nullptr), D3D_OK);

    mtxDxTestSwitches().loseAtNextPresent = 1;
    mtxDxTestSwitches().lostPolls = 2;
    RECT dirty = {0, 0, 10, 10};
    EXPECT_EQ(editor.PresentRect(&dirty), D3DERR_DEVICELOST);
    mtxDxTestSwitches() = mtxDxTestSwitch{};
    EXPECT_EQ(editor.lost, 1u);
    EXPECT_EQ(editor.released, 1);
    for (const mtxRenderTargetPool& pool : editor.pools) {
        EXPECT_TRUE(pool.used.empty());
        EXPECT_TRUE(pool.free.empty());
    }
    // Drawing while lost does nothing and fails nothing.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(editor.RecoverDevice(), 0);
    EXPECT_EQ(editor.RecoverDevice(), 0);
    EXPECT_EQ(editor.lost, 1u);
    EXPECT_EQ(editor.RecoverDevice(), 1);
    EXPECT_EQ(editor.lost, 0u);
    EXPECT_EQ(editor.restored, 1);
    EXPECT_NE(editor.held, nullptr);
    EXPECT_NE(editor.sharedTexture, nullptr);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    // Shaders survive the reset and still draw.
    ResetStates(device);
    mtxIEPixelShader* shader = editor.GetPixelShader(5251);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader->shader);
    IDirect3DTexture9* after = editor.AcquireTexture(mtxImageEditorDevice::kPoolSmall);
    device->SetTexture(0, editor.held);
    SetTarget(device, after);
    DrawQuad(device, 32, 32);
    EXPECT_EQ(ReadTarget(device, after).size(), 32u * 32u);
    ResetStates(device);
}

TEST(Devices, OneAfterAnotherAndSideBySideEachDrawIntoTheirOwn) {
    // Devices come and go (often at the same address); each must draw with
    // its own context, also while the shared device lives on.
    IDirect3DDevice9* shared = Device();
    ASSERT_NE(shared, nullptr);
    IDirect3DTexture9* sharedTarget = MakeTarget(shared, 2, 2);
    for (uint32_t round = 0; round < 3; ++round) {
        mtxImageEditorDevice editor;
        ASSERT_EQ(editor.CreateDevice(nullptr), 1);
        IDirect3DDevice9* device = editor.GetDevice();
        IDirect3DTexture9* target = MakeTarget(device, 2, 2);
        SetTarget(device, target);
        D3DCOLOR color = 0xFF000000 | (round * 40);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0);
        SetTarget(shared, sharedTarget);
        shared->Clear(0, nullptr, D3DCLEAR_TARGET, ~color, 1.0f, 0);
        EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(4, color));
        EXPECT_EQ(ReadTarget(shared, sharedTarget), std::vector<uint32_t>(4, ~color));
        ResetStates(device);
        target->Release();
    }
    ResetStates(shared);
    sharedTarget->Release();
}

TEST(DeviceLoss, ResetRefusesWhileDefaultPoolTexturesLive) {
    mtxImageEditorDevice editor;
    ASSERT_EQ(editor.CreateDevice(nullptr), 1);
    IDirect3DDevice9* device = editor.GetDevice();
    IDirect3DTexture9* leaked = MakeTarget(device, 8, 8);
    mtxDxTestSwitches().loseAtNextPresent = 1;
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    mtxDxTestSwitches() = mtxDxTestSwitch{};
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(editor.dx->Reset(), 0);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    leaked->Release();
    EXPECT_EQ(editor.dx->Reset(), 1);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
}

}  // namespace
