#include "pixel_in.glsl"
#include "ctrl_dialog_frame.glsl"
