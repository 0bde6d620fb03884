#include "pixel_in.glsl"
// A drawn sample laid over the tile: lerp(image, (sample.rgb, 1), sample.a).
uniform sampler2D s2;  // image
uniform sampler2D s3;  // sample
void main() {
    vec4 image = texture(s2, v_tex0.xy);
    vec4 sample = texture(s3, v_tex0.xy);
    o_color = mix(image, vec4(sample.rgb, 1.0), sample.a);
}
