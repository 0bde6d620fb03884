#include "pixel_in.glsl"
// Relief light from a normal map (5200's: x in red, y in green, 0.5 = flat):
// c0 = (direction towards the light x, y, z; strength). Slopes turned to the
// light go white, those turned away black, by the alpha; flat ground stays clear.
uniform sampler2D s0;  // normal_map
uniform vec4 c[1];
void main() {
    vec2 xy = 2.0 * texture(s0, v_tex0.xy).rg - 1.0;
    vec3 n = vec3(xy, sqrt(max(1.0 - dot(xy, xy), 0.0)));
    float s = c[0].w * (dot(n, c[0].xyz) - c[0].z);
    o_color = s >= 0.0 ? vec4(1.0, 1.0, 1.0, min(s, 1.0)) : vec4(0.0, 0.0, 0.0, min(-s, 1.0));
}
