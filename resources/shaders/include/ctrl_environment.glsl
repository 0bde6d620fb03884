// The environment the control faces reflect, computed rather than sampled (the
// device has no cube textures): a light studio, bright above the horizon and
// darker below it, with one soft window light high on the upper left. r is a
// reflected direction of unit length in the control's frame: x right, y down
// the screen, z towards the viewer.
vec3 ctrl_environment(vec3 r) {
    float up = -r.y;
    vec3 sky = mix(vec3(0.80, 0.83, 0.87), vec3(0.97, 0.98, 1.0), smoothstep(0.0, 0.8, up));
    vec3 ground = mix(vec3(0.56, 0.58, 0.61), vec3(0.38, 0.40, 0.43), smoothstep(0.0, 0.8, -up));
    vec3 env = mix(ground, sky, smoothstep(-0.12, 0.12, up));
    // The window light: the 24th power of its cosine, by multiplication
    // (a software rasteriser's pow is costly).
    float w = max(dot(r, vec3(-0.4467, -0.7444, 0.4963)), 0.0);
    float w2 = w * w, w4 = w2 * w2, w8 = w4 * w4;
    return env + vec3(0.6 * w8 * w8 * w8);
}
