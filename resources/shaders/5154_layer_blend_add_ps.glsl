#include "pixel_in.glsl"
// Layer blend: add, f = src + bg.
vec3 BlendFormula(vec3 src, vec3 bg) {
    return clamp(src + bg, 0.0, 1.0);
}
#include "layer_blend.glsl"
