#include "pixel_in.glsl"
// Viewing a layer: the texture colour, its alpha weighed by the vertex
// alpha (the layer's opacity).
uniform sampler2D s0;  // dif_comp
void main() {
    vec4 texel = texture(s0, v_tex0.xy);
    o_color = vec4(texel.rgb, texel.a * v_color.a);
}
