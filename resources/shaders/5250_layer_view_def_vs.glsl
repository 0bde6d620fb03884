#include "vertex_in.glsl"
// Viewing a layer: c1-c4 proj_mat. Texture coordinate 1 carries the input
// position (x, y, 0, w).
uniform vec4 c[5];
void main() {
    gl_Position = mat4(c[1], c[2], c[3], c[4]) * a_position;
    v_color = a_color;
    v_tex0 = a_tex0;
    v_tex1 = vec4(a_position.x, a_position.y, 0.0, a_position.w);
}
