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
// The stage is the same over a whole stamp (dynamically uniform, as indexing
// samplers needs), so each stamp samples as its own draw with the texture on
// stage 0 would.
vec4 stamp_sample() {
    return texture(s[v_stage], v_tex0.xy);
}
