#pragma once
// Reads what the X display shows (the root window), for tests that run under
// a virtual display. Kept apart from the tests because Xlib's macros clash
// with other headers.
#include <cstdint>
#include <vector>

namespace ui_test {

// width x height pixels from (x, y) of the screen as 0xRRGGBB, row 0 first;
// empty when there is no display.
std::vector<uint32_t> ReadScreen(int x, int y, int width, int height);

}  // namespace ui_test
