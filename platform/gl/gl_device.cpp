// The Direct3D-9-shaped device over OpenGL 3.3 core.
//
// Conventions kept from Direct3D 9, and how:
// - Row 0 of every texture, surface and render target is the top row. Memory
//   row r is GL row r everywhere (uploads, read-backs, scissor boxes), and
//   the vertex stage negates clip-space y, so Direct3D's top edge (y = +1)
//   lands on row 0. Only the window's compositor flips, when it draws there.
// - Pixel centres lie at integer coordinates: every vertex is moved by half a
//   pixel (one viewport pixel in NDC is 2 / size, so half is 1 / size).
// - Clip-space depth runs 0..w as in Direct3D; the vertex stage maps it to
//   GL's -w..w.
// Unchanged state, bindings and uniform values are not sent to GL again.
#include "platform/gl/gl_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/device.h"
#include "platform/gl/gl_compositor.h"
#include "platform/gl/gl_tables.h"

namespace {

constexpr int kUploadUnit = 15;  // texture unit for uploads, outside the Direct3D stages

// The device whose context is current on this thread; cleared when that
// device goes, so a new device at the same address still makes its own current.
thread_local mtxGlDevice* currentDevice = nullptr;

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
    if (!device->ffVertex_ || !device->ffPixel_ || !device->ffPixelPlain_ ||
        !device->CreateBackBuffer()) {
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
    CompileFixedPipeline();
    samplersPerPixel_ = mtxGlRendersInSoftware() ? kStages : 1;
    const char* glsl = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
    glslVersion_ = std::max(glslVersion_, glsl ? mtxGlslNumber(glsl) : 0);
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
    glDeleteShader(ffPixelPlain_);
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
void mtxGlForgetCurrentDevice() {
    currentDevice = nullptr;
}

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
    renderState_[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    renderState_[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    renderState_[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
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
    mtxGl::Identity(&world_);
    mtxGl::Identity(&view_);
    mtxGl::Identity(&projection_);
    UpdateFixedTransform();
    SetRenderTarget(0, &backBuffer_->level0);
    inScene_ = 0;
}

// --- bookkeeping --------------------------------------------------------------

void mtxGlDevice::TextureCreated(mtxGlTexture* texture) {
    Use();
    mtxGl::PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    mtxGl::Format(texture->format, &f);
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
    mtxGl::PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    mtxGl::Format(texture->format, &f);
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

uint32_t mtxGlDevice::SamplersChosenPerPixel() {
    return mtxDxTestSwitches().samplersAsOnGpu ? 1 : samplersPerPixel_;
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

HRESULT mtxGlDevice::Present(const RECT* source, const RECT*, void*, const void*) {
    mtxDxTestSwitch& test = mtxDxTestSwitches();
    if (test.loseAtNextPresent && !lost_) {
        test.loseAtNextPresent = 0;
        lost_ = 1;
        lostPolls_ = test.lostPolls;
    }
    if (lost_) return D3DERR_DEVICELOST;
    if (!context_->HasWindow()) {
        Use();
        glFinish();
        return D3D_OK;
    }
    // The compositor shows the back buffer in the child window's area, with
    // the window system's menus over it; it works in its own context, and
    // waits for this drawing through the sync object.
    Use();
    GLsync drawn = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    context_->Present(backBuffer_->name, int(backBuffer_->width), int(backBuffer_->height), source,
                      drawn);
    currentDevice = nullptr;
    gl_.framebuffer = ~0u;
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
        mtxGl::ColorToFloats(color, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        SetColorMask(0xF);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_ZBUFFER) && present_.EnableAutoDepthStencil) {
        glClearDepth(z);
        SetDepthWrite(1);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    // Direct3D clears the viewport, or the given rectangles inside it, and
    // with the scissor test on only what lies inside the scissor rectangle.
    const D3DVIEWPORT9& v = viewport_;
    RECT area = {int32_t(v.X), int32_t(v.Y), int32_t(v.X + v.Width), int32_t(v.Y + v.Height)};
    if (renderState_[D3DRS_SCISSORTESTENABLE]) area = mtxGl::Intersect(area, scissor_);
    RECT whole = area;
    if (!rects || count == 0) count = 1, rects = &whole;
    for (uint32_t i = 0; i < count; ++i) {
        RECT r = mtxGl::Intersect(rects[i], area);
        if (r.right <= r.left || r.bottom <= r.top) continue;
        SetScissor(1, r.left, r.top, r.right - r.left, r.bottom - r.top);
        glClear(mask);
    }
    return D3D_OK;
}

HRESULT mtxGlDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                   D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                   void*) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    mtxGl::PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    if (width == 0 || height == 0 || width > 8192 || height > 8192 || !mtxGl::Format(format, &f))
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
    mtxGl::PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    if (width == 0 || height == 0 || width > 16384 || height > 16384 ||
        !mtxGl::Format(format, &f) || pool != D3DPOOL_SYSTEMMEM)
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
    mtxGl::ColorToFloats(color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    SetColorMask(0xF);
    SetScissor(1, r.left, r.top, r.right - r.left, r.bottom - r.top);
    glClear(GL_COLOR_BUFFER_BIT);
    return D3D_OK;
}

HRESULT mtxGlDevice::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                                 IDirect3DSurface9* dest, const RECT* destRect,
                                 D3DTEXTUREFILTERTYPE filter) {
    mtxGlTexture* s = TextureOf(source);
    mtxGlTexture* d = TextureOf(dest);
    if (!s || !d || s == d || filter != D3DTEXF_POINT || s->format != d->format ||
        !(s->usage & D3DUSAGE_RENDERTARGET) || !(d->usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    RECT from = sourceRect ? *sourceRect : RECT{0, 0, int32_t(s->width), int32_t(s->height)};
    RECT to = destRect ? *destRect : RECT{0, 0, int32_t(d->width), int32_t(d->height)};
    int width = from.right - from.left, height = from.bottom - from.top;
    if (width <= 0 || height <= 0 || to.right - to.left != width || to.bottom - to.top != height ||
        from.left < 0 || from.top < 0 || from.right > int(s->width) ||
        from.bottom > int(s->height) || to.left < 0 || to.top < 0 || to.right > int(d->width) ||
        to.bottom > int(d->height))
        return D3DERR_INVALIDCALL;
    if (lost_) return D3D_OK;
    Use();
    // Rows are stored as the targets are drawn, so the rectangles need no
    // turning over; the blit obeys the scissor test, so it is switched off.
    unsigned read = FramebufferOf(s), draw = FramebufferOf(d);
    SetScissor(0, 0, 0, 0, 0);
    SetColorMask(0xF);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, draw);
    glBlitFramebuffer(from.left, from.top, from.right, from.bottom, to.left, to.top, to.right,
                      to.bottom, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, draw);
    gl_.framebuffer = draw;
    return D3D_OK;
}

HRESULT mtxGlDevice::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) {
    mtxGlTexture* t = TextureOf(renderTarget);
    auto* d = static_cast<mtxGlSurface*>(dest);
    if (!t || !(t->usage & D3DUSAGE_RENDERTARGET) || !d || d->container || d->width != t->width ||
        d->height != t->height || d->format != t->format)
        return D3DERR_INVALIDCALL;
    // A loss here is simulated and GL keeps every texture's contents, so a
    // target can still be read back: that is how the viewer's layers save
    // what was drawn before their textures go back to the pools.
    Use();
    mtxGl::PixelFormat f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    mtxGl::Format(t->format, &f);
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
    scissor_ = {0, 0, int32_t(t->width), int32_t(t->height)};
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

HRESULT mtxGlDevice::SetScissorRect(const RECT* rect) {
    if (!rect || rect->right < rect->left || rect->bottom < rect->top) return D3DERR_INVALIDCALL;
    scissor_ = *rect;
    return D3D_OK;
}

HRESULT mtxGlDevice::GetScissorRect(RECT* rect) {
    if (!rect) return D3DERR_INVALIDCALL;
    *rect = scissor_;
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
    D3DMATRIX m = mtxGl::Multiply(mtxGl::Multiply(world_, view_), projection_);
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
    const uint32_t sets = mtxGl::TexSets(fvf);
    const uint32_t sizes = sets > 0 ? (fvf >> 16) & ((1u << (sets * 2)) - 1) : 0;
    const uint32_t known = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEXCOUNT_MASK | (sizes << 16);
    if (!(fvf & D3DFVF_XYZ) || (fvf & ~known) || sets > uint32_t(mtxGl::kTexSets))
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
