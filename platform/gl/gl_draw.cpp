// Applying the device's state to GL at draw time, and the draws themselves.
// Unchanged state, bindings and uniform values are not sent to GL again.
#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>

#include "platform/gl/gl_device.h"
#include "platform/gl/gl_tables.h"

void mtxGlDevice::BindFramebuffer(unsigned framebuffer) {
    if (gl_.framebuffer == framebuffer) return;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl_.framebuffer = framebuffer;
}

void mtxGlDevice::SetGlViewport(int x, int y, int width, int height) {
    int v[4] = {x, y, width, height};
    if (std::equal(v, v + 4, gl_.viewport)) return;
    glViewport(x, y, width, height);
    std::copy(v, v + 4, gl_.viewport);
}

void mtxGlDevice::SetScissor(int enable, int x, int y, int width, int height) {
    if (gl_.scissor != enable) {
        if (enable)
            glEnable(GL_SCISSOR_TEST);
        else
            glDisable(GL_SCISSOR_TEST);
        gl_.scissor = enable;
    }
    if (!enable) return;
    int box[4] = {x, y, width, height};
    if (std::equal(box, box + 4, gl_.scissorBox)) return;
    glScissor(x, y, width, height);
    std::copy(box, box + 4, gl_.scissorBox);
}

void mtxGlDevice::SetColorMask(int mask) {
    if (gl_.colorMask == mask) return;
    glColorMask(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
    gl_.colorMask = mask;
}

void mtxGlDevice::SetDepthWrite(int on) {
    if (gl_.depthWrite == on) return;
    glDepthMask(on ? GL_TRUE : GL_FALSE);
    gl_.depthWrite = on;
}

void mtxGlDevice::ActiveUnit(int unit) {
    if (gl_.activeUnit == unit) return;
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    gl_.activeUnit = unit;
}

void mtxGlDevice::ApplyTarget() {
    BindFramebuffer(FramebufferOf(target_));
    SetGlViewport(int(viewport_.X), int(viewport_.Y), int(viewport_.Width), int(viewport_.Height));
}

void mtxGlDevice::ApplyRenderStates() {
    const uint32_t* rs = renderState_;
    int depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && present_.EnableAutoDepthStencil;
    if (gl_.depthTest != depthTest) {
        if (depthTest)
            glEnable(GL_DEPTH_TEST);
        else
            glDisable(GL_DEPTH_TEST);
        gl_.depthTest = depthTest;
    }
    int func = int(mtxGl::Compare(rs[D3DRS_ZFUNC]));
    if (gl_.depthFunc != func) glDepthFunc(GLenum(func)), gl_.depthFunc = func;
    SetDepthWrite(rs[D3DRS_ZWRITEENABLE] ? 1 : 0);
    int blend = rs[D3DRS_ALPHABLENDENABLE] ? 1 : 0;
    if (gl_.blend != blend) {
        if (blend)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        gl_.blend = blend;
    }
    if (blend) {
        // Without separate alpha blending, alpha blends as the colours do.
        const int separate = rs[D3DRS_SEPARATEALPHABLENDENABLE] ? 1 : 0;
        int src = int(mtxGl::Blend(rs[D3DRS_SRCBLEND])),
            dst = int(mtxGl::Blend(rs[D3DRS_DESTBLEND]));
        int srcAlpha = separate ? int(mtxGl::Blend(rs[D3DRS_SRCBLENDALPHA])) : src,
            dstAlpha = separate ? int(mtxGl::Blend(rs[D3DRS_DESTBLENDALPHA])) : dst;
        if (gl_.blendSrc != src || gl_.blendDst != dst || gl_.blendSrcAlpha != srcAlpha ||
            gl_.blendDstAlpha != dstAlpha) {
            glBlendFuncSeparate(GLenum(src), GLenum(dst), GLenum(srcAlpha), GLenum(dstAlpha));
            gl_.blendSrc = src, gl_.blendDst = dst;
            gl_.blendSrcAlpha = srcAlpha, gl_.blendDstAlpha = dstAlpha;
        }
        int op = int(mtxGl::BlendOp(rs[D3DRS_BLENDOP]));
        int opAlpha = separate ? int(mtxGl::BlendOp(rs[D3DRS_BLENDOPALPHA])) : op;
        if (gl_.blendOp != op || gl_.blendOpAlpha != opAlpha) {
            glBlendEquationSeparate(GLenum(op), GLenum(opAlpha));
            gl_.blendOp = op, gl_.blendOpAlpha = opAlpha;
        }
    }
    SetColorMask(int(rs[D3DRS_COLORWRITEENABLE] & 0xF));
    // Direct3D's front faces are clockwise on screen. Screen rows are GL rows
    // here, so they are GL's counter-clockwise ones (the default front).
    int cull = int(rs[D3DRS_CULLMODE]);
    if (gl_.cull != cull) {
        if (cull == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(cull == D3DCULL_CCW ? GL_BACK : GL_FRONT);
        }
        gl_.cull = cull;
    }
    int smooth = rs[D3DRS_ANTIALIASEDLINEENABLE] ? 1 : 0;
    if (gl_.lineSmooth != smooth) {
        if (smooth)
            glEnable(GL_LINE_SMOOTH);
        else
            glDisable(GL_LINE_SMOOTH);
        gl_.lineSmooth = smooth;
    }
    if (rs[D3DRS_SCISSORTESTENABLE]) {
        RECT r = scissor_;
        SetScissor(1, r.left, r.top, std::max(0, r.right - r.left), std::max(0, r.bottom - r.top));
    } else {
        SetScissor(0, 0, 0, 0, 0);
    }
}

void mtxGlDevice::ApplyTextures(int ffPixel) {
    int stages = ffPixel ? 1 : kStages;
    for (int i = 0; i < stages; ++i) {
        unsigned name = texture_[i] ? texture_[i]->name : 0;
        if (gl_.texture[i] != name) {
            ActiveUnit(i);
            glBindTexture(GL_TEXTURE_2D, name);
            gl_.texture[i] = name;
        }
        if (!name) continue;
        const Sampler& want = sampler_[i];
        Sampler& have = gl_.sampler[i];
        GLuint s = samplers_[i];
        bool all = !gl_.samplerValid[i];
        if (all || have.addressU != want.addressU)
            glSamplerParameteri(s, GL_TEXTURE_WRAP_S, mtxGl::Address(want.addressU));
        if (all || have.addressV != want.addressV)
            glSamplerParameteri(s, GL_TEXTURE_WRAP_T, mtxGl::Address(want.addressV));
        if (all || have.mag != want.mag)
            glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER,
                                want.mag >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
        if (all || have.min != want.min || have.mip != want.mip)
            glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, mtxGl::MinFilter(want.min, want.mip));
        if (all || have.border != want.border) {
            float c[4];
            mtxGl::ColorToFloats(want.border, c);
            glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, c);
        }
        have = want;
        gl_.samplerValid[i] = 1;
    }
}

