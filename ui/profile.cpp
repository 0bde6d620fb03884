#include "ui/profile.h"

#include "image/image.h"

void mtxIEProfile::SliceSkin(const mtxImage& image, std::vector<RECT>& pieces) {
    pieces.clear();
    if (image.IsEmpty()) return;
    const int w = image.width, h = image.height;
    const mtxColor separator = image.At(0, 0);
    auto isSeparator = [&](int x, int y) { return image.At(x, y) == separator; };
    int y = 0;
    while (y < h) {
        if (isSeparator(0, y)) {
            ++y;
            continue;
        }
        int x = 0;
        while (x < w) {
            if (isSeparator(x, y)) {
                ++x;
                continue;
            }
            int x0 = x;
            while (x < w && !isSeparator(x, y)) ++x;
            int y1 = y;
            while (y1 < h && !isSeparator(x0, y1)) ++y1;
            pieces.push_back({x0, y, x, y1});
        }
        // The rest of the band: rows that start with a piece's colour.
        ++y;
        while (y < h && !isSeparator(0, y)) ++y;
    }
}
