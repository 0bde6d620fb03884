// The Direct3D-9-shaped device over OpenGL 3.3 core.
//
// Conventions kept from Direct3D 9, and how:
// - Row 0 of every texture, surface and render target is the top row. Memory
//   row r is GL row r everywhere (uploads, read-backs, scissor boxes), and
//   the vertex stage negates clip-space y, so Direct3D's top edge (y = +1)
//   lands on row 0. Only Present flips, when it copies to the window.
// - Pixel centres lie at integer coordinates: every vertex is moved by half a
//   pixel (one viewport pixel in NDC is 2 / size, so half is 1 / size).
// - Clip-space depth runs 0..w as in Direct3D; the vertex stage maps it to
//   GL's -w..w.
// Unchanged state, bindings and uniform values are not sent to GL again.
#include "platform/gl_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/device.h"

namespace {

constexpr int kUploadUnit = 15;  // texture unit for uploads, outside the Direct3D stages

// The device whose context is current on this thread; cleared when that
// device goes, so a new device at the same address still makes its own current.
thread_local mtxGlDevice* currentDevice = nullptr;

constexpr const char* kEpilogue = R"(
#undef main
#undef c
uniform vec2 dx_pos_fix;
void main() {
    dx_user_main();
    vec4 p = gl_Position;
    gl_Position = vec4(p.x + p.w * dx_pos_fix.x, -p.y + p.w * dx_pos_fix.y, 2.0 * p.z - p.w, p.w);
}
)";

// The fixed pipeline's vertex stage: position x (world x view x projection).
constexpr const char* kFixedVertex = R"(#version 330 core
in vec4 a_position;
in vec4 a_color;
in vec4 a_tex0;
out vec4 v_color;
out vec4 v_tex0;
out vec4 v_tex1;
uniform mat4 dx_proj;
void main() {
    gl_Position = dx_proj * a_position;
    v_color = a_color;
    v_tex0 = a_tex0;
    v_tex1 = vec4(0.0, 0.0, 0.0, 1.0);
}
)";

// The fixed pipeline's stage 0: dx_stage = (colour op, alpha op, texture
// bound), dx_args = colour arg 1, 2, alpha arg 1, 2 (1 texture, 0 diffuse).
// A stage without a texture reads opaque white.
constexpr const char* kFixedPixel = R"(#version 330 core
in vec4 v_color;
in vec4 v_tex0;
out vec4 o_color;
uniform sampler2D s0;
uniform ivec4 dx_stage;
uniform ivec4 dx_args;
vec4 Arg(int texture, vec4 t) { return texture != 0 ? t : v_color; }
vec4 Op(int op, vec4 a, vec4 b) {
    if (op == 4) return a * b;
    if (op == 2) return a;
    if (op == 3) return b;
    return v_color;
}
void main() {
    vec4 t = dx_stage.z != 0 ? texture(s0, v_tex0.xy) : vec4(1.0);
    vec4 rgb = Op(dx_stage.x, Arg(dx_args.x, t), Arg(dx_args.y, t));
    vec4 a = Op(dx_stage.y, Arg(dx_args.z, t), Arg(dx_args.w, t));
    o_color = vec4(rgb.rgb, a.a);
}
)";

GLenum GlPrimitive(D3DPRIMITIVETYPE type) {
    switch (type) {
        case D3DPT_POINTLIST:
            return GL_POINTS;
        case D3DPT_LINELIST:
            return GL_LINES;
        case D3DPT_LINESTRIP:
            return GL_LINE_STRIP;
        case D3DPT_TRIANGLELIST:
            return GL_TRIANGLES;
        case D3DPT_TRIANGLESTRIP:
            return GL_TRIANGLE_STRIP;
        case D3DPT_TRIANGLEFAN:
            return GL_TRIANGLE_FAN;
    }
    return GL_INVALID_ENUM;
}

// Vertices used by primitiveCount primitives; 0 for an unknown type.
uint32_t VertexCount(D3DPRIMITIVETYPE type, uint32_t primitives) {
    switch (type) {
        case D3DPT_POINTLIST:
            return primitives;
        case D3DPT_LINELIST:
            return primitives * 2;
        case D3DPT_LINESTRIP:
            return primitives + 1;
        case D3DPT_TRIANGLELIST:
            return primitives * 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return primitives + 2;
    }
    return 0;
}

GLenum GlBlend(uint32_t blend) {
    switch (blend) {
        case D3DBLEND_ZERO:
            return GL_ZERO;
        case D3DBLEND_ONE:
            return GL_ONE;
        case D3DBLEND_SRCCOLOR:
            return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR:
            return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA:
            return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA:
            return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA:
            return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA:
            return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR:
            return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR:
            return GL_ONE_MINUS_DST_COLOR;
        case D3DBLEND_SRCALPHASAT:
            return GL_SRC_ALPHA_SATURATE;
    }
    return GL_ONE;
}

GLenum GlBlendOp(uint32_t op) {
    switch (op) {
        case D3DBLENDOP_SUBTRACT:
            return GL_FUNC_SUBTRACT;
        case D3DBLENDOP_REVSUBTRACT:
            return GL_FUNC_REVERSE_SUBTRACT;
        case D3DBLENDOP_MIN:
            return GL_MIN;
        case D3DBLENDOP_MAX:
            return GL_MAX;
    }
    return GL_FUNC_ADD;
}

GLenum GlCompare(uint32_t func) {
    switch (func) {
        case D3DCMP_NEVER:
            return GL_NEVER;
        case D3DCMP_LESS:
            return GL_LESS;
        case D3DCMP_EQUAL:
            return GL_EQUAL;
        case D3DCMP_LESSEQUAL:
            return GL_LEQUAL;
        case D3DCMP_GREATER:
            return GL_GREATER;
        case D3DCMP_NOTEQUAL:
            return GL_NOTEQUAL;
        case D3DCMP_GREATEREQUAL:
            return GL_GEQUAL;
    }
    return GL_ALWAYS;
}

