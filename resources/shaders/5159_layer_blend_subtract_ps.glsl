#include "pixel_in.glsl"
// Layer blend: subtract, f = bg - src.
vec3 BlendFormula(vec3 src, vec3 bg) {
    return clamp(bg - src, 0.0, 1.0);
}
#include "layer_blend.glsl"
