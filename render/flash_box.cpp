#include "render/flash_box.h"

#include "platform/message_box.h"
#include "platform/window.h"

mtxFlashBox::~mtxFlashBox() {
    dx.reset();
}

int mtxFlashBox::CreateDevice(void* window) {
    nativeWindow = window;
    dx = std::make_unique<mtxDxContext>();
    if (!dx->Init(this)) dx.reset();
    ready = dx ? 1 : 0;
    return int(ready);
}

mtxWnd::LRESULT mtxFlashBox::OnPaint(WPARAM, LPARAM) {
    if (ready) Paint();
    return 0;
}

int mtxFlashBox::Create(mtxWnd* parent, int x, int y, int width, int height) {
    constexpr uint32_t kStyle = 0x46000000;  // WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN
    if (!parent || !parent->Handle()) return 0;
    mtxWnd::Create(parent, nullptr, kStyle, "", x, y, width, height, 0, nullptr);
    if (!hwnd_) return 0;
    void* surface = mtxOs::GetDeviceSurface(hwnd_);
    if (!surface && !mtxOs::IsHeadless()) {
        // On screen but without OpenGL: the device could never be seen.
        mtxDxContext::messageBox("You need to install OpenGL 3.3 or above", "", MB_ICONINFORMATION);
        ready = 0;
        return 0;
    }
    return CreateDevice(surface);
}

mtxWnd::LRESULT mtxFlashBox::OnDestroy(WPARAM, LPARAM) {
    dx.reset();
    ready = 0;
    return 0;
}
