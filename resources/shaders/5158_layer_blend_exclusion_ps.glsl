#include "pixel_in.glsl"
// Layer blend: f = 2 src (1 - bg).
vec3 BlendFormula(vec3 src, vec3 bg) {
    return clamp(2.0 * src * (1.0 - bg), 0.0, 1.0);
}
#include "layer_blend.glsl"
