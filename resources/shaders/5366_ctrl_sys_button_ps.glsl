#include "pixel_in.glsl"
#include "ctrl_sys_button.glsl"
