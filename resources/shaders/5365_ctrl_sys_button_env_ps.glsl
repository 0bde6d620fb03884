#include "pixel_in.glsl"
#define REFLECT_ENVIRONMENT
#include "ctrl_sys_button.glsl"
