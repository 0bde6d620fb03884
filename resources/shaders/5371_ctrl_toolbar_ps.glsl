#include "pixel_in.glsl"
// A tool bar's vertical bevel: lighter at the top, darker at the bottom.
// Texture coordinate 0 runs 0..1 over the bar; c0 param1 = (height in pixels,
// bevel height in pixels, strength, background). With background 1 the face is
// the background picture of stage 0 times the vertex colour, else the vertex
// colour alone.
uniform vec4 c[1];
uniform sampler2D s0;  // the background picture
void main() {
    float height = max(c[0].x, 1.0);
    float bevel = max(c[0].y, 1.0);
    float y = v_tex0.y * height;
    float top = 1.0 - clamp(y / bevel, 0.0, 1.0);
    float bottom = 1.0 - clamp((height - y) / bevel, 0.0, 1.0);
    float light = 1.0 + c[0].z * (top - bottom);
    vec4 face = v_color;
    if (c[0].w > 0.5) face *= texture(s0, v_tex0.xy);
    o_color = vec4(clamp(face.rgb * light, 0.0, 1.0), face.a);
}
