// Every shader program of the resources: it compiles and links, and the ones
// the program's results depend on compute their formula (checked against the
// same formula on the processor, within 1/255).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "platform/resource_table.h"
#include "tests/render/render_test_support.h"

using namespace render_test;

namespace {

const std::set<uint32_t> kVertexShaders = {5066, 5250, 5362, 5375, 5390};
const std::set<uint32_t> kAllShaders = {
    5021, 5066, 5067, 5150, 5151, 5152, 5153, 5154, 5155, 5156, 5157, 5158, 5159, 5160,
    5161, 5162, 5163, 5164, 5200, 5201, 5250, 5251, 5357, 5358, 5359, 5360, 5361, 5362,
    5363, 5364, 5365, 5366, 5367, 5368, 5369, 5371, 5372, 5373, 5374, 5375, 5390};

using Texel = std::vector<float>;  // blue, green, red, alpha

Texel Texel4(uint32_t p) {
    return {Channel(p, 0), Channel(p, 1), Channel(p, 2), Channel(p, 3)};
}

class ShaderProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        device = Device();
        ASSERT_NE(device, nullptr);
        ResetStates(device);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    }
    void TearDown() override {
        if (device) ResetStates(device);
        for (IDirect3DTexture9* t : owned) t->Release();
    }
    IDirect3DTexture9* Texture(int w, int h, const std::vector<uint32_t>& pixels) {
        IDirect3DTexture9* t = MakeTexture(device, w, h, pixels);
        owned.push_back(t);
        return t;
    }
    // Draws a full-target quad through the pixel shader id (and the vertex
    // shader id, or the fixed pipeline for 0) and reads the target back.
    std::vector<uint32_t> Render(int w, int h, uint32_t pixelId, uint32_t vertexId = 0) {
        mtxImageEditorDevice& editor = Editor();
        mtxIEPixelShader* ps = editor.GetPixelShader(pixelId);
        EXPECT_NE(ps, nullptr) << pixelId;
        if (!ps) return {};
        device->SetPixelShader(ps->shader);
        if (vertexId) {
            mtxIEVertexShader* vs = editor.GetVertexShader(vertexId);
            EXPECT_NE(vs, nullptr) << vertexId;
            if (!vs) return {};
            device->SetVertexShader(vs->shader);
        }
        IDirect3DTexture9* target = MakeTarget(device, w, h);
        owned.push_back(target);
        SetTarget(device, target);
        D3DMATRIX projection = mtxImageEditorDevice::Projection(w, h);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        DrawQuad(device, w, h);
        return ReadTarget(device, target);
    }
    void PixelConstants(const std::vector<float>& values) {
        device->SetPixelShaderConstantF(0, values.data(), uint32_t(values.size() / 4));
    }

    IDirect3DDevice9* device = nullptr;
    std::vector<IDirect3DTexture9*> owned;
};

