#pragma once
#include <cstdint>

#include "platform/device.h"

class mtxIEProfile;

// The flat look every standard control draws with until the skins exist:
// faces, one-pixel bevels, sunken fields and the focus ring, in the profile's
// colours. Each skips its drawing without a device.
// FIXME: replaced by the profile's skin pieces (SliceSkin) once the skin
// pictures are made.
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
