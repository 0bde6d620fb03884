#include "pixel_in.glsl"
// Layer blend: screen, f = (1 - bg)(1 - src).
vec3 BlendFormula(vec3 src, vec3 bg) {
    return clamp((1.0 - bg) * (1.0 - src), 0.0, 1.0);
}
#include "layer_blend.glsl"
