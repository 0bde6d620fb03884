#include "render/flash_box.h"

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
