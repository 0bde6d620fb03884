#include "pixel_in.glsl"
// Layer blend: difference, |src - bg| with a difference of exactly 1 giving 0.
vec3 BlendFormula(vec3 src, vec3 bg) {
    return clamp(fract(clamp(bg - src, 0.0, 1.0) + clamp(src - bg, 0.0, 1.0)), 0.0, 1.0);
}
#include "layer_blend.glsl"
