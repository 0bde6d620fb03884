#include "ui/active_ctrl.h"

#include "ui/image_editor.h"

void mtxIEActiveCtrl::Notify(uint16_t value) {
    if (!target || !action || !editor) return;
    if (sync)
        editor->SendCommand(target, action, value);
    else
        editor->PostCommand(target, action, value);
}
