// The device's Direct3D 9 rules: texel-exact mapping, row order, byte order,
// blending, write masks, depth, addressing and filtering.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gl/gl_context.h"
#include "tests/render/render_test_support.h"

using namespace render_test;

namespace {

class Device9 : public ::testing::Test {
  protected:
    void SetUp() override {
        device = Device();
        ASSERT_NE(device, nullptr);
        ResetStates(device);
        D3DMATRIX identity = {};
        for (int i = 0; i < 4; ++i) identity.m[i][i] = 1.0f;
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
    }
    void TearDown() override {
        if (device) ResetStates(device);
        for (IDirect3DTexture9* t : owned) t->Release();
    }
    IDirect3DTexture9* Own(IDirect3DTexture9* t) {
        EXPECT_NE(t, nullptr);
        owned.push_back(t);
        return t;
    }
    // Stage 0 alpha as the editor draws: texture alpha times diffuse alpha
    // (a stage without a texture reads opaque white).
    void ModulateAlpha() {
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
    // Target of width x height, cleared, with the projection for its size.
    IDirect3DTexture9* Target(int width, int height, D3DCOLOR clear = 0) {
        IDirect3DTexture9* target = Own(MakeTarget(device, width, height));
        SetTarget(device, target);
        D3DMATRIX projection = mtxImageEditorDevice::Projection(width, height);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
        return target;
    }

    IDirect3DDevice9* device = nullptr;
    std::vector<IDirect3DTexture9*> owned;
};

TEST_F(Device9, QuadOnPixelCornersCopiesTextureBitForBit) {
    const int w = 37, h = 23;  // odd sizes catch half-pixel slips
    std::vector<uint32_t> pixels = RandomPixels(w * h, 1);
    device->SetTexture(0, Own(MakeTexture(device, w, h, pixels)));
    IDirect3DTexture9* target = Target(w, h);
    DrawQuad(device, w, h);
    EXPECT_EQ(ReadTarget(device, target), pixels);
}

TEST_F(Device9, RowZeroStaysOnTopThroughUpdateSurfaceAndReadBack) {
    const int w = 16, h = 9;
    std::vector<uint32_t> pixels(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels[y * w + x] = 0xFF000000u | uint32_t(y << 16 | x);
    IDirect3DSurface9* memory = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(w, h, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory,
                                                  nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(memory->LockRect(&locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &pixels[y * w], w * 4);
    memory->UnlockRect();
    // Into a render-target texture, through a drawing, back to memory.
    IDirect3DTexture9* source = Own(MakeTarget(device, w, h));
    IDirect3DSurface9* level = nullptr;
    source->GetSurfaceLevel(0, &level);
    ASSERT_EQ(device->UpdateSurface(memory, nullptr, level, nullptr), D3D_OK);
    level->Release();
    memory->Release();
    EXPECT_EQ(ReadTarget(device, source), pixels);
    device->SetTexture(0, source);
    IDirect3DTexture9* target = Target(w, h);
    DrawQuad(device, w, h);
    EXPECT_EQ(ReadTarget(device, target), pixels);
}

TEST_F(Device9, UpdateSurfacePlacesSubRectangleAtPoint) {
    const int w = 8, h = 8;
    std::vector<uint32_t> pixels = RandomPixels(w * h, 2);
    IDirect3DSurface9* memory = nullptr;
    device->CreateOffscreenPlainSurface(w, h, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory, nullptr);
    D3DLOCKED_RECT locked;
    memory->LockRect(&locked, nullptr, 0);
    for (int y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &pixels[y * w], w * 4);
    memory->UnlockRect();
    IDirect3DTexture9* target = Own(MakeTarget(device, w, h));
    IDirect3DSurface9* level = nullptr;
    target->GetSurfaceLevel(0, &level);
    ASSERT_EQ(device->ColorFill(level, nullptr, 0), D3D_OK);
    RECT rect = {2, 1, 5, 4};  // 3 x 3 from (2, 1)
    POINT at = {4, 5};
    ASSERT_EQ(device->UpdateSurface(memory, &rect, level, &at), D3D_OK);
    RECT outside = {6, 0, 9, 2};
    EXPECT_EQ(device->UpdateSurface(memory, &outside, level, &at), D3DERR_INVALIDCALL);
    level->Release();
    memory->Release();
    std::vector<uint32_t> got = ReadTarget(device, target);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool inside = x >= 4 && x < 7 && y >= 5 && y < 8;
            uint32_t want = inside ? pixels[(y - 5 + 1) * w + (x - 4 + 2)] : 0;
            ASSERT_EQ(got[y * w + x], want) << x << "," << y;
        }
}

// Between render targets: a rectangle lands where asked, row 0 on top, bit
// for bit, whatever scissor is set; sizes that differ are refused.
TEST_F(Device9, StretchRectCopiesARectangleBetweenTargetsExactly) {
    const int w = 9, h = 7;
    std::vector<uint32_t> pixels = RandomPixels(w * h, 3);
    device->SetTexture(0, Own(MakeTexture(device, w, h, pixels)));
    IDirect3DTexture9* source = Target(w, h);
    DrawQuad(device, w, h);
    IDirect3DTexture9* dest = Target(w, h, 0xFF000000);
    RECT scissor = {0, 0, 1, 1};
    device->SetScissorRect(&scissor);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    IDirect3DSurface9 *from = nullptr, *to = nullptr;
    source->GetSurfaceLevel(0, &from);
    dest->GetSurfaceLevel(0, &to);
    RECT part = {1, 2, 5, 7}, at = {4, 0, 8, 5};
    EXPECT_EQ(device->StretchRect(from, &part, to, &at, D3DTEXF_POINT), D3D_OK);
    RECT larger = {3, 0, 8, 5};
    EXPECT_EQ(device->StretchRect(from, &part, to, &larger, D3DTEXF_POINT), D3DERR_INVALIDCALL);
    from->Release();
    to->Release();
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    std::vector<uint32_t> got = ReadTarget(device, dest);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool inside = x >= 4 && x < 8 && y < 5;
            uint32_t want = inside ? pixels[(y + 2) * w + (x - 3)] : 0xFF000000u;
            ASSERT_EQ(got[y * w + x], want) << x << "," << y;
        }
}

TEST_F(Device9, ClearAndColorFillKeepBgraByteOrder) {
    IDirect3DTexture9* target = Target(4, 4, 0x80FF4020);
    std::vector<uint32_t> got = ReadTarget(device, target);
    uint8_t bytes[4];
    std::memcpy(bytes, &got[0], 4);
    EXPECT_EQ(bytes[0], 0x20);  // blue
    EXPECT_EQ(bytes[1], 0x40);  // green
    EXPECT_EQ(bytes[2], 0xFF);  // red
    EXPECT_EQ(bytes[3], 0x80);  // alpha
    IDirect3DSurface9* level = nullptr;
    target->GetSurfaceLevel(0, &level);
    RECT rect = {1, 2, 3, 4};
    device->ColorFill(level, &rect, 0x01020304);
    level->Release();
    got = ReadTarget(device, target);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(got[y * 4 + x], (x >= 1 && x < 3 && y >= 2) ? 0x01020304u : 0x80FF4020u);
}

TEST_F(Device9, ClearWithRectanglesStaysInsideThem) {
    IDirect3DTexture9* target = Target(6, 6, 0xFF000000);
    RECT rects[2] = {{0, 0, 2, 1}, {4, 5, 9, 9}};
    device->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    std::vector<uint32_t> got = ReadTarget(device, target);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            bool inside = (x < 2 && y < 1) || (x >= 4 && y >= 5);
            EXPECT_EQ(got[y * 6 + x], inside ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
        }
}

TEST_F(Device9, TheScissorRectangleLimitsDrawsAndClearsAndATargetResetsIt) {
    IDirect3DTexture9* target = Target(8, 6, 0xFF000000);
    RECT scissor = {2, 1, 5, 4};
    ASSERT_EQ(device->SetScissorRect(&scissor), D3D_OK);
    RECT backwards = {5, 1, 2, 4};
    EXPECT_EQ(device->SetScissorRect(&backwards), D3DERR_INVALIDCALL);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    RECT rects[1] = {{0, 0, 3, 6}};
    device->Clear(1, rects, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);  // only x 2, y 1..3
    device->SetTexture(0, nullptr);
    DrawQuad(device, 8, 6, 100.0f, 0xFFFF0000);  // only the scissor rectangle's 3 x 3
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    std::vector<uint32_t> got = ReadTarget(device, target);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            bool inside = x >= 2 && x < 5 && y >= 1 && y < 4;
            EXPECT_EQ(got[y * 8 + x], inside ? 0xFFFF0000u : 0xFF000000u) << x << "," << y;
        }
    // Clearing with the test off reaches everything again.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    EXPECT_EQ(ReadTarget(device, target)[0], 0xFF00FF00u);
    SetTarget(device, target);
    RECT whole;
    device->GetScissorRect(&whole);
    EXPECT_EQ(whole.right, 8);
    EXPECT_EQ(whole.bottom, 6);
}

TEST_F(Device9, DiffuseColourIsArgbAndModulatesTexture) {
    std::vector<uint32_t> texel = {0xFF808080};
    device->SetTexture(0, Own(MakeTexture(device, 1, 1, texel)));
    ModulateAlpha();
    IDirect3DTexture9* target = Target(2, 2);
    DrawQuad(device, 2, 2, 100.0f, 0x80FF0000);  // half-transparent red
    std::vector<uint32_t> got = ReadTarget(device, target);
    EXPECT_EQ(CompareChannels(
                  got, std::vector<std::vector<float>>(4, {0, 0, 128 / 255.0f, 128 / 255.0f}), 1),
              "");
    // Without a texture the stage reads white: the diffuse colour alone.
    device->SetTexture(0, nullptr);
    DrawQuad(device, 2, 2, 100.0f, 0xFF112233);
    EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(4, 0xFF112233));
}

TEST_F(Device9, BlendFactorsOneZeroReplaceAndSrcAlphaMixes) {
    IDirect3DTexture9* target = Target(2, 2, 0xFF0000FF);
    ModulateAlpha();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    DrawQuad(device, 2, 2, 100.0f, 0x80FF0000);
    EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(4, 0x80FF0000));

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    DrawQuad(device, 2, 2, 100.0f, 0x80FF0000);
    float a = 128 / 255.0f;
    std::vector<float> want = {1 - a, 0, a, a * a + (1 - a)};
    EXPECT_EQ(CompareChannels(ReadTarget(device, target), {4, want}, 1), "");
}

