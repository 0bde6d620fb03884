// Output bg + src.a x (B - bg) with B = (BlendFormula(src, bg), 1).
uniform sampler2D s0;  // src_layer
uniform sampler2D s1;  // bground
void main() {
    vec4 src = texture(s0, v_tex0.xy);
    vec4 bg = texture(s1, v_tex0.xy);
    vec4 b = vec4(BlendFormula(src.rgb, bg.rgb), 1.0);
    o_color = bg + src.a * (b - bg);
}
