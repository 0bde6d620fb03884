#include "pixel_in.glsl"
// A slider's track: a sunken groove along the middle of the control.
// Texture coordinate 0 runs 0..1 over the control; c0 param1 = (width,
// height, groove height, -) in pixels.
uniform vec4 c[1];
void main() {
    vec2 size = max(c[0].xy, vec2(1.0));
    float y = (v_tex0.y - 0.5) * size.y;
    float half_ = max(c[0].z, 2.0) * 0.5;
    float inside = clamp(half_ - abs(y) + 0.5, 0.0, 1.0);
    float shade = y < 0.0 ? 0.55 : 0.9;
    o_color = vec4(v_color.rgb * shade, inside * v_color.a);
}
