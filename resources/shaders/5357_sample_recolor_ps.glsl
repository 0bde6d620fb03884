#include "pixel_in.glsl"
#include "sample_recolor.glsl"
uniform vec4 c[2];     // c0 color, c1 src_color
uniform sampler2D s0;  // sample
void main() {
    o_color = recolor_sample(texture(s0, v_tex0.xy), c[0], c[1]);
}
