#include "pixel_in.glsl"
// About dialog: the flower field darkened by drifting clouds:
// field x (0.8 + 0.3 (1 - clouds.r)), clouds sampled at t0 x c0.xy + c1.xy.
uniform vec4 c[2];     // c0 param1, c1 param2
uniform sampler2D s0;  // clouds
uniform sampler2D s1;  // field
void main() {
    vec4 clouds = texture(s0, v_tex0.xy * c[0].xy + c[1].xy);
    vec4 field = texture(s1, v_tex0.xy);
    o_color = vec4(field.rgb * (0.8 + 0.3 * (1.0 - clouds.r)), field.a);
}
