#pragma once
// Internal to platform/: the OpenGL objects behind the Direct3D-9-shaped
// interfaces of platform/device.h. GL object names are plain unsigned ints
// here so that no GL header leaks out of the .cpp files.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/gl/gl_context.h"

class mtxGlDevice;
class mtxGlTexture;

// A system-memory plain surface, or level 0 of a texture (then its
// references are the texture's, as in Direct3D).
class mtxGlSurface final : public IDirect3DSurface9 {
  public:
    mtxGlSurface(uint32_t width, uint32_t height, D3DFORMAT format);  // system memory
    explicit mtxGlSurface(mtxGlTexture* container);                   // texture level 0
    ~mtxGlSurface() override = default;

    uint32_t AddRef() override;
    uint32_t Release() override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags) override;
    HRESULT UnlockRect() override;

    mtxGlTexture* container = nullptr;  // null for system-memory surfaces
    uint32_t width = 0, height = 0;
    D3DFORMAT format = D3DFMT_A8R8G8B8;
    int32_t pitch = 0;
    std::vector<uint8_t> bits;  // system memory only
    int locked = 0;

  private:
    uint32_t refs_ = 1;
};

class mtxGlTexture final : public IDirect3DTexture9 {
  public:
    mtxGlTexture(mtxGlDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                 uint32_t usage, D3DFORMAT format, D3DPOOL pool);
    ~mtxGlTexture() override;

    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override;
    HRESULT GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect,
                     uint32_t flags) override;
    HRESULT UnlockRect(uint32_t level) override;

    // Drops the GL objects; used when the device goes before the texture.
    void Orphan();
    size_t Bytes() const { return size_t(width) * height * 4; }

    mtxGlDevice* device;
    uint32_t width, height, levels, usage;
    D3DFORMAT format;
    D3DPOOL pool;
    unsigned name = 0;  // GL texture
    unsigned fbo = 0;   // GL framebuffer, made on first use as a render target
    int isBackBuffer = 0;
    std::vector<uint8_t> shadow;  // managed pool: the lockable copy of level 0
    int locked = 0;
    mtxGlSurface level0;

  private:
    uint32_t refs_ = 1;
};

// A compiled vertex or pixel shader.
template <class Interface>
class mtxGlShader final : public Interface {
  public:
    mtxGlShader(mtxGlDevice* device, unsigned name, uint32_t serial)
        : device(device), name(name), serial(serial) {}
    ~mtxGlShader() override;
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        uint32_t left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    void Orphan() { device = nullptr, name = 0; }

    mtxGlDevice* device;
    unsigned name;
    uint32_t serial;

  private:
    uint32_t refs_ = 1;
};
using mtxGlPixelShader = mtxGlShader<IDirect3DPixelShader9>;
using mtxGlVertexShader = mtxGlShader<IDirect3DVertexShader9>;

// One linked pair of vertex and pixel program with the uniform values last
// sent to it, so unchanged constants are not uploaded again.
struct mtxGlProgram {
    unsigned name = 0;
    int vsConstLocation = -1, psConstLocation = -1;
    int vsConstCount = 0, psConstCount = 0;
    int projLocation = -1, fixLocation = -1, stageLocation = -1, argsLocation = -1;
    std::vector<float> vsConst, psConst;
    float proj[16] = {};
    float fix[2] = {};
    int stage[4] = {-1, -1, -1, -1};
    int args[4] = {-1, -1, -1, -1};
    int uploaded = 0;  // 0 until the first draw sent every value
};

class mtxGlDevice final : public IDirect3DDevice9 {
  public:
    static constexpr int kStages = 8;
    static constexpr int kVsConstants = 256;
    static constexpr int kPsConstants = 32;

    // Null when no context can be made or the objects cannot be created.
    static mtxGlDevice* Create(void* window, const D3DPRESENT_PARAMETERS& present);
    ~mtxGlDevice() override;

    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override;

