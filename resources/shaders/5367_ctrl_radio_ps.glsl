#include "pixel_in.glsl"
#include "ctrl_radio.glsl"
