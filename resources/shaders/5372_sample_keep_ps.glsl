#include "pixel_in.glsl"
// A sample in its own colours; alpha = sample.a x c1.w.
uniform vec4 c[2];     // c1 src_color
uniform sampler2D s0;  // sample
void main() {
    vec4 sample = texture(s0, v_tex0.xy);
    o_color = vec4(sample.rgb, sample.a * c[1].w);
}
