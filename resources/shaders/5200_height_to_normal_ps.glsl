#include "pixel_in.glsl"
// Normal map of a 16-bit height map (green high byte, blue low byte): Sobel
// differences over the 3 x 3 neighbourhood, one step = 1/128 of the texture.
uniform sampler2D s0;  // height_map
float Height(vec2 at) {
    vec4 t = texture(s0, at);
    return 0.996094 * t.g + 0.00390625 * t.b;
}
void main() {
    const float d = 1.0 / 128.0;
    vec2 t = v_tex0.xy;
    float nw = Height(t + vec2(-d, -d)), n = Height(t + vec2(0.0, -d)), ne = Height(t + vec2(d, -d));
    float w = Height(t + vec2(-d, 0.0)), e = Height(t + vec2(d, 0.0));
    float sw = Height(t + vec2(-d, d)), s = Height(t + vec2(0.0, d)), se = Height(t + vec2(d, d));
    float dx = (2.0 * w + nw + sw) - (2.0 * e + ne + se);
    float dy = (2.0 * n + nw + ne) - (2.0 * s + sw + se);
    vec3 normal = normalize(vec3(dx, dy, 1.0));
    o_color = vec4(0.5 * normal.x + 0.5, 0.5 * normal.y + 0.5, 0.0, 1.0);
}
