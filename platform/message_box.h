#pragma once
#include <string>

// The system message box. Icons and buttons keep their Windows flag values
// (MB_ICONINFORMATION = 0x40, MB_TASKMODAL = 0x2000, ...). While the program's
// window system runs the box is shown on screen; where none runs (tests, batch
// work) the text goes to standard error instead. Returns the button pressed
// (IDOK = 1).
int mtxSystemMessageBox(const std::string& text, const std::string& caption, unsigned flags);

constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TASKMODAL = 0x2000;
constexpr int IDOK = 1;
