#include "pixel_in.glsl"
// Layer blend: darken, f = min(src, bg).
vec3 BlendFormula(vec3 src, vec3 bg) {
    return clamp(min(src, bg), 0.0, 1.0);
}
#include "layer_blend.glsl"