TEST_F(Device9, ColourWriteMasksEightAndSevenSplitAlphaFromColour) {
    IDirect3DTexture9* target = Target(2, 2, 0x11223344);
    ModulateAlpha();
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 8);
    DrawQuad(device, 2, 2, 100.0f, 0xAABBCCDD);
    EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(4, 0xAA223344));
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 7);
    DrawQuad(device, 2, 2, 100.0f, 0x55667788);
    EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(4, 0xAA667788));
    // Clear is not masked.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x01020304, 1.0f, 0);
    EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(4, 0x01020304));
}

TEST_F(Device9, LessEqualDepthLetsTheSecondQuadAtDepthHundredThrough) {
    IDirect3DTexture9* target = Target(3, 3);
    DrawQuad(device, 3, 3, 100.0f, 0xFFFF0000);
    DrawQuad(device, 3, 3, 100.0f, 0xFF00FF00);
    EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(9, 0xFF00FF00));
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    DrawQuad(device, 3, 3, 100.0f, 0xFF0000FF);
    EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(9, 0xFF00FF00));
    // z 50 maps to depth 0.5, behind what lies at depth 0.
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    DrawQuad(device, 3, 3, 50.0f, 0xFF0000FF);
    EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(9, 0xFF00FF00));
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    DrawQuad(device, 3, 3, 50.0f, 0xFF0000FF);
    EXPECT_EQ(ReadTarget(device, target), std::vector<uint32_t>(9, 0xFF0000FF));
}

