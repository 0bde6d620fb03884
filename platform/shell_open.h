#pragma once
#include <string>

// Opens a file or address with the desktop's preferred program: the first of
// xdg-open, sensible-browser, x-www-browser and $BROWSER that exists.
namespace mtxOs {

// Starts the opener without waiting for it; false when no opener exists or it
// could not be started. What the opener then makes of the target is not
// reported.
bool ShellOpen(const std::string& target);

// The opener ShellOpen would start, looked up in searchPath (a $PATH-style
// list of folders), browser being $BROWSER (null or empty for none; a name
// or a path); empty when none of them exists.
std::string FindShellOpener(const std::string& searchPath, const char* browser);

}  // namespace mtxOs
