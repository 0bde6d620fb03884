#version 330 core
// What every pixel program receives from the vertex programs, and its output.
in vec4 v_color;
in vec4 v_tex0;
in vec4 v_tex1;
out vec4 o_color;