// A 2 x 1 texture, black then white, stretched over 4 pixels.
std::vector<uint32_t> Stretch(IDirect3DDevice9* device, IDirect3DTexture9* target, uint32_t filter,
                              uint32_t address) {
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, address);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, address);
    DrawQuad(device, 4, 1);
    std::vector<uint32_t> got = ReadTarget(device, target);
    for (uint32_t& p : got) p &= 0xFF;  // blue is enough
    return got;
}

TEST_F(Device9, PointAndLinearFilteringWithClampAndWrap) {
    device->SetTexture(0, Own(MakeTexture(device, 2, 1, {0xFF000000, 0xFFFFFFFF})));
    IDirect3DTexture9* target = Target(4, 1);
    // Pixel centres fall at texel positions -0.25, 0.25, 0.75 and 1.25.
    EXPECT_EQ(Stretch(device, target, D3DTEXF_POINT, D3DTADDRESS_CLAMP),
              (std::vector<uint32_t>{0, 0, 255, 255}));
    std::vector<uint32_t> clamp = Stretch(device, target, D3DTEXF_LINEAR, D3DTADDRESS_CLAMP);
    std::vector<uint32_t> wrap = Stretch(device, target, D3DTEXF_LINEAR, D3DTADDRESS_WRAP);
    std::vector<int> wantClamp = {0, 64, 191, 255}, wantWrap = {64, 64, 191, 191};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(int(clamp[i]), wantClamp[i], 1) << i;
        EXPECT_NEAR(int(wrap[i]), wantWrap[i], 1) << i;
    }
}

