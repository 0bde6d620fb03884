#include "stamps_in.glsl"
#include "sample_recolor.glsl"
// 5357 for many stamps in one draw (through 5375).
void main() {
    o_color = recolor_sample(stamp_sample(), v_c0, v_c1);
}
