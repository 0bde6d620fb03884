// A window system button face (close, minimise): a square bevel. Texture
// coordinate 0 runs 0..1 over the button; c0 param1 = (width, height,
// bevel width, pressed 0/1).
uniform vec4 c[1];
#include "ctrl_environment.glsl"
void main() {
    vec2 size = max(c[0].xy, vec2(1.0));
    vec2 p = v_tex0.xy * size;
    float bevel = max(c[0].z, 1.0);
    vec2 edge = min(p, size - p) / bevel;
    float rim = clamp(min(edge.x, edge.y), 0.0, 1.0);
    vec2 slope = vec2(p.x < 0.5 * size.x ? -1.0 : 1.0, p.y < 0.5 * size.y ? -1.0 : 1.0);
    slope *= vec2(edge.x < edge.y ? 1.0 : 0.0, edge.y <= edge.x ? 1.0 : 0.0);
    if (c[0].w > 0.5) slope = -slope;
    vec3 n = normalize(vec3(slope * (1.0 - rim), 1.0));
    float light = 0.8 + 0.2 * dot(n, normalize(vec3(-0.5, -0.5, 1.0)));
#ifdef REFLECT_ENVIRONMENT
    vec3 rgb = v_color.rgb * light + ctrl_environment(reflect(vec3(0.0, 0.0, -1.0), n)) * 0.35;
#else
    vec3 rgb = v_color.rgb * light;
#endif
    o_color = vec4(clamp(rgb, 0.0, 1.0), v_color.a);
}
