#pragma once
#include <cstdint>

// Key codes of the display library mapped to Windows virtual-key codes.
namespace mtxOs::detail {

// The virtual key of a display key code and scan code; 0 for keys without one.
uint32_t VirtualKeyOf(int32_t keyCode, int scanCode);
// The display's scan code of a virtual key; 0 when unknown.
int ScancodeOf(uint32_t vk);

}  // namespace mtxOs::detail
