#include "pixel_in.glsl"
// A pattern tile repeated over the area, every other repetition mirrored
// where c2 flip asks (x, y nonzero). c1 tex_size = (width, height) of the
// pattern in texels, c4 inv_tex_size = their inverses; texture coordinate 0
// is in pattern texels.
uniform vec4 c[5];
uniform sampler2D s0;  // pattern
void main() {
    vec2 size = max(c[1].xy, vec2(1.0));
    vec2 p = floor(v_tex0.xy);
    vec2 tile = floor(p / size);
    vec2 q = p - tile * size;
    if (c[2].x != 0.0 && mod(tile.x, 2.0) >= 1.0) q.x = size.x - 1.0 - q.x;
    if (c[2].y != 0.0 && mod(tile.y, 2.0) >= 1.0) q.y = size.y - 1.0 - q.y;
    o_color = texture(s0, (q + 0.5) * c[4].xy);
}
