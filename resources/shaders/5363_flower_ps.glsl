#include "pixel_in.glsl"
// About dialog: a flower, the texture unchanged.
uniform sampler2D s0;  // flower1
void main() {
    o_color = texture(s0, v_tex0.xy);
}