float Saturate(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

TEST_F(ShaderProgram, EveryProgramOfTheTableIsCarriedCompilesAndDraws) {
    std::set<uint32_t> carried;
    for (const mtxResourceEntry* e = kResourceTable; e->type; ++e)
        if (std::string(e->type) == "SHADER") carried.insert(e->id);
    EXPECT_EQ(carried, kAllShaders);
    mtxImageEditorDevice& editor = Editor();
    for (uint32_t id : carried) {
        SCOPED_TRACE(id);
        ResetStates(device);
        if (kVertexShaders.count(id)) {
            ASSERT_NE(editor.GetVertexShader(id), nullptr);
            EXPECT_EQ(editor.GetPixelShader(id), nullptr);  // not a pixel program
            device->SetVertexShader(editor.GetVertexShader(id)->shader);
        } else {
            ASSERT_NE(editor.GetPixelShader(id), nullptr);
            device->SetPixelShader(editor.GetPixelShader(id)->shader);
        }
        DrawQuad(device, 4, 4);  // fails when the pair does not link
    }
}

TEST_F(ShaderProgram, RecolourSample5357) {
    const int w = 16, h = 16;
    std::vector<uint32_t> sample = RandomPixels(w * h, 10);
    sample[0] = 0xFF000000;  // black stays black
    device->SetTexture(0, Texture(w, h, sample));
    const float color[4] = {0.6f, 0.3f, 0.8f, 1.3f}, source[4] = {0.1f, 0.2f, 0.3f, 0.7f};
    PixelConstants(
        {color[0], color[1], color[2], color[3], source[0], source[1], source[2], source[3]});
    std::vector<uint32_t> got = Render(w, h, 5357);
    std::vector<Texel> want;
    for (uint32_t p : sample) {
        Texel s = Texel4(p);
        float y = Saturate(Saturate(0.299f * s[2] + 0.587f * s[1] + 0.114f * s[0]) * color[3]);
        float cb = color[1] - 0.5f, cr = color[2] - 0.5f;
        want.push_back({Saturate(y + 1.772f * cb), Saturate(y - 0.34414f * cb - 0.71414f * cr),
                        Saturate(y + 1.402f * cr), s[3] * source[3]});
    }
    EXPECT_EQ(CompareChannels(got, want, 1), "");
}

TEST_F(ShaderProgram, RecolourWithInfiniteBrightnessKeepsBlackAndSaturatesTheRest) {
    device->SetTexture(0, Texture(2, 1, {0xFF000000, 0xFF101010}));
    PixelConstants({0.5f, 0.5f, 0.5f, INFINITY, 0, 0, 0, 1});
    std::vector<uint32_t> got = Render(2, 1, 5357);
    EXPECT_EQ(CompareChannels(got, {{0, 0, 0, 1}, {1, 1, 1, 1}}, 1), "");
}

TEST_F(ShaderProgram, KeepSampleColours5372) {
    const int w = 8, h = 8;
    std::vector<uint32_t> sample = RandomPixels(w * h, 11);
    device->SetTexture(0, Texture(w, h, sample));
    PixelConstants({9, 9, 9, 9, 0.2f, 0.4f, 0.6f, 0.5f});
    std::vector<Texel> want;
    for (uint32_t p : sample) {
        Texel s = Texel4(p);
        want.push_back({s[0], s[1], s[2], s[3] * 0.5f});
    }
    EXPECT_EQ(CompareChannels(Render(w, h, 5372), want, 1), "");
}

TEST_F(ShaderProgram, SampleOverImage5067Through5066) {
    const int w = 16, h = 8;
    std::vector<uint32_t> image = RandomPixels(w * h, 12), sample = RandomPixels(w * h, 13);
    device->SetTexture(2, Texture(w, h, image));
    device->SetTexture(3, Texture(w, h, sample));
    D3DMATRIX projection = mtxImageEditorDevice::Projection(w, h);
    device->SetVertexShaderConstantF(0, &projection.m[0][0], 4);
    std::vector<Texel> want;
    for (size_t i = 0; i < image.size(); ++i) {
        Texel a = Texel4(image[i]), s = Texel4(sample[i]);
        Texel over = {s[0], s[1], s[2], 1.0f};
        Texel r(4);
        for (int c = 0; c < 4; ++c) r[c] = a[c] + (over[c] - a[c]) * s[3];
        want.push_back(r);
    }
    EXPECT_EQ(CompareChannels(Render(w, h, 5067, 5066), want, 1), "");
}

TEST_F(ShaderProgram, ViewingShaders5250And5251ShowTheTextureUnchanged) {
    const int w = 19, h = 11;
    std::vector<uint32_t> pixels = RandomPixels(w * h, 14);
    device->SetTexture(0, Texture(w, h, pixels));
    D3DMATRIX projection = mtxImageEditorDevice::Projection(w, h);
    const float first[4] = {200, 200, -200, 1};
    device->SetVertexShaderConstantF(0, first, 1);
    device->SetVertexShaderConstantF(1, &projection.m[0][0], 4);
    EXPECT_EQ(Render(w, h, 5251, 5250), pixels);
}

struct Blend {
    uint32_t id;
    std::function<float(float src, float bg)> f;
    bool clamp;
};

TEST_F(ShaderProgram, LayerBlends5150To5164) {
    const std::vector<Blend> blends = {
        {5150, [](float s, float) { return s; }, false},
        {5151, [](float s, float b) { return b * (1 - s); }, false},
        {5152, [](float s, float b) { return (1 - b) / (s + 0.0039f); }, true},
        {5153, [](float s, float b) { return (1 - b) * (1 - s); }, true},
        {5154, [](float s, float b) { return s + b; }, true},
        {5155, [](float s, float b) { return std::min(s, b); }, true},
        {5156,
         [](float s, float b) {
             float d = Saturate(b - s) + Saturate(s - b);
             return d - std::floor(d);
         },
         true},
        {5157, [](float s, float b) { return s * b; }, true},
        {5158, [](float s, float b) { return 2 * s * (1 - b); }, true},
        {5159, [](float s, float b) { return b - s; }, true},
        {5160, [](float s, float b) { return b / (s + 0.0039f); }, true},
        {5161, [](float s, float b) { return b - s + 0.5f; }, true},
        {5162, [](float s, float b) { return s + b - 0.5f; }, true},
        {5163, [](float s, float b) { return std::max(s, b); }, true},
        {5164, [](float s, float b) { return b < 0.5f ? b + s * (1 - b) : b * (1 - s); }, false},
    };
    const int w = 16, h = 16;
    std::vector<uint32_t> src = RandomPixels(w * h, 15), bg = RandomPixels(w * h, 16);
    src[0] = 0xFFFFFFFF, bg[0] = 0xFF000000;  // a difference of exactly 1
    src[1] = 0xFF808080, bg[1] = 0xFF808080;
    device->SetTexture(0, Texture(w, h, src));
    device->SetTexture(1, Texture(w, h, bg));
    for (const Blend& blend : blends) {
        SCOPED_TRACE(blend.id);
        std::vector<Texel> want;
        for (size_t i = 0; i < src.size(); ++i) {
            Texel s = Texel4(src[i]), b = Texel4(bg[i]);
            Texel B(4), r(4);
            for (int c = 0; c < 3; ++c) {
                B[c] = blend.f(s[c], b[c]);
                if (blend.clamp) B[c] = Saturate(B[c]);
            }
            B[3] = 1.0f;
            for (int c = 0; c < 4; ++c) r[c] = b[c] + s[3] * (B[c] - b[c]);
            want.push_back(r);
        }
        // Burn and divide magnify the 8-bit input steps; the rest are exact.
        EXPECT_EQ(CompareChannels(Render(w, h, blend.id), want, 1), "");
    }
}

TEST_F(ShaderProgram, HeightToNormal5200) {
    const int n = 128;  // the shader steps by 1/128
    std::vector<uint32_t> heights(n * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            uint32_t h16 = uint32_t(32768 + 20000 * std::sin(x * 0.15) * std::cos(y * 0.11));
            heights[y * n + x] = 0xFF000000 | (h16 & 0xFF00) | (h16 & 0xFF);
        }
    device->SetTexture(0, Texture(n, n, heights));
    auto height = [&](int x, int y) {
        uint32_t p = heights[((y + n) % n) * n + (x + n) % n];
        return 0.996094f * Channel(p, 1) + 0.00390625f * Channel(p, 0);
    };
    std::vector<Texel> want;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float nw = height(x - 1, y - 1), north = height(x, y - 1), ne = height(x + 1, y - 1);
            float west = height(x - 1, y), east = height(x + 1, y);
            float sw = height(x - 1, y + 1), south = height(x, y + 1), se = height(x + 1, y + 1);
            float dx = (2 * west + nw + sw) - (2 * east + ne + se);
            float dy = (2 * north + nw + ne) - (2 * south + sw + se);
            float length = std::sqrt(dx * dx + dy * dy + 1);
            want.push_back({0.0f, 0.5f * dy / length + 0.5f, 0.5f * dx / length + 0.5f, 1.0f});
        }
    EXPECT_EQ(CompareChannels(Render(n, n, 5200), want, 1), "");
}