GLint GlAddress(uint32_t mode) {
    switch (mode) {
        case D3DTADDRESS_MIRROR:
            return GL_MIRRORED_REPEAT;
        case D3DTADDRESS_CLAMP:
            return GL_CLAMP_TO_EDGE;
        case D3DTADDRESS_BORDER:
            return GL_CLAMP_TO_BORDER;
    }
    return GL_REPEAT;
}

GLint GlMinFilter(uint32_t min, uint32_t mip) {
    bool linear = min >= D3DTEXF_LINEAR;
    if (mip == D3DTEXF_NONE) return linear ? GL_LINEAR : GL_NEAREST;
    if (mip == D3DTEXF_POINT) return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

struct PixelFormat {
    GLint internal;
    GLenum format, type;
};

// A8R8G8B8 is bytes B, G, R, A; G16R16 is two 16-bit words, red first.
bool GlFormat(D3DFORMAT format, PixelFormat* out) {
    if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
        *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
        return true;
    }
    if (format == D3DFMT_G16R16) {
        *out = {GL_RG16, GL_RG, GL_UNSIGNED_SHORT};
        return true;
    }
    return false;
}

void Identity(D3DMATRIX* m) {
    *m = {};
    for (int i = 0; i < 4; ++i) m->m[i][i] = 1.0f;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

// The source without its #version line, which the device writes itself.
std::string Body(const char* code) {
    std::string_view source(code);
    size_t at = source.find("#version");
    if (at == std::string_view::npos) return std::string(source);
    size_t end = source.find('\n', at);
    std::string body(source.substr(0, at));
    if (end != std::string_view::npos) body += source.substr(end);
    return body;
}

// D3DCOLOR as GL's float clear colour (r, g, b, a).
void ColorToFloats(D3DCOLOR color, float out[4]) {
    out[0] = float((color >> 16) & 0xFF) / 255.0f;
    out[1] = float((color >> 8) & 0xFF) / 255.0f;
    out[2] = float(color & 0xFF) / 255.0f;
    out[3] = float(color >> 24) / 255.0f;
}

mtxGlTexture* TextureOf(IDirect3DSurface9* surface) {
    auto* s = static_cast<mtxGlSurface*>(surface);
    return s ? s->container : nullptr;
}

}  // namespace

// --- creation ---------------------------------------------------------------

mtxGlDevice* mtxGlDevice::Create(void* window, const D3DPRESENT_PARAMETERS& present) {
    std::unique_ptr<mtxGlContext> context =
        window ? mtxGlContext::CreateForWindow(window) : mtxGlContext::CreateHeadless();
    if (!context) return nullptr;
    auto* device = new mtxGlDevice(std::move(context), present);
    if (!device->ffVertex_ || !device->ffPixel_ || !device->CreateBackBuffer()) {
        device->Release();
        return nullptr;
    }
    device->SetDefaultStates();
    return device;
}

