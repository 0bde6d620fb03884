#include "pixel_in.glsl"
#define FACE_TINT vec3(0.831, 0.815, 0.784)
#include "ctrl_dialog_frame.glsl"
