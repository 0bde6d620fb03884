#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

// The clipboard, as the window system has it: opened by a window, emptied by
// its new owner (the previous owner gets WM_DESTROYCLIPBOARD), holding one
// block of bytes per format. Text (CF_UNICODETEXT, UTF-8 here) is the
// desktop's clipboard when a display runs; the program's own formats stay in
// the process. For the thread that runs the windows.
namespace mtxOs {

constexpr uint32_t CF_UNICODETEXT = 13;

// False when the clipboard is open already or the window is dead.
bool OpenClipboard(HWND owner);
bool CloseClipboard();
// Drops every format and makes the opener the owner.
bool EmptyClipboard();
// While open and after EmptyClipboard; false otherwise.
bool SetClipboardData(uint32_t format, std::vector<uint8_t> data);
// While open; false when the format is not there.
bool GetClipboardData(uint32_t format, std::vector<uint8_t>& out);
// The number of a named format of the program, the same for the same name
// (0xC000 upwards); 0 for an empty name.
uint32_t RegisterClipboardFormat(const std::string& name);

}  // namespace mtxOs