mtxGlDevice::mtxGlDevice(std::unique_ptr<mtxGlContext> context,
                         const D3DPRESENT_PARAMETERS& present)
    : context_(std::move(context)), present_(present) {
    Use();
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenBuffers(1, &vertexBuffer_);
    glGenBuffers(1, &indexBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
    glGenSamplers(kStages, samplers_);
    for (int i = 0; i < kStages; ++i) glBindSampler(GLuint(i), samplers_[i]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    ffVertex_ = CompileStage(false, Body(kFixedVertex));
    ffPixel_ = CompileStage(true, Body(kFixedPixel));
}

mtxGlDevice::~mtxGlDevice() {
    Use();
    for (auto& texture : texture_)
        if (texture) texture->Release(), texture = nullptr;
    if (target_) target_->Release(), target_ = nullptr;
    if (vertexShader_) vertexShader_->Release(), vertexShader_ = nullptr;
    if (pixelShader_) pixelShader_->Release(), pixelShader_ = nullptr;
    ReleaseBackBuffer();
    // Objects the caller still holds lose their GL side and stay inert.
    for (mtxGlTexture* texture : textures_) {
        glDeleteTextures(1, &texture->name);
        if (texture->fbo) glDeleteFramebuffers(1, &texture->fbo);
        texture->Orphan();
    }
    for (auto& [key, program] : programs_) glDeleteProgram(program.name);
    glDeleteShader(ffVertex_);
    glDeleteShader(ffPixel_);
    glDeleteSamplers(kStages, samplers_);
    glDeleteBuffers(1, &vertexBuffer_);
    glDeleteBuffers(1, &indexBuffer_);
    glDeleteVertexArrays(1, &vao_);
    context_.reset();
    currentDevice = nullptr;
}

uint32_t mtxGlDevice::Release() {
    uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
}

// The context of the device that was used last on this thread; switching
// only when another device comes in keeps the common case free.
void mtxGlDevice::Use() {
    if (currentDevice == this) return;
    context_->MakeCurrent();
    currentDevice = this;
}

int mtxGlDevice::CreateBackBuffer() {
    uint32_t width = std::max<uint32_t>(present_.BackBufferWidth, 1);
    uint32_t height = std::max<uint32_t>(present_.BackBufferHeight, 1);
    present_.BackBufferWidth = width;
    present_.BackBufferHeight = height;
    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, GLsizei(width), GLsizei(height));
    backBuffer_ = new mtxGlTexture(this, width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                   D3DPOOL_DEFAULT);
    backBuffer_->isBackBuffer = 1;
    TextureCreated(backBuffer_);
    if (!backBuffer_->name || !FramebufferOf(backBuffer_)) return 0;
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE ? 1 : 0;
}

void mtxGlDevice::ReleaseBackBuffer() {
    if (backBuffer_) backBuffer_->Release(), backBuffer_ = nullptr;
    if (depth_) glDeleteRenderbuffers(1, &depth_), depth_ = 0;
}

// Direct3D 9's states after CreateDevice and Reset.
void mtxGlDevice::SetDefaultStates() {
    std::fill(std::begin(renderState_), std::end(renderState_), 0u);
    renderState_[D3DRS_ZENABLE] = present_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    renderState_[D3DRS_FILLMODE] = 3;
    renderState_[D3DRS_ZWRITEENABLE] = 1;
    renderState_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    renderState_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    renderState_[D3DRS_CULLMODE] = D3DCULL_CCW;
    renderState_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    renderState_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    renderState_[D3DRS_LIGHTING] = 1;
    renderState_[D3DRS_COLORVERTEX] = 1;
    renderState_[D3DRS_COLORWRITEENABLE] = 0xF;
    renderState_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    for (Sampler& s : sampler_) s = Sampler{};
    stageState_[D3DTSS_COLOROP] = D3DTOP_MODULATE;
    stageState_[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    stageState_[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    stageState_[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
    stageState_[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    stageState_[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    for (auto& texture : texture_)
        if (texture) texture->Release(), texture = nullptr;
    if (vertexShader_) vertexShader_->Release(), vertexShader_ = nullptr;
    if (pixelShader_) pixelShader_->Release(), pixelShader_ = nullptr;
    fvf_ = 0;
    std::fill(std::begin(vsConst_), std::end(vsConst_), 0.0f);
    std::fill(std::begin(psConst_), std::end(psConst_), 0.0f);
    Identity(&world_);
    Identity(&view_);
    Identity(&projection_);
    UpdateFixedTransform();
    SetRenderTarget(0, &backBuffer_->level0);
    inScene_ = 0;
}

// --- bookkeeping --------------------------------------------------------------

void mtxGlDevice::TextureCreated(mtxGlTexture* texture) {
    Use();
    PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    GlFormat(texture->format, &f);
    glGenTextures(1, &texture->name);
    ActiveUnit(kUploadUnit);
    glBindTexture(GL_TEXTURE_2D, texture->name);
    uint32_t levels = texture->levels;
    if (levels == 0) {
        levels = 1;
        for (uint32_t size = std::max(texture->width, texture->height); size > 1; size /= 2)
            ++levels;
    }
    texture->levels = levels;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levels - 1));
    if (texture->format == D3DFMT_G16R16) {
        // Direct3D 9 reads the missing blue and alpha of G16R16 as 1.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_ONE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    }
    const void* initial = texture->pool == D3DPOOL_MANAGED ? texture->shadow.data() : nullptr;
    glTexImage2D(GL_TEXTURE_2D, 0, f.internal, GLsizei(texture->width), GLsizei(texture->height), 0,
                 f.format, f.type, initial);
    if (levels > 1) glGenerateMipmap(GL_TEXTURE_2D);
    textures_.insert(texture);
    if (texture->pool == D3DPOOL_DEFAULT && !texture->isBackBuffer) {
        defaultPoolBytes_ += texture->Bytes();
        ++defaultPoolCount_;
    }
}

void mtxGlDevice::TextureDestroyed(mtxGlTexture* texture) {
    Use();
    if (texture->fbo) {
        if (gl_.framebuffer == texture->fbo) gl_.framebuffer = ~0u;
        glDeleteFramebuffers(1, &texture->fbo);
    }
    for (unsigned& bound : gl_.texture)
        if (bound == texture->name) bound = 0;
    glDeleteTextures(1, &texture->name);
    textures_.erase(texture);
    if (texture->pool == D3DPOOL_DEFAULT && !texture->isBackBuffer) {
        defaultPoolBytes_ -= texture->Bytes();
        --defaultPoolCount_;
    }
}

void mtxGlDevice::ShaderDestroyed(uint32_t serial, unsigned name, bool) {
    Use();
    for (auto it = programs_.begin(); it != programs_.end();) {
        if (uint32_t(it->first >> 32) == serial || uint32_t(it->first) == serial) {
            if (gl_.program == it->second.name) gl_.program = ~0u;
            glDeleteProgram(it->second.name);
            it = programs_.erase(it);
        } else {
            ++it;
        }
    }
    glDeleteShader(name);
}

unsigned mtxGlDevice::FramebufferOf(mtxGlTexture* texture) {
    if (!texture->fbo) {
        glGenFramebuffers(1, &texture->fbo);
        BindFramebuffer(texture->fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture->name,
                               0);
        if (present_.EnableAutoDepthStencil)
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    }
    return texture->fbo;
}

void mtxGlDevice::UploadLevel0(mtxGlTexture* texture, const uint8_t* bits, int32_t pitch, int x,
                               int y, int width, int height) {
    Use();
    PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    GlFormat(texture->format, &f);
    ActiveUnit(kUploadUnit);
    glBindTexture(GL_TEXTURE_2D, texture->name);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch / 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, f.format, f.type, bits);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (texture->levels > 1) glGenerateMipmap(GL_TEXTURE_2D);
}

// --- device state -------------------------------------------------------------

HRESULT mtxGlDevice::TestCooperativeLevel() {
    if (!lost_) return D3D_OK;
    if (lostPolls_ > 0) {
        --lostPolls_;
        return D3DERR_DEVICELOST;
    }
    return D3DERR_DEVICENOTRESET;
}

// GL has no portable query; report a fixed budget less what the default
// pool holds, in whole megabytes as Direct3D rounds it.
uint32_t mtxGlDevice::GetAvailableTextureMem() {
    const size_t budget = size_t(512) << 20;
    size_t left = defaultPoolBytes_ < budget ? budget - defaultPoolBytes_ : 0;
    return uint32_t(left & ~size_t(0xFFFFF));
}

HRESULT mtxGlDevice::Reset(D3DPRESENT_PARAMETERS* present) {
    if (!present) return D3DERR_INVALIDCALL;
    if (lost_ && lostPolls_ > 0) return D3DERR_DEVICELOST;
    // As in Direct3D, every default-pool resource must be released first.
    if (defaultPoolCount_ != 0) return D3DERR_INVALIDCALL;
    Use();
    for (auto& texture : texture_)
        if (texture) texture->Release(), texture = nullptr;
    if (target_) target_->Release(), target_ = nullptr;
    ReleaseBackBuffer();
    gl_ = GlState{};
    present_ = *present;
    if (!CreateBackBuffer()) return D3DERR_NOTAVAILABLE;
    *present = present_;
    for (int i = 0; i < kStages; ++i) glBindSampler(GLuint(i), samplers_[i]);
    SetDefaultStates();
    lost_ = 0;
    return D3D_OK;
}

HRESULT mtxGlDevice::Present(const RECT*, const RECT*, void*, const void*) {
    mtxDxTestSwitch& test = mtxDxTestSwitches();
    if (test.loseAtNextPresent && !lost_) {
        test.loseAtNextPresent = 0;
        lost_ = 1;
        lostPolls_ = test.lostPolls;
    }
    if (lost_) return D3DERR_DEVICELOST;
    if (!context_->HasWindow()) return D3D_OK;
    Use();
    // The window's framebuffer is double buffered and undefined after a swap,
    // so the whole visible part of the back buffer is copied, turned right
    // side up (GL's row 0 is the bottom of the window).
    int width = 0, height = 0;
    context_->DrawableSize(&width, &height);
    width = std::min<int>(width, int(backBuffer_->width));
    height = std::min<int>(height, int(backBuffer_->height));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_->fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    SetScissor(0, 0, 0, 0, 0);
    glBlitFramebuffer(0, 0, width, height, 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl_.framebuffer = ~0u;
    context_->Swap();
    return D3D_OK;
}

HRESULT mtxGlDevice::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = 1;
    return D3D_OK;
}

HRESULT mtxGlDevice::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = 0;
    if (!lost_) glFlush();
    return D3D_OK;
}

HRESULT mtxGlDevice::Clear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color,
                           float z, uint32_t) {
    if (lost_) return D3D_OK;
    Use();
    ApplyTarget();
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        float c[4];
        ColorToFloats(color, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        SetColorMask(0xF);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_ZBUFFER) && present_.EnableAutoDepthStencil) {
        glClearDepth(z);
        SetDepthWrite(1);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    // Direct3D clears the viewport, or the given rectangles inside it.
    const D3DVIEWPORT9& v = viewport_;
    if (!rects || count == 0) {
        SetScissor(1, int(v.X), int(v.Y), int(v.Width), int(v.Height));
        glClear(mask);
        return D3D_OK;
    }
    for (uint32_t i = 0; i < count; ++i) {
        int left = std::max<int>(rects[i].left, int(v.X));
        int top = std::max<int>(rects[i].top, int(v.Y));
        int right = std::min<int>(rects[i].right, int(v.X + v.Width));
        int bottom = std::min<int>(rects[i].bottom, int(v.Y + v.Height));
        if (right <= left || bottom <= top) continue;
        SetScissor(1, left, top, right - left, bottom - top);
        glClear(mask);
    }
    return D3D_OK;
}

HRESULT mtxGlDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                   D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                   void*) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    if (width == 0 || height == 0 || width > 8192 || height > 8192 || !GlFormat(format, &f))
        return D3DERR_INVALIDCALL;
    if (pool == D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    if (mtxDxTestSwitches().failTextures) return D3DERR_OUTOFVIDEOMEMORY;
    auto* t = new mtxGlTexture(this, width, height, levels, usage, format, pool);
    TextureCreated(t);
    *texture = t;
    return D3D_OK;
}

HRESULT mtxGlDevice::CreateOffscreenPlainSurface(uint32_t width, uint32_t height, D3DFORMAT format,
                                                 D3DPOOL pool, IDirect3DSurface9** surface, void*) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    if (width == 0 || height == 0 || width > 16384 || height > 16384 || !GlFormat(format, &f) ||
        pool != D3DPOOL_SYSTEMMEM)
        return D3DERR_INVALIDCALL;
    if (mtxDxTestSwitches().failTextures) return E_OUTOFMEMORY;
    try {
        *surface = new mtxGlSurface(width, height, format);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT mtxGlDevice::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                                   IDirect3DSurface9* dest, const POINT* destPoint) {
    auto* src = static_cast<mtxGlSurface*>(source);
    mtxGlTexture* dst = TextureOf(dest);
    if (!src || src->container || !dst || src->format != dst->format) return D3DERR_INVALIDCALL;
    RECT r = sourceRect ? *sourceRect : RECT{0, 0, int32_t(src->width), int32_t(src->height)};
    POINT p = destPoint ? *destPoint : POINT{0, 0};
    int width = r.right - r.left, height = r.bottom - r.top;
    if (r.left < 0 || r.top < 0 || width <= 0 || height <= 0 || r.right > int(src->width) ||
        r.bottom > int(src->height) || p.x < 0 || p.y < 0 || p.x + width > int(dst->width) ||
        p.y + height > int(dst->height))
        return D3DERR_INVALIDCALL;
    const uint8_t* bits = src->bits.data() + size_t(r.top) * src->pitch + size_t(r.left) * 4;
    if (dst->pool == D3DPOOL_MANAGED)
        for (int row = 0; row < height; ++row)
            std::memcpy(dst->shadow.data() + (size_t(p.y + row) * dst->width + p.x) * 4,
                        bits + size_t(row) * src->pitch, size_t(width) * 4);
    if (lost_) return D3D_OK;
    UploadLevel0(dst, bits, src->pitch, p.x, p.y, width, height);
    return D3D_OK;
}

HRESULT mtxGlDevice::ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) {
    mtxGlTexture* t = TextureOf(surface);
    if (!t || t->pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    RECT r = rect ? *rect : RECT{0, 0, int32_t(t->width), int32_t(t->height)};
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min<int32_t>(r.right, int32_t(t->width));
    r.bottom = std::min<int32_t>(r.bottom, int32_t(t->height));
    if (lost_ || r.right <= r.left || r.bottom <= r.top) return D3D_OK;
    Use();
    BindFramebuffer(FramebufferOf(t));
    float c[4];
    ColorToFloats(color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    SetColorMask(0xF);
    SetScissor(1, r.left, r.top, r.right - r.left, r.bottom - r.top);
    glClear(GL_COLOR_BUFFER_BIT);
    return D3D_OK;
}

HRESULT mtxGlDevice::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) {
    mtxGlTexture* t = TextureOf(renderTarget);
    auto* d = static_cast<mtxGlSurface*>(dest);
    if (!t || !(t->usage & D3DUSAGE_RENDERTARGET) || !d || d->container || d->width != t->width ||
        d->height != t->height || d->format != t->format)
        return D3DERR_INVALIDCALL;
    if (lost_) return D3DERR_DEVICELOST;
    Use();
    PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    GlFormat(t->format, &f);
    BindFramebuffer(FramebufferOf(t));
    glPixelStorei(GL_PACK_ROW_LENGTH, d->pitch / 4);
    glReadPixels(0, 0, GLsizei(t->width), GLsizei(t->height), f.format, f.type, d->bits.data());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    return D3D_OK;
}

HRESULT mtxGlDevice::GetRenderTarget(uint32_t index, IDirect3DSurface9** surface) {
    if (index != 0 || !surface) return D3DERR_INVALIDCALL;
    *surface = &target_->level0;
    target_->AddRef();
    return D3D_OK;
}

HRESULT mtxGlDevice::SetRenderTarget(uint32_t index, IDirect3DSurface9* surface) {
    mtxGlTexture* t = TextureOf(surface);
    if (index != 0 || !t || !(t->usage & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
    t->AddRef();
    if (target_) target_->Release();
    target_ = t;
    viewport_ = {0, 0, t->width, t->height, 0.0f, 1.0f};
    return D3D_OK;
}

HRESULT mtxGlDevice::GetBackBuffer(uint32_t, uint32_t index, uint32_t,
                                   IDirect3DSurface9** surface) {
    if (index != 0 || !surface) return D3DERR_INVALIDCALL;
    backBuffer_->AddRef();
    *surface = &backBuffer_->level0;
    return D3D_OK;
}

HRESULT mtxGlDevice::SetViewport(const D3DVIEWPORT9* viewport) {
    if (!viewport || viewport->X + viewport->Width > target_->width ||
        viewport->Y + viewport->Height > target_->height)
        return D3DERR_INVALIDCALL;
    viewport_ = *viewport;
    return D3D_OK;
}

HRESULT mtxGlDevice::GetViewport(D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    *viewport = viewport_;
    return D3D_OK;
}

HRESULT mtxGlDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    if (state == D3DTS_PROJECTION)
        projection_ = *matrix;
    else if (state == D3DTS_VIEW)
        view_ = *matrix;
    else if (state == D3DTS_WORLD)
        world_ = *matrix;
    else
        return D3DERR_INVALIDCALL;
    UpdateFixedTransform();
    return D3D_OK;
}

// Row vectors times world x view x projection. GL reads the matrix memory
// column by column, so the row-major product uploaded as is becomes its
// transpose, and transpose x column vector equals row vector x matrix.
void mtxGlDevice::UpdateFixedTransform() {
    D3DMATRIX m = Multiply(Multiply(world_, view_), projection_);
    std::memcpy(fixedTransform_, &m, sizeof fixedTransform_);
}

HRESULT mtxGlDevice::SetTexture(uint32_t stage, IDirect3DTexture9* texture) {
    if (stage >= kStages) return D3DERR_INVALIDCALL;
    auto* t = static_cast<mtxGlTexture*>(texture);
    if (t == texture_[stage]) return D3D_OK;
    if (t) t->AddRef();
    if (texture_[stage]) texture_[stage]->Release();
    texture_[stage] = t;
    return D3D_OK;
}

HRESULT mtxGlDevice::SetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value) {
    if (sampler >= kStages) return D3DERR_INVALIDCALL;
    Sampler& s = sampler_[sampler];
    switch (type) {
        case D3DSAMP_ADDRESSU:
            s.addressU = value;
            break;
        case D3DSAMP_ADDRESSV:
            s.addressV = value;
            break;
        case D3DSAMP_ADDRESSW:
            break;
        case D3DSAMP_BORDERCOLOR:
            s.border = value;
            break;
        case D3DSAMP_MAGFILTER:
            s.mag = value;
            break;
        case D3DSAMP_MINFILTER:
            s.min = value;
            break;
        case D3DSAMP_MIPFILTER:
            s.mip = value;
            break;
        default:
            return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT mtxGlDevice::SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    if (uint32_t(state) >= 256) return D3DERR_INVALIDCALL;
    renderState_[state] = value;
    return D3D_OK;
}

HRESULT mtxGlDevice::GetRenderState(D3DRENDERSTATETYPE state, uint32_t* value) {
    if (uint32_t(state) >= 256 || !value) return D3DERR_INVALIDCALL;
    *value = renderState_[state];
    return D3D_OK;
}

HRESULT mtxGlDevice::SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                          uint32_t value) {
    if (stage >= kStages || uint32_t(type) >= 8) return D3DERR_INVALIDCALL;
    // Only stage 0 of the fixed pipeline is used; later stages stay disabled.
    if (stage == 0) stageState_[type] = value;
    return D3D_OK;
}

HRESULT mtxGlDevice::SetFVF(uint32_t fvf) {
    if (!(fvf & D3DFVF_XYZ) || (fvf & ~(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1)))
        return D3DERR_INVALIDCALL;
    fvf_ = fvf;
    return D3D_OK;
}

HRESULT mtxGlDevice::SetPixelShader(IDirect3DPixelShader9* shader) {
    auto* s = static_cast<mtxGlPixelShader*>(shader);
    if (s == pixelShader_) return D3D_OK;
    if (s) s->AddRef();
    if (pixelShader_) pixelShader_->Release();
    pixelShader_ = s;
    return D3D_OK;
}

HRESULT mtxGlDevice::SetVertexShader(IDirect3DVertexShader9* shader) {
    auto* s = static_cast<mtxGlVertexShader*>(shader);
    if (s == vertexShader_) return D3D_OK;
    if (s) s->AddRef();
    if (vertexShader_) vertexShader_->Release();
    vertexShader_ = s;
    return D3D_OK;
}

HRESULT mtxGlDevice::SetVertexShaderConstantF(uint32_t start, const float* data, uint32_t count) {
    if (!data || start + count > kVsConstants) return D3DERR_INVALIDCALL;
    std::memcpy(vsConst_ + start * 4, data, count * 4 * sizeof(float));
    return D3D_OK;
}

HRESULT mtxGlDevice::SetPixelShaderConstantF(uint32_t start, const float* data, uint32_t count) {
    if (!data || start + count > kPsConstants) return D3DERR_INVALIDCALL;
    std::memcpy(psConst_ + start * 4, data, count * 4 * sizeof(float));
    return D3D_OK;
}

// --- shaders ------------------------------------------------------------------

// Each stage gets its own name for the constant registers, so the vertex
// stage's c[] and the pixel stage's c[] stay apart once linked; a vertex
// stage's main is wrapped by the device's epilogue.
unsigned mtxGlDevice::CompileStage(bool pixel, const std::string& body) {
    std::string source = "#version 330 core\n";
    source += pixel ? "#define c dx_ps_c\n" : "#define c dx_vs_c\n#define main dx_user_main\n";
    source += "#line 1\n" + body;
    if (!pixel) source += kEpilogue;
    GLuint shader = glCreateShader(pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "device: %s shader does not compile: %s\n", pixel ? "pixel" : "vertex",
                     log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

HRESULT mtxGlDevice::CreatePixelShader(const char* code, IDirect3DPixelShader9** shader) {
    if (!code || !shader) return D3DERR_INVALIDCALL;
    *shader = nullptr;
    Use();
    unsigned name = CompileStage(true, Body(code));
    if (!name) return D3DERR_INVALIDCALL;
    *shader = new mtxGlPixelShader(this, name, nextSerial_++);
    return D3D_OK;
}

HRESULT mtxGlDevice::CreateVertexShader(const char* code, IDirect3DVertexShader9** shader) {
    if (!code || !shader) return D3DERR_INVALIDCALL;
    *shader = nullptr;
    Use();
    unsigned name = CompileStage(false, Body(code));
    if (!name) return D3DERR_INVALIDCALL;
    *shader = new mtxGlVertexShader(this, name, nextSerial_++);
    return D3D_OK;
}

mtxGlProgram* mtxGlDevice::Link(unsigned vertex, unsigned pixel) {
    mtxGlProgram p;
    p.name = glCreateProgram();
    glAttachShader(p.name, vertex);
    glAttachShader(p.name, pixel);
    glBindAttribLocation(p.name, 0, "a_position");
    glBindAttribLocation(p.name, 1, "a_color");
    glBindAttribLocation(p.name, 2, "a_tex0");
    glBindFragDataLocation(p.name, 0, "o_color");
    glLinkProgram(p.name);
    GLint ok = 0;
    glGetProgramiv(p.name, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetProgramInfoLog(p.name, sizeof log, nullptr, log);
        std::fprintf(stderr, "device: shaders do not link: %s\n", log);
        glDeleteProgram(p.name);
        return nullptr;
    }
    GLint count = 0;
    glGetProgramiv(p.name, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[64] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(p.name, GLuint(i), sizeof name, nullptr, &size, &type, name);
        if (std::strcmp(name, "dx_vs_c[0]") == 0 || std::strcmp(name, "dx_vs_c") == 0)
            p.vsConstCount = std::min(size, kVsConstants);
        if (std::strcmp(name, "dx_ps_c[0]") == 0 || std::strcmp(name, "dx_ps_c") == 0)
            p.psConstCount = std::min(size, kPsConstants);
    }
    p.vsConstLocation = glGetUniformLocation(p.name, "dx_vs_c");
    p.psConstLocation = glGetUniformLocation(p.name, "dx_ps_c");
    p.projLocation = glGetUniformLocation(p.name, "dx_proj");
    p.fixLocation = glGetUniformLocation(p.name, "dx_pos_fix");
    p.stageLocation = glGetUniformLocation(p.name, "dx_stage");
    p.argsLocation = glGetUniformLocation(p.name, "dx_args");
    p.vsConst.assign(size_t(p.vsConstCount) * 4, 0.0f);
    p.psConst.assign(size_t(p.psConstCount) * 4, 0.0f);
    glUseProgram(p.name);
    gl_.program = p.name;
    for (int i = 0; i < kStages; ++i) {
        char sampler[4] = {'s', char('0' + i), 0, 0};
        GLint location = glGetUniformLocation(p.name, sampler);
        if (location >= 0) glUniform1i(location, i);
    }
    return new mtxGlProgram(std::move(p));
}

mtxGlProgram* mtxGlDevice::CurrentProgram() {
    uint32_t vs = vertexShader_ ? vertexShader_->serial : 0;
    uint32_t ps = pixelShader_ ? pixelShader_->serial : 0;
    uint64_t key = (uint64_t(vs) << 32) | ps;
    auto it = programs_.find(key);
    if (it != programs_.end()) return it->second.name ? &it->second : nullptr;
    std::unique_ptr<mtxGlProgram> linked(Link(vertexShader_ ? vertexShader_->name : ffVertex_,
                                              pixelShader_ ? pixelShader_->name : ffPixel_));
    // A pair that does not link is remembered as such and draws nothing.
    mtxGlProgram& slot = programs_[key];
    if (linked) slot = std::move(*linked);
    return slot.name ? &slot : nullptr;
}

// --- drawing ------------------------------------------------------------------

void mtxGlDevice::BindFramebuffer(unsigned framebuffer) {
    if (gl_.framebuffer == framebuffer) return;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl_.framebuffer = framebuffer;
}

void mtxGlDevice::SetGlViewport(int x, int y, int width, int height) {
    int v[4] = {x, y, width, height};
    if (std::equal(v, v + 4, gl_.viewport)) return;
    glViewport(x, y, width, height);
    std::copy(v, v + 4, gl_.viewport);
}

void mtxGlDevice::SetScissor(int enable, int x, int y, int width, int height) {
    if (gl_.scissor != enable) {
        if (enable)
            glEnable(GL_SCISSOR_TEST);
        else
            glDisable(GL_SCISSOR_TEST);
        gl_.scissor = enable;
    }
    if (!enable) return;
    int box[4] = {x, y, width, height};
    if (std::equal(box, box + 4, gl_.scissorBox)) return;
    glScissor(x, y, width, height);
    std::copy(box, box + 4, gl_.scissorBox);
}

void mtxGlDevice::SetColorMask(int mask) {
    if (gl_.colorMask == mask) return;
    glColorMask(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
    gl_.colorMask = mask;
}

void mtxGlDevice::SetDepthWrite(int on) {
    if (gl_.depthWrite == on) return;
    glDepthMask(on ? GL_TRUE : GL_FALSE);
    gl_.depthWrite = on;
}

void mtxGlDevice::ActiveUnit(int unit) {
    if (gl_.activeUnit == unit) return;
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    gl_.activeUnit = unit;
}

void mtxGlDevice::ApplyTarget() {
    BindFramebuffer(FramebufferOf(target_));
    SetGlViewport(int(viewport_.X), int(viewport_.Y), int(viewport_.Width), int(viewport_.Height));
}

void mtxGlDevice::ApplyRenderStates() {
    const uint32_t* rs = renderState_;
    int depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && present_.EnableAutoDepthStencil;
    if (gl_.depthTest != depthTest) {
        if (depthTest)
            glEnable(GL_DEPTH_TEST);
        else
            glDisable(GL_DEPTH_TEST);
        gl_.depthTest = depthTest;
    }
    int func = int(GlCompare(rs[D3DRS_ZFUNC]));
    if (gl_.depthFunc != func) glDepthFunc(GLenum(func)), gl_.depthFunc = func;
    SetDepthWrite(rs[D3DRS_ZWRITEENABLE] ? 1 : 0);
    int blend = rs[D3DRS_ALPHABLENDENABLE] ? 1 : 0;
    if (gl_.blend != blend) {
        if (blend)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        gl_.blend = blend;
    }
    if (blend) {
        int src = int(GlBlend(rs[D3DRS_SRCBLEND])), dst = int(GlBlend(rs[D3DRS_DESTBLEND]));
        if (gl_.blendSrc != src || gl_.blendDst != dst) {
            glBlendFunc(GLenum(src), GLenum(dst));
            gl_.blendSrc = src, gl_.blendDst = dst;
        }
        int op = int(GlBlendOp(rs[D3DRS_BLENDOP]));
        if (gl_.blendOp != op) glBlendEquation(GLenum(op)), gl_.blendOp = op;
    }
    SetColorMask(int(rs[D3DRS_COLORWRITEENABLE] & 0xF));
    // Direct3D's front faces are clockwise on screen. Screen rows are GL rows
    // here, so they are GL's counter-clockwise ones (the default front).
    int cull = int(rs[D3DRS_CULLMODE]);
    if (gl_.cull != cull) {
        if (cull == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(cull == D3DCULL_CCW ? GL_BACK : GL_FRONT);
        }
        gl_.cull = cull;
    }
    int smooth = rs[D3DRS_ANTIALIASEDLINEENABLE] ? 1 : 0;
    if (gl_.lineSmooth != smooth) {
        if (smooth)
            glEnable(GL_LINE_SMOOTH);
        else
            glDisable(GL_LINE_SMOOTH);
        gl_.lineSmooth = smooth;
    }
    SetScissor(0, 0, 0, 0, 0);
}

void mtxGlDevice::ApplyTextures(int ffPixel) {
    int stages = ffPixel ? 1 : kStages;
    for (int i = 0; i < stages; ++i) {
        unsigned name = texture_[i] ? texture_[i]->name : 0;
        if (gl_.texture[i] != name) {
            ActiveUnit(i);
            glBindTexture(GL_TEXTURE_2D, name);
            gl_.texture[i] = name;
        }
        if (!name) continue;
        const Sampler& want = sampler_[i];
        Sampler& have = gl_.sampler[i];
        GLuint s = samplers_[i];
        bool all = !gl_.samplerValid[i];
        if (all || have.addressU != want.addressU)
            glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GlAddress(want.addressU));
        if (all || have.addressV != want.addressV)
            glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GlAddress(want.addressV));
        if (all || have.mag != want.mag)
            glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER,
                                want.mag >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
        if (all || have.min != want.min || have.mip != want.mip)
            glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, GlMinFilter(want.min, want.mip));
        if (all || have.border != want.border) {
            float c[4];
            ColorToFloats(want.border, c);
            glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, c);
        }
        have = want;
        gl_.samplerValid[i] = 1;
    }
}

