#include "pixel_in.glsl"
// The same face as 5367; the dot shows by c0 param1.x.
#include "ctrl_radio.glsl"
