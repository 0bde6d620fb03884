#include "vertex_in.glsl"
// The About dialog's field of flowers: c0-c3 proj_mat, c4 param1 (x: time,
// y: sway strength). Each vertex sways sideways by a sine of time and of its
// place relative to the field's centre (300, 300); farther from the ground
// line it sways more.
uniform vec4 c[5];
void main() {
    vec2 d = a_position.xy - vec2(300.0, 300.0);
    float height = max(-d.y, 0.0) / 300.0;
    float sway = sin(c[4].x + d.x * 0.02 + d.y * 0.01) * c[4].y * (0.2 + height);
    vec4 p = vec4(a_position.x + sway, a_position.y, a_position.z, a_position.w);
    gl_Position = mat4(c[0], c[1], c[2], c[3]) * p;
    v_color = a_color;
    v_tex0 = a_tex0;
    v_tex1 = vec4(0.0, 0.0, 0.0, 1.0);
}