void mtxGlDevice::ApplyVertexFormat(uint32_t stride) {
    if (gl_.fvf == fvf_ && gl_.stride == stride) return;
    auto offset = [](size_t bytes) { return reinterpret_cast<const void*>(bytes); };
    size_t at = 12;
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, GLsizei(stride), offset(0));
    if (fvf_ & D3DFVF_DIFFUSE) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, GLsizei(stride), offset(at));
        at += 4;
    } else {
        glDisableVertexAttribArray(1);
        glVertexAttrib4f(1, 1.0f, 1.0f, 1.0f, 1.0f);  // Direct3D's default diffuse: white
    }
    if (fvf_ & D3DFVF_TEX1) {
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, GLsizei(stride), offset(at));
    } else {
        glDisableVertexAttribArray(2);
        glVertexAttrib4f(2, 0.0f, 0.0f, 0.0f, 1.0f);
    }
    gl_.fvf = fvf_;
    gl_.stride = stride;
}

void mtxGlDevice::ApplyUniforms(mtxGlProgram* p, int ffVertex, int ffPixel) {
    bool all = !p->uploaded;
    auto send = [&](int location, int count, const float* want, std::vector<float>& have) {
        if (location < 0 || count == 0) return;
        size_t bytes = size_t(count) * 4 * sizeof(float);
        if (!all && std::memcmp(have.data(), want, bytes) == 0) return;
        glUniform4fv(location, count, want);
        std::memcpy(have.data(), want, bytes);
    };
    send(p->vsConstLocation, p->vsConstCount, vsConst_, p->vsConst);
    send(p->psConstLocation, p->psConstCount, psConst_, p->psConst);
    if (ffVertex && p->projLocation >= 0 &&
        (all || std::memcmp(p->proj, fixedTransform_, sizeof p->proj) != 0)) {
        glUniformMatrix4fv(p->projLocation, 1, GL_FALSE, fixedTransform_);
        std::memcpy(p->proj, fixedTransform_, sizeof p->proj);
    }
    float fix[2] = {1.0f / float(viewport_.Width), 1.0f / float(viewport_.Height)};
    if (p->fixLocation >= 0 && (all || fix[0] != p->fix[0] || fix[1] != p->fix[1])) {
        glUniform2fv(p->fixLocation, 1, fix);
        p->fix[0] = fix[0], p->fix[1] = fix[1];
    }
    if (ffPixel) {
        const uint32_t* ts = stageState_;
        int stage[4] = {int(ts[D3DTSS_COLOROP]), int(ts[D3DTSS_ALPHAOP]), texture_[0] ? 1 : 0, 0};
        auto isTexture = [](uint32_t arg) { return (arg & 0xF) == D3DTA_TEXTURE ? 1 : 0; };
        int args[4] = {isTexture(ts[D3DTSS_COLORARG1]), isTexture(ts[D3DTSS_COLORARG2]),
                       isTexture(ts[D3DTSS_ALPHAARG1]), isTexture(ts[D3DTSS_ALPHAARG2])};
        if (all || std::memcmp(stage, p->stage, sizeof stage) != 0) {
            glUniform4iv(p->stageLocation, 1, stage);
            std::memcpy(p->stage, stage, sizeof stage);
        }
        if (all || std::memcmp(args, p->args, sizeof args) != 0) {
            glUniform4iv(p->argsLocation, 1, args);
            std::memcpy(p->args, args, sizeof args);
        }
    }
    p->uploaded = 1;
}

