#include "pixel_in.glsl"
// A sample recoloured to its region: the sample's luma times c0.w with the
// region's chroma (c0.y = Cb, c0.z = Cr); alpha = sample.a x c1.w.
// A sample key of luma 0 makes c0.w infinite (or not a number): then every
// lit sample pixel becomes full luma and a black one stays black.
uniform vec4 c[2];     // c0 color, c1 src_color
uniform sampler2D s0;  // sample
void main() {
    vec4 sample = texture(s0, v_tex0.xy);
    float luma = clamp(dot(sample.rgb, vec3(0.299, 0.587, 0.114)), 0.0, 1.0);
    float factor = c[0].w;
    if (isinf(factor) || isnan(factor)) factor = 3.0e38;
    float y = luma > 0.0 ? clamp(luma * factor, 0.0, 1.0) : 0.0;
    float cb = c[0].y - 0.5, cr = c[0].z - 0.5;
    vec3 rgb = vec3(y + 1.402 * cr, y - 0.34414 * cb - 0.71414 * cr, y + 1.772 * cb);
    o_color = vec4(clamp(rgb, 0.0, 1.0), sample.a * c[1].w);
}
