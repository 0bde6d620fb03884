#include "render/dx_context.h"

#include <new>

#include "platform/message_box.h"
#include "render/flash_box.h"

namespace {

constexpr unsigned MB_TOPMOST = 0x40000;

// The device libraries, tried in this order.
constexpr const char* kLibraryNames[] = {"libEGL.so.1", "libGL.so.1"};

}  // namespace

mtxDxContext::MessageBoxFn mtxDxContext::messageBox = &mtxSystemMessageBox;

mtxDxContext::~mtxDxContext() {
    ReleaseAll();
    if (library) mtxDxFreeLibrary(library), library = nullptr;
}

void mtxDxContext::ReleaseAll() {
    modes16.reset();
    modes32.reset();
    modeCount16 = modeCount32 = 0;
    if (device) device->Release(), device = nullptr;
    if (d3d) d3d->Release(), d3d = nullptr;
}

int mtxDxContext::Init(mtxFlashBox* owner) {
    window = owner;
    return LoadLibrary() && CreateDevice();
}

int mtxDxContext::LoadLibrary() {
    for (const char* name : kLibraryNames)
        if ((library = mtxDxLoadLibrary(name)) != nullptr) break;
    if (!library) {
        messageBox("You need to install OpenGL 3.3 or above", "", MB_ICONINFORMATION);
        return 0;
    }
    mtxDirect3DCreate9Proc create = mtxDxGetCreateProc(library, "Direct3DCreate9");
    if (!create) {
        messageBox("OpenGL library corrupted", "", MB_ICONERROR);
        return 0;
    }
    d3d = create(D3D_SDK_VERSION);
    if (!d3d) {
        messageBox("Cannot initialize OpenGL ", "", MB_ICONERROR);
        return 0;
    }
    return 1;
}

std::string mtxDxContext::MissingCapabilities(const D3DCAPS9& caps) {
    std::string missing;
    auto add = [&](const char* item) {
        if (!missing.empty()) missing += ", ";
        missing += item;
    };
    if (D3DSHADER_VERSION_MAJOR(caps.VertexShaderVersion) < 2) add("vertex shaders 2.0");
    if (D3DSHADER_VERSION_MAJOR(caps.PixelShaderVersion) < 2) add("pixel shaders 2.0");
    if (!(caps.Caps2 & D3DCAPS2_CANAUTOGENMIPMAP)) add("auto mipmap creation");
    if (missing.empty()) return missing;
    return "Your video card doesn't support: " + missing +
           ".\nA list of compatible video cards is on the Ferrow web site.";
}

int mtxDxContext::EnumerateModes(D3DFORMAT format, int32_t* count,
                                 std::unique_ptr<D3DDISPLAYMODE[]>* modes) {
    *count = int32_t(d3d->GetAdapterModeCount(0, format));
    modes->reset(new (std::nothrow) D3DDISPLAYMODE[size_t(*count) + 1]);
    if (!*modes) return 0;
    for (int32_t i = 0; i < *count; ++i)
        if (FAILED(d3d->EnumAdapterModes(0, format, uint32_t(i), &(*modes)[i]))) (*modes)[i] = {};
    return 1;
}

void mtxDxContext::FillPresentParameters(const D3DDISPLAYMODE& mode) {
    int width = 0, height = 0;
    mtxDxScreenSize(&width, &height);
    present.BackBufferWidth = uint32_t(width);
    present.BackBufferHeight = uint32_t(height);
    present.BackBufferFormat = mode.Format;
    present.BackBufferCount = 1;
    present.MultiSampleType = 0;
    present.SwapEffect = D3DSWAPEFFECT_DISCARD;
    present.hDeviceWindow = window ? window->nativeWindow : nullptr;
    present.Windowed = 1;
    present.EnableAutoDepthStencil = 1;
    present.AutoDepthStencilFormat = D3DFMT_D16;
    present.Flags = 0;
}

int mtxDxContext::CreateDevice() {
    caps = {};
    present = {};
    D3DDISPLAYMODE mode;
    if (FAILED(d3d->GetAdapterDisplayMode(0, &mode))) {
        ReleaseAll();
        return 0;
    }
    if (FAILED(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps))) {
        messageBox("Can't retrive device capabilities", "", MB_ICONERROR | MB_TOPMOST);
        ReleaseAll();
        return 0;
    }
    std::string missing = MissingCapabilities(caps);
    if (!missing.empty()) {
        messageBox(missing, "", MB_ICONERROR);
        ReleaseAll();
        return 0;
    }
    if (!EnumerateModes(D3DFMT_R5G6B5, &modeCount16, &modes16) ||
        !EnumerateModes(D3DFMT_X8R8G8B8, &modeCount32, &modes32)) {
        ReleaseAll();
        return 0;
    }
    FillPresentParameters(mode);
    uint32_t behaviour = caps.VertexProcessingCaps ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                                   : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    void* focus = window ? window->nativeWindow : nullptr;
    if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, focus, behaviour, &present, &device))) {
        ReleaseAll();
        return 0;
    }
    textureMemory = device->GetAvailableTextureMem();
    return 1;
}

int mtxDxContext::Reset() {
    if (!d3d || !device) return 0;
    D3DDISPLAYMODE mode;
    if (FAILED(d3d->GetAdapterDisplayMode(0, &mode))) return 0;
    FillPresentParameters(mode);
    return SUCCEEDED(device->Reset(&present)) ? 1 : 0;
}
