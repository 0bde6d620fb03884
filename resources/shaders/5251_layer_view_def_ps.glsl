#version 330 core
in vec4 v_color;
in vec4 v_tex0;
in vec4 v_tex1;
out vec4 o_color;
// Viewing a layer: the texture colour unchanged.
uniform sampler2D s0;  // dif_comp
void main() {
    o_color = texture(s0, v_tex0.xy);
}
