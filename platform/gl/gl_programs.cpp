// Shader programs on the GL device: the stages the caller hands in, linked
// in pairs, and the device's own fixed-pipeline stages for draws without a
// vertex or pixel shader.
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/gl/gl_device.h"
#include "platform/gl/gl_tables.h"

namespace {

constexpr const char* kEpilogue = R"(
#undef main
#undef c
uniform vec2 dx_pos_fix;
void main() {
    dx_user_main();
    vec4 p = gl_Position;
    gl_Position = vec4(p.x + p.w * dx_pos_fix.x, -p.y + p.w * dx_pos_fix.y, 2.0 * p.z - p.w, p.w);
}
)";

// The fixed pipeline's vertex stage: position x (world x view x projection).
constexpr const char* kFixedVertex = R"(#version 330 core
in vec4 a_position;
in vec4 a_color;
in vec4 a_tex0;
out vec4 v_color;
out vec4 v_tex0;
out vec4 v_tex1;
uniform mat4 dx_proj;
void main() {
    gl_Position = dx_proj * a_position;
    v_color = a_color;
    v_tex0 = a_tex0;
    v_tex1 = vec4(0.0, 0.0, 0.0, 1.0);
}
)";

// The fixed pipeline's stage 0: dx_stage = (colour op, alpha op, texture
// bound), dx_args = colour arg 1, 2, alpha arg 1, 2 (1 texture, 0 diffuse).
// A stage without a texture reads opaque white.
constexpr const char* kFixedPixel = R"(#version 330 core
in vec4 v_color;
in vec4 v_tex0;
out vec4 o_color;
uniform sampler2D s0;
uniform ivec4 dx_stage;
uniform ivec4 dx_args;
vec4 Arg(int texture, vec4 t) { return texture != 0 ? t : v_color; }
vec4 Op(int op, vec4 a, vec4 b) {
    if (op == 4) return a * b;
    if (op == 2) return a;
    if (op == 3) return b;
    return v_color;
}
void main() {
    vec4 t = dx_stage.z != 0 ? texture(s0, v_tex0.xy) : vec4(1.0);
    vec4 rgb = Op(dx_stage.x, Arg(dx_args.x, t), Arg(dx_args.y, t));
    vec4 a = Op(dx_stage.y, Arg(dx_args.z, t), Arg(dx_args.w, t));
    o_color = vec4(rgb.rgb, a.a);
}
)";

// The same stage for draws without a texture: no sampling at all, which a
// software rasteriser would otherwise run for every pixel of every fill.
constexpr const char* kFixedPixelPlain = R"(#version 330 core
in vec4 v_color;
out vec4 o_color;
uniform ivec4 dx_stage;
uniform ivec4 dx_args;
vec4 Arg(int texture) { return texture != 0 ? vec4(1.0) : v_color; }
vec4 Op(int op, vec4 a, vec4 b) {
    if (op == 4) return a * b;
    if (op == 2) return a;
    if (op == 3) return b;
    return v_color;
}
void main() {
    vec4 rgb = Op(dx_stage.x, Arg(dx_args.x), Arg(dx_args.y));
    vec4 a = Op(dx_stage.y, Arg(dx_args.z), Arg(dx_args.w));
    o_color = vec4(rgb.rgb, a.a);
}
)";

// The source without its #version line, which the device writes itself.
std::string Body(const char* code) {
    std::string_view source(code);
    size_t at = source.find("#version");
    if (at == std::string_view::npos) return std::string(source);
    size_t end = source.find('\n', at);
    std::string body(source.substr(0, at));
    if (end != std::string_view::npos) body += source.substr(end);
    return body;
}

// The GLSL version the source asks for: 330 core, or a later one its
// #version line names (a program that needs it then does not compile on a
// device without it).
std::string Version(const char* code) {
    std::string_view source(code);
    size_t at = source.find("#version");
    if (at == std::string_view::npos) return "330 core";
    size_t end = std::min(source.find('\n', at), source.size());
    std::string_view line = source.substr(at + 8, end - at - 8);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    return line.size() >= 3 && line.substr(0, 3) > "330" ? std::string(line) : "330 core";
}

}  // namespace

void mtxGlDevice::CompileFixedPipeline() {
    ffVertex_ = CompileStage(false, Body(kFixedVertex));
    ffPixel_ = CompileStage(true, Body(kFixedPixel));
    ffPixelPlain_ = CompileStage(true, Body(kFixedPixelPlain));
}

