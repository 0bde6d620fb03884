#include "ui/flat_look.h"

#include "ui/primitives.h"
#include "ui/profile.h"

namespace mtxIEFlatLook {

uint32_t Mix(uint32_t a, uint32_t b, int t) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
        out |= uint32_t(ca + (cb - ca) * t / 255) << shift;
    }
    return out;
}

void Face(IDirect3DDevice9* device, const mtxIEProfile& profile, const RECT& r, bool pressed,
          bool hot) {
    uint32_t face = hot ? Mix(profile.faceColor, profile.lightColor, 80) : profile.faceColor;
    if (pressed) face = Mix(profile.faceColor, profile.shadowColor, 60);
    mtxIEPrimitives::FillRect(device, r, face);
    uint32_t lit = pressed ? profile.shadowColor : profile.lightColor;
    uint32_t dark = pressed ? profile.lightColor : profile.shadowColor;
    mtxIEPrimitives::FillRect(device, {r.left, r.top, r.right, r.top + 1}, lit);
    mtxIEPrimitives::FillRect(device, {r.left, r.top, r.left + 1, r.bottom}, lit);
    mtxIEPrimitives::FillRect(device, {r.left, r.bottom - 1, r.right, r.bottom}, dark);
    mtxIEPrimitives::FillRect(device, {r.right - 1, r.top, r.right, r.bottom}, dark);
}

void Field(IDirect3DDevice9* device, const mtxIEProfile& profile, const RECT& r, bool enabled) {
    mtxIEPrimitives::FillRect(device, r, enabled ? 0xFFFFFFFF : profile.faceColor);
    mtxIEPrimitives::FrameRect(device, r, profile.shadowColor);
}

void FocusRing(IDirect3DDevice9* device, const mtxIEProfile& profile, const RECT& r) {
    mtxIEPrimitives::FrameRect(device, {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2},
                               profile.selectionColor);
}

}  // namespace mtxIEFlatLook
