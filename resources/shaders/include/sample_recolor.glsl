// A sample recoloured to its region: the sample's luma times c0.w with the
// region's chroma (c0.y = Cb, c0.z = Cr); alpha = sample.a x c1.w.
// A sample key of luma 0 makes c0.w infinite (or not a number): then every
// lit sample pixel becomes full luma and a black one stays black.
vec4 recolor_sample(vec4 texel, vec4 c0, vec4 c1) {
    float luma = clamp(dot(texel.rgb, vec3(0.299, 0.587, 0.114)), 0.0, 1.0);
    float factor = c0.w;
    if (isinf(factor) || isnan(factor)) factor = 3.0e38;
    float y = luma > 0.0 ? clamp(luma * factor, 0.0, 1.0) : 0.0;
    float cb = c0.y - 0.5, cr = c0.z - 0.5;
    vec3 rgb = vec3(y + 1.402 * cr, y - 0.34414 * cb - 0.71414 * cr, y + 1.772 * cb);
    return vec4(clamp(rgb, 0.0, 1.0), texel.a * c1.w);
}
