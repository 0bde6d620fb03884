#include "pixel_in.glsl"
// Layer blend: delta, f = bg + src (1 - bg) where bg < 0.5, else bg (1 - src).
vec3 BlendFormula(vec3 src, vec3 bg) {
    return mix(bg * (1.0 - src), bg + src * (1.0 - bg), vec3(lessThan(bg, vec3(0.5))));
}
#include "layer_blend.glsl"
