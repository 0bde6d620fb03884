#version 330 core
// Many stamps in one draw, for 5373 and 5374: c0-c3 proj_mat. Texture
// coordinate set 0 is the sample's (u, v), sets 1 and 2 the stamp's pixel
// constants c0 and c1, set 3 (one float) the stage of its sample's texture.
in vec4 a_position;
in vec4 a_tex0;
in vec4 a_tex1;
in vec4 a_tex2;
in vec4 a_tex3;
out vec4 v_tex0;
flat out vec4 v_c0;
flat out vec4 v_c1;
flat out int v_stage;
uniform vec4 c[4];
void main() {
    gl_Position = mat4(c[0], c[1], c[2], c[3]) * a_position;
    v_tex0 = a_tex0;
    v_c0 = a_tex1;
    v_c1 = a_tex2;
    v_stage = int(a_tex3.x);
}
