#pragma once
#include <cstdint>

// The one rectangle and point of the window system and the device: Windows'
// RECT and POINT, right and bottom exclusive.
struct RECT {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct POINT {
    int32_t x = 0, y = 0;
};
