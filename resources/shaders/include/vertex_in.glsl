#version 330 core
// The vertex layout every vertex program reads, and what it passes on.
in vec4 a_position;
in vec4 a_color;
in vec4 a_tex0;
out vec4 v_color;
out vec4 v_tex0;
out vec4 v_tex1;
