#include "pixel_in.glsl"
#include "ctrl_button.glsl"
