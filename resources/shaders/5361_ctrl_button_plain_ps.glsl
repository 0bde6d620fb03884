#include "pixel_in.glsl"
#define FACE_FROM_VERTEX
#include "ctrl_button.glsl"
