#include "app/shell/editor_stand_in.h"

#include "app/gdi_context.h"
#include "app/gdi_object.h"

using namespace mtxOs;

int mtxEditorStandIn::Create(mtxWnd* parent, int x, int y, int width, int height) {
    if (!parent || !parent->Handle()) return 0;
    mtxWnd::Create(parent, nullptr, WS_CHILD, "", x, y, width, height, 0, nullptr);
    return Handle() ? 1 : 0;
}

LRESULT mtxEditorStandIn::OnPaint(WPARAM, LPARAM) {
    mtxGPaintDC dc(*this, true);
    RECT client;
    GetClientRect(Handle(), client);
    mtxGObject background(CreateSolidBrush(RGB(0x3A, 0x3F, 0x44)));
    dc.FillRect(client, background.Handle());
    mtxGFont font;
    if (font.Create(-16, 400, 0)) {
        dc.Select(font.Handle());
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(RGB(0xC8, 0xCC, 0xD0));
        dc.DrawText("Open a picture with File, Open", client,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        dc.SelectStockObject(SYSTEM_FONT);
    }
    return 0;
}
