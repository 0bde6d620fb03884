#include "stamps_in.glsl"
// 5372 for many stamps in one draw (through 5375): the sample in its own
// colours, alpha = sample.a x c1.w.
void main() {
    vec4 texel = stamp_sample();
    o_color = vec4(texel.rgb, texel.a * v_c1.w);
}