TEST_F(Device9, TextureCoordinatesBeyondOneWrapOrClamp) {
    std::vector<uint32_t> pixels = {0xFF0000FF, 0xFF00FF00};
    device->SetTexture(0, Own(MakeTexture(device, 2, 1, pixels)));
    IDirect3DTexture9* target = Target(4, 1);
    DrawQuad(device, 4, 1, 100.0f, 0xFFFFFFFF, 0, 0, 2, 1);
    EXPECT_EQ(ReadTarget(device, target),
              (std::vector<uint32_t>{pixels[0], pixels[1], pixels[0], pixels[1]}));
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    DrawQuad(device, 4, 1, 100.0f, 0xFFFFFFFF, 0, 0, 2, 1);
    EXPECT_EQ(ReadTarget(device, target),
              (std::vector<uint32_t>{pixels[0], pixels[1], pixels[1], pixels[1]}));
}

TEST_F(Device9, IndexedTrianglesAndLineStrips) {
    IDirect3DTexture9* target = Target(5, 5, 0xFF000000);
    struct Plain {
        float x, y, z;
        uint32_t color;
    };
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    // Two triangles over the top-left 2 x 2 pixels, sharing vertices.
    Plain corners[4] = {{-0.5f, -0.5f, 100, 0xFFFFFFFF},
                        {1.5f, -0.5f, 100, 0xFFFFFFFF},
                        {-0.5f, 1.5f, 100, 0xFFFFFFFF},
                        {1.5f, 1.5f, 100, 0xFFFFFFFF}};
    uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16,
                                             corners, sizeof(Plain)),
              D3D_OK);
    uint16_t bad[6] = {0, 1, 2, 2, 1, 4};
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, bad, D3DFMT_INDEX16,
                                             corners, sizeof(Plain)),
              D3DERR_INVALIDCALL);
    // A horizontal line through the centres of row 3.
    Plain line[2] = {{0.0f, 3.0f, 100, 0xFF00FF00}, {4.0f, 3.0f, 100, 0xFF00FF00}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINESTRIP, 1, line, sizeof(Plain)), D3D_OK);
    std::vector<uint32_t> got = ReadTarget(device, target);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            uint32_t want = (x < 2 && y < 2) ? 0xFFFFFFFF : 0xFF000000;
            if (y == 3 && x >= 1 && x <= 3) want = 0xFF00FF00;  // line ends may differ by rule
            if (y == 3 && (x == 0 || x == 4)) continue;
            EXPECT_EQ(got[y * 5 + x], want) << x << "," << y;
        }
}

