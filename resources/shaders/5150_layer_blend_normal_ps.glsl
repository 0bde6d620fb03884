#include "pixel_in.glsl"
// Layer blend: normal, f = src.
vec3 BlendFormula(vec3 src, vec3 bg) {
    return src;
}
#include "layer_blend.glsl"