void mtxGlDevice::ApplyVertexFormat(uint32_t stride) {
    if (gl_.fvf == fvf_ && gl_.stride == stride) return;
    auto offset = [](size_t bytes) { return reinterpret_cast<const void*>(bytes); };
    size_t at = 12;
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, GLsizei(stride), offset(0));
    if (fvf_ & D3DFVF_DIFFUSE) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, GLsizei(stride), offset(at));
        at += 4;
    } else {
        glDisableVertexAttribArray(1);
        glVertexAttrib4f(1, 1.0f, 1.0f, 1.0f, 1.0f);  // Direct3D's default diffuse: white
    }
    // Texture coordinate set i is attribute 2 + i; a set the format lacks reads (0, 0, 0, 1).
    const uint32_t sets = mtxGl::TexSets(fvf_);
    for (uint32_t i = 0; i < uint32_t(mtxGl::kTexSets); ++i) {
        const GLuint attribute = 2 + i;
        if (i < sets) {
            const int size = mtxGl::TexSize(fvf_, i);
            glEnableVertexAttribArray(attribute);
            glVertexAttribPointer(attribute, size, GL_FLOAT, GL_FALSE, GLsizei(stride), offset(at));
            at += size_t(size) * sizeof(float);
        } else {
            glDisableVertexAttribArray(attribute);
            glVertexAttrib4f(attribute, 0.0f, 0.0f, 0.0f, 1.0f);
        }
    }
    gl_.fvf = fvf_;
    gl_.stride = stride;
}

