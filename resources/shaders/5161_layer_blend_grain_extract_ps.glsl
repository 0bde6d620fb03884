#include "pixel_in.glsl"
// Layer blend: f = bg - src + 0.5.
vec3 BlendFormula(vec3 src, vec3 bg) {
    return clamp(bg - src + 0.5, 0.0, 1.0);
}
#include "layer_blend.glsl"