// Up to four texture coordinate sets of one to four floats; a vertex must
// hold what its format names.
TEST_F(Device9, VertexFormatsWithSeveralTextureCoordinateSets) {
    Target(2, 2, 0xFF000000);
    const uint32_t four = D3DFVF_XYZ | D3DFVF_TEX4 | D3DFVF_TEXCOORDSIZE4(1) |
                          D3DFVF_TEXCOORDSIZE3(2) | D3DFVF_TEXCOORDSIZE1(3);
    ASSERT_EQ(device->SetFVF(four), D3D_OK);
    const uint32_t bytes = 12 + 8 + 16 + 12 + 4;
    std::vector<float> vertices(4 * bytes / sizeof(float), 0.0f);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices.data(), bytes), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices.data(), bytes - 4),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetFVF(D3DFVF_XYZ | (5u << D3DFVF_TEXCOUNT_SHIFT)), D3DERR_INVALIDCALL);
    // A size for a set the format does not have.
    EXPECT_EQ(device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE4(2)),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices.data(), 12),
              D3DERR_INVALIDCALL);
}

TEST_F(Device9, ViewportLimitsDrawingAndClearing) {
    IDirect3DTexture9* target = Target(4, 4, 0xFF000000);
    D3DVIEWPORT9 viewport = {2, 1, 2, 2, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    std::vector<uint32_t> got = ReadTarget(device, target);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(got[y * 4 + x], (x >= 2 && y >= 1 && y < 3) ? 0xFFFFFFFFu : 0xFF000000u);
    D3DVIEWPORT9 tooBig = {2, 1, 3, 2, 0.0f, 1.0f};
    EXPECT_EQ(device->SetViewport(&tooBig), D3DERR_INVALIDCALL);
}

TEST_F(Device9, G16R16TargetsReadBackAsTwoWords) {
    IDirect3DTexture9* target = Own(MakeTarget(device, 2, 2, D3DFMT_G16R16));
    SetTarget(device, target);
    D3DMATRIX projection = mtxImageEditorDevice::Projection(2, 2);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawQuad(device, 2, 2, 100.0f, 0xFF00FF00);  // red 0, green 1
    for (uint32_t p : ReadTarget(device, target)) EXPECT_EQ(p, 0xFFFF0000u);
}

TEST_F(Device9, ManagedTexturesLockOnlyLevelZeroAndDefaultOnesNotAtAll) {
    IDirect3DTexture9* managed = Own(MakeTexture(device, 2, 2, {1, 2, 3, 4}));
    D3DLOCKED_RECT locked;
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[3], 4u);
    managed->UnlockRect(0);
    IDirect3DTexture9* target = Own(MakeTarget(device, 2, 2));
    EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    IDirect3DTexture9* none = nullptr;
    EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &none, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(none, nullptr);
}

// A program that asks for a newer GLSL than the device compiles is refused
// without a word: its caller has a way without it (many stamps a draw need
// 4.00, and a 3.30 device draws them one at a time).
TEST_F(Device9, AProgramForANewerGlslThanTheDevicesIsRefusedQuietly) {
    EXPECT_EQ(mtxGlslNumber("4.50 Mesa 24.2"), 450);
    EXPECT_EQ(mtxGlslNumber("330 core"), 330);
    EXPECT_EQ(mtxGlslNumber(" 400"), 400);
    EXPECT_EQ(mtxGlslNumber("1.20"), 120);
    EXPECT_EQ(mtxGlslNumber("OpenGL ES GLSL ES 3.20"), 0);
    EXPECT_EQ(mtxGlslNumber("4.6"), 0);
    EXPECT_EQ(mtxGlslNumber(""), 0);

    IDirect3DPixelShader9* shader = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(device->CreatePixelShader("#version 990\nvoid main() {}\n", &shader),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(shader, nullptr);
}

}  // namespace
