#include "pixel_in.glsl"
// Layer blend: divide, f = bg / (src + 0.0039).
vec3 BlendFormula(vec3 src, vec3 bg) {
    return clamp(bg / (src + 0.0039), 0.0, 1.0);
}
#include "layer_blend.glsl"
