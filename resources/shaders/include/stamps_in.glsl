#version 400 core
// What the pixel programs drawing many stamps in one draw receive from 5375:
// the texture coordinate, the stamp's constants c0 and c1, and the stage that
// holds its sample's texture.
in vec4 v_tex0;
flat in vec4 v_c0;
flat in vec4 v_c1;
flat in int v_stage;
out vec4 o_color;
uniform sampler2D s[8];
// Each stamp samples as its own draw with the texture on stage 0 would. The
// stage may differ between the stamps of a draw only where the device says it
// samples pixel by pixel (a software rasteriser); a GPU is given one stage a
// draw, the same for every pixel, as indexing samplers needs there.
vec4 stamp_sample() {
    return texture(s[v_stage], v_tex0.xy);
}
