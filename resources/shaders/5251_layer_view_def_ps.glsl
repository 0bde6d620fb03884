#include "pixel_in.glsl"
// Viewing a layer: the texture colour unchanged.
uniform sampler2D s0;  // dif_comp
void main() {
    o_color = texture(s0, v_tex0.xy);
}
