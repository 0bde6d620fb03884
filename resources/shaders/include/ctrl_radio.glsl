// A circular, bevelled radio button face with an environment reflection.
// Texture coordinate 0 runs 0..1 over the button; c0 param1 = (checked 0/1,
// bevel width as a fraction of the radius, -, -).
uniform vec4 c[1];
#include "ctrl_environment.glsl"
void main() {
    vec2 d = v_tex0.xy * 2.0 - 1.0;
    float r = length(d);
    float x = clamp((r - 0.9) / 0.1, 0.0, 1.0);
    float alpha = 1.0 - (3.0 * x * x - 2.0 * x * x * x);
    float bevel = max(c[0].y, 0.05);
    float rim = clamp((1.0 - r) / bevel, 0.0, 1.0);
    vec3 n = normalize(vec3(d * (1.0 - rim), 1.0));
    vec3 env = ctrl_environment(reflect(vec3(0.0, 0.0, -1.0), n));
    vec3 rgb = v_color.rgb * (0.8 + 0.2 * n.z) + 0.3 * env;
    // The outline: a darker ring just inside the soft edge.
    rgb *= 1.0 - 0.4 * smoothstep(0.72, 0.86, r);
    float dot_ = c[0].x > 0.5 ? 1.0 - clamp((r - 0.35) / 0.08, 0.0, 1.0) : 0.0;
    rgb = mix(rgb, vec3(0.1), dot_);
    o_color = vec4(clamp(rgb, 0.0, 1.0), alpha * v_color.a);
}