// Each stage gets its own name for the constant registers, so the vertex
// stage's c[] and the pixel stage's c[] stay apart once linked; a vertex
// stage's main is wrapped by the device's epilogue.
unsigned mtxGlDevice::CompileStage(bool pixel, const std::string& body,
                                   const std::string& version) {
    // A program for a newer GLSL than the context's is refused quietly: its
    // caller has a way without it.
    if (mtxGlslNumber(version) > glslVersion_) return 0;
    std::string source = "#version " + version + "\n";
    source += pixel ? "#define c dx_ps_c\n" : "#define c dx_vs_c\n#define main dx_user_main\n";
    source += "#line 1\n" + body;
    if (!pixel) source += kEpilogue;
    GLuint shader = glCreateShader(pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "device: %s shader does not compile: %s\n", pixel ? "pixel" : "vertex",
                     log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

HRESULT mtxGlDevice::CreatePixelShader(const char* code, IDirect3DPixelShader9** shader) {
    if (!code || !shader) return D3DERR_INVALIDCALL;
    *shader = nullptr;
    Use();
    unsigned name = CompileStage(true, Body(code), Version(code));
    if (!name) return D3DERR_INVALIDCALL;
    *shader = new mtxGlPixelShader(this, name, nextSerial_++);
    return D3D_OK;
}

HRESULT mtxGlDevice::CreateVertexShader(const char* code, IDirect3DVertexShader9** shader) {
    if (!code || !shader) return D3DERR_INVALIDCALL;
    *shader = nullptr;
    Use();
    unsigned name = CompileStage(false, Body(code), Version(code));
    if (!name) return D3DERR_INVALIDCALL;
    *shader = new mtxGlVertexShader(this, name, nextSerial_++);
    return D3D_OK;
}

mtxGlProgram* mtxGlDevice::Link(unsigned vertex, unsigned pixel) {
    mtxGlProgram p;
    p.name = glCreateProgram();
    glAttachShader(p.name, vertex);
    glAttachShader(p.name, pixel);
    glBindAttribLocation(p.name, 0, "a_position");
    glBindAttribLocation(p.name, 1, "a_color");
    for (int i = 0; i < mtxGl::kTexSets; ++i) {
        const char name[7] = {'a', '_', 't', 'e', 'x', char('0' + i), 0};
        glBindAttribLocation(p.name, GLuint(2 + i), name);
    }
    glBindFragDataLocation(p.name, 0, "o_color");
    glLinkProgram(p.name);
    GLint ok = 0;
    glGetProgramiv(p.name, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetProgramInfoLog(p.name, sizeof log, nullptr, log);
        std::fprintf(stderr, "device: shaders do not link: %s\n", log);
        glDeleteProgram(p.name);
        return nullptr;
    }
    GLint count = 0;
    glGetProgramiv(p.name, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[64] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(p.name, GLuint(i), sizeof name, nullptr, &size, &type, name);
        if (std::strcmp(name, "dx_vs_c[0]") == 0 || std::strcmp(name, "dx_vs_c") == 0)
            p.vsConstCount = std::min(size, kVsConstants);
        if (std::strcmp(name, "dx_ps_c[0]") == 0 || std::strcmp(name, "dx_ps_c") == 0)
            p.psConstCount = std::min(size, kPsConstants);
    }
    p.vsConstLocation = glGetUniformLocation(p.name, "dx_vs_c");
    p.psConstLocation = glGetUniformLocation(p.name, "dx_ps_c");
    p.projLocation = glGetUniformLocation(p.name, "dx_proj");
    p.fixLocation = glGetUniformLocation(p.name, "dx_pos_fix");
    p.stageLocation = glGetUniformLocation(p.name, "dx_stage");
    p.argsLocation = glGetUniformLocation(p.name, "dx_args");
    p.vsConst.assign(size_t(p.vsConstCount) * 4, 0.0f);
    p.psConst.assign(size_t(p.psConstCount) * 4, 0.0f);
    glUseProgram(p.name);
    gl_.program = p.name;
    for (int i = 0; i < kStages; ++i) {
        char sampler[4] = {'s', char('0' + i), 0, 0};
        GLint location = glGetUniformLocation(p.name, sampler);
        if (location >= 0) glUniform1i(location, i);
        // A program may name its stages as one array instead.
        const char element[5] = {'s', '[', char('0' + i), ']', 0};
        location = glGetUniformLocation(p.name, element);
        if (location >= 0) glUniform1i(location, i);
    }
    return new mtxGlProgram(std::move(p));
}

mtxGlProgram* mtxGlDevice::CurrentProgram() {
    uint32_t vs = vertexShader_ ? vertexShader_->serial : 0;
    // Serial 0 is the fixed stage with a texture, ~0 the one without.
    bool plain = !pixelShader_ && !texture_[0];
    uint32_t ps = pixelShader_ ? pixelShader_->serial : plain ? ~0u : 0;
    uint64_t key = (uint64_t(vs) << 32) | ps;
    auto it = programs_.find(key);
    if (it != programs_.end()) return it->second.name ? &it->second : nullptr;
    std::unique_ptr<mtxGlProgram> linked(
        Link(vertexShader_ ? vertexShader_->name : ffVertex_, pixelShader_ ? pixelShader_->name
                                                              : plain      ? ffPixelPlain_
                                                                           : ffPixel_));
    // A pair that does not link is remembered as such and draws nothing.
    mtxGlProgram& slot = programs_[key];
    if (linked) slot = std::move(*linked);
    return slot.name ? &slot : nullptr;
}
