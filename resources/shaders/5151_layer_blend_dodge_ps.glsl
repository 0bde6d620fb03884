#include "pixel_in.glsl"
// Layer blend: dodge, f = bg (1 - src).
vec3 BlendFormula(vec3 src, vec3 bg) {
    return bg * (1.0 - src);
}
#include "layer_blend.glsl"
