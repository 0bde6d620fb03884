#pragma once
#include <cstdint>

#include "image/image.h"
#include "platform/gdi.h"

// Draws one character into the image as white with the glyph's coverage as
// alpha (grey levels 0..64 become level x 255 / 65, so full coverage is 251),
// replacing the pixels under the glyph's box and clipped to the image. The
// character's pen position is (x, y + the font's ascent), so y is the top of
// the text line. The font is a font object (mtxOs::CreateFont); null uses
// "Arial" of 18 pixels, weight 400. The grey bitmap goes through the image's
// auxiliary buffer. Returns 1 when drawn (a blank glyph draws nothing and
// succeeds), 0 when there is no font, the glyph cannot be had or memory is short.
int DrawGlyph(mtxImage& image, char32_t c, int x, int y, mtxOs::HGDIOBJ font = nullptr);
