#include "vertex_in.glsl"
// Plain vertex: c0-c3 proj_mat; the texture coordinate passes through.
uniform vec4 c[4];
void main() {
    gl_Position = mat4(c[0], c[1], c[2], c[3]) * a_position;
    v_color = a_color;
    v_tex0 = a_tex0;
    v_tex1 = vec4(0.0, 0.0, 0.0, 1.0);
}