HRESULT mtxGlDevice::Draw(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                          uint32_t stride, uint32_t vertexCount, const void* indices,
                          D3DFORMAT indexFormat) {
    uint32_t count = VertexCount(type, primitiveCount);
    if (!vertices || count == 0 || stride < 12 || fvf_ == 0) return D3DERR_INVALIDCALL;
    if (lost_) return D3D_OK;
    Use();
    mtxGlProgram* program = CurrentProgram();
    if (!program) return D3DERR_INVALIDCALL;
    if (gl_.program != program->name) {
        glUseProgram(program->name);
        gl_.program = program->name;
    }
    ApplyTarget();
    ApplyRenderStates();
    ApplyTextures(!pixelShader_);
    ApplyUniforms(program, !vertexShader_, !pixelShader_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(size_t(vertexCount) * stride), vertices,
                 GL_STREAM_DRAW);
    ApplyVertexFormat(stride);
    if (!indices) {
        glDrawArrays(GlPrimitive(type), 0, GLsizei(count));
        return D3D_OK;
    }
    size_t indexSize = indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(count * indexSize), indices, GL_STREAM_DRAW);
    glDrawElements(GlPrimitive(type), GLsizei(count),
                   indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, nullptr);
    return D3D_OK;
}

HRESULT mtxGlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount,
                                     const void* vertices, uint32_t stride) {
    return Draw(type, primitiveCount, vertices, stride, VertexCount(type, primitiveCount), nullptr,
                D3DFMT_UNKNOWN);
}

HRESULT mtxGlDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t minVertexIndex,
                                            uint32_t numVertices, uint32_t primitiveCount,
                                            const void* indices, D3DFORMAT indexFormat,
                                            const void* vertices, uint32_t stride) {
    if (!indices || (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    // Every index must address one of the vertices given.
    uint32_t count = VertexCount(type, primitiveCount);
    uint32_t end = minVertexIndex + numVertices;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index = indexFormat == D3DFMT_INDEX32 ? static_cast<const uint32_t*>(indices)[i]
                                                       : static_cast<const uint16_t*>(indices)[i];
        if (index < minVertexIndex || index >= end) return D3DERR_INVALIDCALL;
    }
    return Draw(type, primitiveCount, vertices, stride, end, indices, indexFormat);
}
