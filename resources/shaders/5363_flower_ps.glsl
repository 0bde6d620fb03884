#version 330 core
in vec4 v_color;
in vec4 v_tex0;
in vec4 v_tex1;
out vec4 o_color;
// About dialog: a flower, the texture unchanged.
uniform sampler2D s0;  // flower1
void main() {
    o_color = texture(s0, v_tex0.xy);
}