void mtxGlDevice::ApplyUniforms(mtxGlProgram* p, int ffVertex, int ffPixel) {
    bool all = !p->uploaded;
    auto send = [&](int location, int count, const float* want, std::vector<float>& have) {
        if (location < 0 || count == 0) return;
        size_t bytes = size_t(count) * 4 * sizeof(float);
        if (!all && std::memcmp(have.data(), want, bytes) == 0) return;
        glUniform4fv(location, count, want);
        std::memcpy(have.data(), want, bytes);
    };
    send(p->vsConstLocation, p->vsConstCount, vsConst_, p->vsConst);
    send(p->psConstLocation, p->psConstCount, psConst_, p->psConst);
    if (ffVertex && p->projLocation >= 0 &&
        (all || std::memcmp(p->proj, fixedTransform_, sizeof p->proj) != 0)) {
        glUniformMatrix4fv(p->projLocation, 1, GL_FALSE, fixedTransform_);
        std::memcpy(p->proj, fixedTransform_, sizeof p->proj);
    }
    float fix[2] = {1.0f / float(viewport_.Width), 1.0f / float(viewport_.Height)};
    if (p->fixLocation >= 0 && (all || fix[0] != p->fix[0] || fix[1] != p->fix[1])) {
        glUniform2fv(p->fixLocation, 1, fix);
        p->fix[0] = fix[0], p->fix[1] = fix[1];
    }
    if (ffPixel) {
        const uint32_t* ts = stageState_;
        int stage[4] = {int(ts[D3DTSS_COLOROP]), int(ts[D3DTSS_ALPHAOP]), texture_[0] ? 1 : 0, 0};
        auto isTexture = [](uint32_t arg) { return (arg & 0xF) == D3DTA_TEXTURE ? 1 : 0; };
        int args[4] = {isTexture(ts[D3DTSS_COLORARG1]), isTexture(ts[D3DTSS_COLORARG2]),
                       isTexture(ts[D3DTSS_ALPHAARG1]), isTexture(ts[D3DTSS_ALPHAARG2])};
        if (all || std::memcmp(stage, p->stage, sizeof stage) != 0) {
            glUniform4iv(p->stageLocation, 1, stage);
            std::memcpy(p->stage, stage, sizeof stage);
        }
        if (all || std::memcmp(args, p->args, sizeof args) != 0) {
            glUniform4iv(p->argsLocation, 1, args);
            std::memcpy(p->args, args, sizeof args);
        }
    }
    p->uploaded = 1;
}

HRESULT mtxGlDevice::Draw(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                          uint32_t stride, uint32_t vertexCount, const void* indices,
                          D3DFORMAT indexFormat) {
    uint32_t count = mtxGl::VertexCount(type, primitiveCount);
    if (!vertices || count == 0 || fvf_ == 0 || stride < mtxGl::VertexBytes(fvf_))
        return D3DERR_INVALIDCALL;
    if (lost_) return D3D_OK;
    Use();
    mtxGlProgram* program = CurrentProgram();
    if (!program) return D3DERR_INVALIDCALL;
    if (gl_.program != program->name) {
        glUseProgram(program->name);
        gl_.program = program->name;
    }
    ApplyTarget();
    ApplyRenderStates();
    ApplyTextures(!pixelShader_);
    ApplyUniforms(program, !vertexShader_, !pixelShader_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(size_t(vertexCount) * stride), vertices,
                 GL_STREAM_DRAW);
    ApplyVertexFormat(stride);
    if (!indices) {
        glDrawArrays(mtxGl::Primitive(type), 0, GLsizei(count));
        return D3D_OK;
    }
    size_t indexSize = indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(count * indexSize), indices, GL_STREAM_DRAW);
    glDrawElements(mtxGl::Primitive(type), GLsizei(count),
                   indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, nullptr);
    return D3D_OK;
}

HRESULT mtxGlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount,
                                     const void* vertices, uint32_t stride) {
    return Draw(type, primitiveCount, vertices, stride, mtxGl::VertexCount(type, primitiveCount),
                nullptr, D3DFMT_UNKNOWN);
}

HRESULT mtxGlDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t minVertexIndex,
                                            uint32_t numVertices, uint32_t primitiveCount,
                                            const void* indices, D3DFORMAT indexFormat,
                                            const void* vertices, uint32_t stride) {
    if (!indices || (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    // Every index must address one of the vertices given.
    uint32_t count = mtxGl::VertexCount(type, primitiveCount);
    uint32_t end = minVertexIndex + numVertices;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index = indexFormat == D3DFMT_INDEX32 ? static_cast<const uint32_t*>(indices)[i]
                                                       : static_cast<const uint16_t*>(indices)[i];
        if (index < minVertexIndex || index >= end) return D3DERR_INVALIDCALL;
    }
    return Draw(type, primitiveCount, vertices, stride, end, indices, indexFormat);
}
