#include "vertex_in.glsl"
// Controls moved by an offset: c0-c3 proj_mat, c4 param1 (x and y offset).
uniform vec4 c[5];
void main() {
    vec4 p = vec4(a_position.x + c[4].x, a_position.y + c[4].y, a_position.z, a_position.w);
    gl_Position = mat4(c[0], c[1], c[2], c[3]) * p;
    v_color = a_color;
    v_tex0 = a_tex0;
    v_tex1 = vec4(0.0, 0.0, 0.0, 1.0);
}
