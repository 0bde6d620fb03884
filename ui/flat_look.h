#pragma once
#include <cstdint>

#include "platform/device.h"

class mtxIEProfile;

// The flat look: faces, one-pixel bevels, sunken fields and the focus ring, in
// the profile's colours. Fields are drawn this way always; faces, frames and
// check boxes when the skins or the control shaders cannot be had. Each skips
// its drawing without a device.
namespace mtxIEFlatLook {

// A face with a raised (or, pressed, sunken) one-pixel bevel.
void Face(IDirect3DDevice9* device, const mtxIEProfile& profile, const RECT& r, bool pressed,
          bool hot);
// A white field with a sunken border: text fields, lists, check boxes.
void Field(IDirect3DDevice9* device, const mtxIEProfile& profile, const RECT& r, bool enabled);
// The dotted-looking ring inside r that marks the keyboard focus.
void FocusRing(IDirect3DDevice9* device, const mtxIEProfile& profile, const RECT& r);
// Blends two ARGB colours; t = 0 gives a, 255 gives b.
uint32_t Mix(uint32_t a, uint32_t b, int t);

}  // namespace mtxIEFlatLook
