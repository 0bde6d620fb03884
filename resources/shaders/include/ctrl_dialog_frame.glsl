// A rounded dialog panel with a soft edge. Texture coordinate 0 runs 0..1
// over the panel; c0 param1 = (width, height, -, -) in pixels. The corner
// radius is 7 pixels, the soft shadow reaches 25 pixels, and the face (FACE_TINT
// where defined, else the vertex colour) is shaded by 0.3 from top to bottom
// and outlined by its outermost pixel.
uniform vec4 c[1];
void main() {
    vec2 size = max(c[0].xy, vec2(1.0));
    vec2 p = v_tex0.xy * size;
    vec2 q = abs(p - 0.5 * size) - (0.5 * size - vec2(25.0 + 7.0));
    float d = length(max(q, 0.0)) + min(max(q.x, q.y), 0.0) - 7.0;
    float face = clamp(0.5 - d, 0.0, 1.0);
    float shadow = 0.3 * (1.0 - clamp(d / 25.0, 0.0, 1.0));
#ifdef FACE_TINT
    vec3 tint = FACE_TINT;
#else
    vec3 tint = v_color.rgb;
#endif
    vec3 rgb = tint * (1.0 - 0.3 * v_tex0.y * 0.5);
    // The outline: the face's outermost pixel, darkened.
    rgb *= 1.0 - 0.45 * clamp(1.0 - abs(d + 0.5), 0.0, 1.0);
    float alpha = max(face, shadow * (1.0 - face));
    o_color = vec4(rgb * face, alpha * v_color.a);
}