    HRESULT TestCooperativeLevel() override;
    uint32_t GetAvailableTextureMem() override;
    uint32_t SamplersChosenPerPixel() override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* present) override;
    HRESULT Present(const RECT* source, const RECT* dest, void* destWindow,
                    const void* dirtyRegion) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color, float z,
                  uint32_t stencil) override;
    HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                          void* sharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(uint32_t width, uint32_t height, D3DFORMAT format,
                                        D3DPOOL pool, IDirect3DSurface9** surface,
                                        void* sharedHandle) override;
    HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                          IDirect3DSurface9* dest, const POINT* destPoint) override;
    HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) override;
    HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                        const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) override;
    HRESULT GetRenderTarget(uint32_t index, IDirect3DSurface9** surface) override;
    HRESULT SetRenderTarget(uint32_t index, IDirect3DSurface9* surface) override;
    HRESULT GetBackBuffer(uint32_t swapChain, uint32_t index, uint32_t type,
                          IDirect3DSurface9** surface) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT GetScissorRect(RECT* rect) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetTexture(uint32_t stage, IDirect3DTexture9* texture) override;
    HRESULT SetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, uint32_t* value) override;
    HRESULT SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                 uint32_t value) override;
    HRESULT SetFVF(uint32_t fvf) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT SetVertexShaderConstantF(uint32_t startRegister, const float* data,
                                     uint32_t count) override;
    HRESULT SetPixelShaderConstantF(uint32_t startRegister, const float* data,
                                    uint32_t count) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                            uint32_t stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t minVertexIndex,
                                   uint32_t numVertices, uint32_t primitiveCount,
                                   const void* indices, D3DFORMAT indexFormat, const void* vertices,
                                   uint32_t stride) override;
    HRESULT CreatePixelShader(const char* code, IDirect3DPixelShader9** shader) override;
    HRESULT CreateVertexShader(const char* code, IDirect3DVertexShader9** shader) override;

    // Bookkeeping for the objects (called by their constructors and destructors).
    void Use();
    void TextureCreated(mtxGlTexture* texture);
    void TextureDestroyed(mtxGlTexture* texture);
    void ShaderDestroyed(uint32_t serial, unsigned name, bool pixel);
    unsigned FramebufferOf(mtxGlTexture* texture);
    void UploadLevel0(mtxGlTexture* texture, const uint8_t* bits, int32_t pitch, int x, int y,
                      int width, int height);

  private:
    struct Sampler {
        uint32_t addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
        uint32_t mag = D3DTEXF_POINT, min = D3DTEXF_POINT, mip = D3DTEXF_NONE;
        uint32_t border = 0;
    };
    // What is set on the GL side, so unchanged state is not sent again.
    struct GlState {
        unsigned framebuffer = ~0u;
        int viewport[4] = {-1, -1, -1, -1};
        unsigned program = ~0u;
        int depthTest = -1, depthWrite = -1, depthFunc = -1;
        int blend = -1, blendSrc = -1, blendDst = -1, blendOp = -1;
        int blendSrcAlpha = -1, blendDstAlpha = -1, blendOpAlpha = -1;
        int colorMask = -1, cull = -1, lineSmooth = -1, scissor = -1;
        int scissorBox[4] = {-1, -1, -1, -1};
        unsigned texture[kStages] = {};
        int activeUnit = -1;
        Sampler sampler[kStages];
        int samplerValid[kStages] = {};
        uint32_t fvf = ~0u, stride = ~0u;
    };

    mtxGlDevice(std::unique_ptr<mtxGlContext> context, const D3DPRESENT_PARAMETERS& present);
    int CreateBackBuffer();
    void ReleaseBackBuffer();
    void SetDefaultStates();
    HRESULT Draw(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                 uint32_t stride, uint32_t vertexCount, const void* indices, D3DFORMAT indexFormat);
    mtxGlProgram* CurrentProgram();
    mtxGlProgram* Link(unsigned vertex, unsigned pixel);
    void ApplyTarget();
    void ApplyRenderStates();
    void ApplyTextures(int ffPixel);
    void ApplyVertexFormat(uint32_t stride);
    void ApplyUniforms(mtxGlProgram* program, int ffVertex, int ffPixel);
    void BindFramebuffer(unsigned framebuffer);
    void SetGlViewport(int x, int y, int width, int height);
    void SetScissor(int enable, int x, int y, int width, int height);
    void SetColorMask(int mask);
    void SetDepthWrite(int on);
    void ActiveUnit(int unit);
    unsigned CompileStage(bool pixel, const std::string& source,
                          const std::string& version = "330 core");
    // The fixed pipeline's vertex and pixel stages (ffVertex_, ffPixel_).
    void CompileFixedPipeline();
    void UpdateFixedTransform();

    uint32_t refs_ = 1;
    std::unique_ptr<mtxGlContext> context_;
    D3DPRESENT_PARAMETERS present_;
    mtxGlTexture* backBuffer_ = nullptr;
    unsigned depth_ = 0;  // GL renderbuffer, back-buffer sized, shared by all targets
    unsigned vao_ = 0, vertexBuffer_ = 0, indexBuffer_ = 0;
    uint32_t samplersPerPixel_ = 1;
    int glslVersion_ = 330;  // the newest GLSL the context compiles
    unsigned samplers_[kStages] = {};
    unsigned ffVertex_ = 0, ffPixel_ = 0, ffPixelPlain_ = 0;
    std::set<mtxGlTexture*> textures_;
    std::map<uint64_t, mtxGlProgram> programs_;
    uint32_t nextSerial_ = 1;

    // Direct3D state.
    mtxGlTexture* target_ = nullptr;  // referenced
    D3DVIEWPORT9 viewport_ = {};
    RECT scissor_ = {};
    uint32_t renderState_[256] = {};
    Sampler sampler_[kStages];
    uint32_t stageState_[8] = {};
    mtxGlTexture* texture_[kStages] = {};  // referenced
    uint32_t fvf_ = 0;
    mtxGlVertexShader* vertexShader_ = nullptr;  // referenced
    mtxGlPixelShader* pixelShader_ = nullptr;    // referenced
    float vsConst_[kVsConstants * 4] = {};
    float psConst_[kPsConstants * 4] = {};
    D3DMATRIX world_ = {}, view_ = {}, projection_ = {};
    float fixedTransform_[16] = {};
    int inScene_ = 0;

    // Simulated device loss: 0 working, 1 lost (TestCooperativeLevel answers
    // DEVICELOST while lostPolls_ > 0, then DEVICENOTRESET).
    int lost_ = 0;
    int lostPolls_ = 0;
    size_t defaultPoolBytes_ = 0;
    size_t defaultPoolCount_ = 0;

    GlState gl_;
};
