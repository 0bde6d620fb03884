#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A picture in memory: 32-bit pixels 0xAARRGGBB (bytes blue, green, red, alpha
// in memory), top row first, rows packed. Windows, menus and device contexts
// draw into these before they reach the screen.
namespace mtxOs {

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    // Resizes and fills with colour; negative sizes count as 0.
    void Resize(int w, int h, uint32_t color = 0xFF000000);
    uint32_t* Row(int y) { return pixels.data() + static_cast<size_t>(y) * width; }
    const uint32_t* Row(int y) const { return pixels.data() + static_cast<size_t>(y) * width; }
    // Fills the rectangle [left, right) x [top, bottom), clipped to the bitmap.
    void Fill(int left, int top, int right, int bottom, uint32_t color);
    // Blends a coverage mask (0..maxLevel) of color onto the bitmap at (x, y),
    // clipped to the bitmap and to [clipLeft, clipRight) x [clipTop, clipBottom).
    void BlendMask(int x, int y, const uint8_t* mask, int maskWidth, int maskHeight, int maskPitch,
                   int maxLevel, uint32_t color, int clipLeft, int clipTop, int clipRight,
                   int clipBottom);
    // Draws src over this bitmap at (x, y) with src's alpha ("over" operator).
    void BlendOver(const Bitmap& src, int x, int y);
    // Copies a src rectangle to (x, y), clipped on both sides.
    void Copy(const Bitmap& src, int srcX, int srcY, int width, int height, int x, int y);
};

}  // namespace mtxOs
