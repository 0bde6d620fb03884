#version 330 core
in vec4 v_color;
in vec4 v_tex0;
in vec4 v_tex1;
out vec4 o_color;
// Layer blend: subtract, f = bg - src.
// Output bg + src.a x (B - bg) with B = (f, 1).
uniform sampler2D s0;  // src_layer
uniform sampler2D s1;  // bground
void main() {
    vec4 src = texture(s0, v_tex0.xy);
    vec4 bg = texture(s1, v_tex0.xy);
    vec4 b = vec4(clamp(bg.rgb - src.rgb, 0.0, 1.0), 1.0);
    o_color = bg + src.a * (b - bg);
}
