#include "tests/render/layers/view_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tests/render/render_test_support.h"

namespace view_test {

LayerEditor& Editor() {
    LayerEditor& editor =
        render_test::SharedEditor<LayerEditor>([](LayerEditor& e) { e.SetFrameStates(); });
    EXPECT_NE(editor.GetDevice(), nullptr) << "no headless OpenGL 3.3 device (EGL, llvmpipe)";
    return editor;
}

std::unique_ptr<mtxImageDx> MakeImage(int width, int height, const std::vector<uint32_t>& pixels) {
    return render_test::DeviceImage(Editor().GetDevice(), width, height, pixels);
}

Sample::Sample(int e, uint32_t seed) : edge(e), pixels(render_test::RandomPixels(e * e, seed)) {
    texture = render_test::MakeTexture(Editor().GetDevice(), edge, edge, pixels);
}

Sample::~Sample() {
    if (texture) texture->Release();
}

mtxIEViewerQuad Stamp(float x, float y, float size, float angle) {
    mtxIEViewerQuad quad;
    quad.left = quad.top = -size / 2;
    quad.right = quad.bottom = size / 2;
    float c = std::cos(angle), s = std::sin(angle);
    const float m[9] = {c, s, 0, -s, c, 0, x, y, 1};
    std::copy(m, m + 9, quad.transform);
    return quad;
}

int DrawStamp(mtxIEViewerLayer& layer, const Sample& sample, const mtxIEViewerQuad& quad,
              float alpha) {
    mtxImageEditorDevice& editor = *layer.editor;
    IDirect3DDevice9* device = editor.GetDevice();
    const float c0[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const float c1[4] = {0.0f, 0.0f, 0.0f, alpha};
    device->BeginScene();
    device->SetTexture(0, sample.texture);
    int result = layer.DrawQuad(quad, editor.GetPixelShader(5372), c0, c1);
    device->SetTexture(0, nullptr);
    device->SetPixelShader(nullptr);
    device->EndScene();
    return result;
}

namespace {

// Channel c (0 blue .. 3 alpha) of the sample at (u, v), bilinear with clamping,
// texel centres at (i + 0.5) / edge.
float Bilinear(const Sample& sample, float u, float v, int c) {
    const int n = sample.edge;
    float fx = u * float(n) - 0.5f, fy = v * float(n) - 0.5f;
    float x0f = std::floor(fx), y0f = std::floor(fy);
    float ax = fx - x0f, ay = fy - y0f;
    auto texel = [&](int x, int y) {
        x = std::clamp(x, 0, n - 1);
        y = std::clamp(y, 0, n - 1);
        return render_test::Channel(sample.pixels[size_t(y) * size_t(n) + size_t(x)], c);
    };
    int x0 = int(x0f), y0 = int(y0f);
    float top = texel(x0, y0) * (1 - ax) + texel(x0 + 1, y0) * ax;
    float bottom = texel(x0, y0 + 1) * (1 - ax) + texel(x0 + 1, y0 + 1) * ax;
    return top * (1 - ay) + bottom * ay;
}

float Unorm8(float v) {
    return std::round(std::clamp(v, 0.0f, 1.0f) * 255.0f) / 255.0f;
}

}  // namespace

std::vector<uint32_t> ReferenceStamp(const std::vector<uint32_t>& picture, int width, int height,
                                     const Sample& sample, const mtxIEViewerQuad& quad, float alpha,
                                     float margin, std::vector<uint8_t>* inside,
                                     std::vector<uint8_t>* outside) {
    std::vector<uint32_t> out = picture;
    inside->assign(picture.size(), 0);
    outside->assign(picture.size(), 0);
    // The stamp's transform is a rotation and a move: invert it directly.
    const float* m = quad.transform;
    const float c = m[0], s = m[1], tx = m[6], ty = m[7];
    const float w = quad.right - quad.left, h = quad.bottom - quad.top;
    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px) {
            float dx = float(px) - tx, dy = float(py) - ty;
            float lx = dx * c + dy * s, ly = -dx * s + dy * c;  // back into the quad's frame
            float distance =
                std::min({lx - quad.left, quad.right - lx, ly - quad.top, quad.bottom - ly});
            size_t i = size_t(py) * size_t(width) + size_t(px);
            if (distance <= -margin) (*outside)[i] = 1;
            if (distance < margin) continue;
            (*inside)[i] = 1;
            float fu = (lx - quad.left) / w, fv = (ly - quad.top) / h;
            float u = quad.u[0] + fu * (quad.u[1] - quad.u[0]);
            float v = quad.v[0] + fv * (quad.v[1] - quad.v[0]);
            float scratch[4];
            for (int k = 0; k < 4; ++k) scratch[k] = Bilinear(sample, u, v, k);
            scratch[3] *= alpha;
            for (float& k : scratch) k = Unorm8(k);
            uint32_t result = 0;
            for (int k = 0; k < 4; ++k) {
                float below = render_test::Channel(picture[i], k);
                float over = k == 3 ? 1.0f : scratch[k];
                float value = below + (over - below) * scratch[3];
                result |= uint32_t(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f)) << (8 * k);
            }
            out[i] = result;
        }
    return out;
}

}  // namespace view_test
