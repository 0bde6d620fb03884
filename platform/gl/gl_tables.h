// Direct3D 9 values translated to their OpenGL counterparts, and the small
// matrix helpers the fixed pipeline needs. Internal to the GL device.
#pragma once
#include <epoxy/gl.h>

#include "platform/device_types.h"
#include "platform/geometry.h"

namespace mtxGl {

GLenum Primitive(D3DPRIMITIVETYPE type);
// Vertices used by primitiveCount primitives; 0 for an unknown type.
uint32_t VertexCount(D3DPRIMITIVETYPE type, uint32_t primitives);
GLenum Blend(uint32_t blend);
GLenum BlendOp(uint32_t op);
// Texture coordinate sets of a vertex format, and the floats of set i.
constexpr int kTexSets = 4;
uint32_t TexSets(uint32_t fvf);
int TexSize(uint32_t fvf, uint32_t set);
// The bytes of a vertex of the format.
uint32_t VertexBytes(uint32_t fvf);
GLenum Compare(uint32_t func);
GLint Address(uint32_t mode);
GLint MinFilter(uint32_t min, uint32_t mip);

struct PixelFormat {
    GLint internal;
    GLenum format, type;
};
// A8R8G8B8 is bytes B, G, R, A; G16R16 is two 16-bit words, red first. False
// for a format the device does not keep.
bool Format(D3DFORMAT format, PixelFormat* out);

// D3DCOLOR as GL's float colour (r, g, b, a).
void ColorToFloats(D3DCOLOR color, float out[4]);

// The common part of two rectangles; empty (right <= left) when they do not meet.
RECT Intersect(const RECT& a, const RECT& b);

void Identity(D3DMATRIX* m);
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);

}  // namespace mtxGl
