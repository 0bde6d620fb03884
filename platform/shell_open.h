#pragma once
#include <string>

// Opens a file or address with the desktop's preferred program (xdg-open).
namespace mtxOs {

// Starts the opener without waiting for it; false when it could not be started.
// What the opener then makes of the target is not reported.
bool ShellOpen(const std::string& target);

}  // namespace mtxOs
