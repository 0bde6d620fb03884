// A rounded, bevelled button face lit by a reflection of the environment.
// Texture coordinate 0 runs 0..1 over the control. c0 param1 = (width,
// height, corner radius, bevel width) in pixels; c1 param2 = (reflection
// strength, shading strength, outline strength, -); c2 eye = the direction
// towards the eye; c3 param3 = (pressed 0/1, -, -, -).
// c4 dif_color and c5 dif_color2: face colours from top to bottom, unless
// FACE_FROM_VERTEX is defined (the vertex colour is the face then). The face
// keeps 1 - reflection strength of its own colour. Kept cheap: software
// rasterisers run it for every pixel of every button.
uniform vec4 c[6];
#include "ctrl_environment.glsl"
void main() {
    vec2 size = max(c[0].xy, vec2(1.0));
    float radius = c[0].z, bevel = max(c[0].w, 1.0);
    vec2 half_size = 0.5 * size;
    vec2 p = v_tex0.xy * size - half_size;
    vec2 q = abs(p) - (half_size - vec2(radius));
    float outside = length(max(q, 0.0)) + min(max(q.x, q.y), 0.0) - radius;
    float x = clamp(outside + 1.0, 0.0, 1.0);
    float alpha = 1.0 - (3.0 * x * x - 2.0 * x * x * x);
    // Flat inside, tilted outwards (inwards when pressed) across the bevel.
    float rim = clamp(-outside / bevel, 0.0, 1.0);
    float flip = c[3].x > 0.5 ? -1.0 : 1.0;
    vec3 n = vec3(p / half_size * (1.0 - rim) * flip, 1.0);
    n *= inversesqrt(dot(n, n));
    vec3 eye = c[2].xyz * inversesqrt(max(dot(c[2].xyz, c[2].xyz), 1e-6));
    vec3 env = ctrl_environment(reflect(-eye, n));
    float shade = 0.75 + 0.25 * dot(n, vec3(-0.3363, -0.5045, 0.7950));
#ifdef FACE_FROM_VERTEX
    vec3 diffuse = v_color.rgb;
#else
    vec3 diffuse = mix(c[4].rgb, c[5].rgb, v_tex0.y);
#endif
    vec3 rgb = diffuse * mix(1.0, shade, c[1].y) * (1.0 - c[1].x) + env * c[1].x;
    // The outline: the outermost pixel of the shape, darkened.
    float line = clamp(1.0 - abs(outside + 0.5), 0.0, 1.0);
    rgb *= 1.0 - c[1].z * line;
    o_color = vec4(clamp(rgb, 0.0, 1.0), alpha * v_color.a);
}
