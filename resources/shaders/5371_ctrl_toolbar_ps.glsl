#include "pixel_in.glsl"
// A tool bar's vertical bevel: lighter at the top, darker at the bottom.
// Texture coordinate 0 runs 0..1 over the bar; c0 param1 = (height in pixels,
// bevel height in pixels, strength, -).
uniform vec4 c[1];
void main() {
    float height = max(c[0].x, 1.0);
    float bevel = max(c[0].y, 1.0);
    float y = v_tex0.y * height;
    float top = 1.0 - clamp(y / bevel, 0.0, 1.0);
    float bottom = 1.0 - clamp((height - y) / bevel, 0.0, 1.0);
    float light = 1.0 + c[0].z * (top - bottom);
    o_color = vec4(clamp(v_color.rgb * light, 0.0, 1.0), v_color.a);
}