// The relief light: white by the alpha where the normal turns towards the
// light beyond the flat ground's share, black where it turns away.
TEST_F(ShaderProgram, ReliefLight5201) {
    const int n = 16;
    std::vector<uint32_t> normals = RandomPixels(n * n, 21);
    normals[0] = 0xFF808000u;  // flat: nothing
    device->SetTexture(0, Texture(n, n, normals));
    const float light[4] = {0.5f, -0.5f, 0.70710678f, 1.6f};
    PixelConstants({light[0], light[1], light[2], light[3]});
    std::vector<Texel> want;
    for (uint32_t p : normals) {
        float x = 2 * Channel(p, 2) - 1, y = 2 * Channel(p, 1) - 1;
        float z = std::sqrt(std::max(1 - x * x - y * y, 0.0f));
        float s = light[3] * (x * light[0] + y * light[1] + z * light[2] - light[2]);
        float a = std::min(std::fabs(s), 1.0f), c = s >= 0 ? 1.0f : 0.0f;
        want.push_back({c, c, c, a});
    }
    // Where the shade is clear its colour does not show.
    std::vector<uint32_t> got = Render(n, n, 5201);
    for (size_t i = 0; i < got.size(); ++i)
        if ((got[i] >> 24) == 0) got[i] = want[i][0] > 0 ? 0x00FFFFFFu : 0;
    EXPECT_EQ(CompareChannels(got, want, 1), "");
}

TEST_F(ShaderProgram, ControlSnag5390MovesByParam1) {
    device->SetTexture(0, Texture(1, 1, {0xFFFFFFFF}));
    D3DMATRIX projection = mtxImageEditorDevice::Projection(4, 4);
    device->SetVertexShaderConstantF(0, &projection.m[0][0], 4);
    const float offset[4] = {2, 1, 0, 0};
    device->SetVertexShaderConstantF(4, offset, 1);
    // The full-target quad moved right by 2 and down by 1.
    std::vector<uint32_t> got = Render(4, 4, 5363, 5390);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(got[y * 4 + x], (x >= 2 && y >= 1) ? 0xFFFFFFFFu : 0u) << x << "," << y;
}

}  // namespace
