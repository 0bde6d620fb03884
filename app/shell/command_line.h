#pragma once
#include <string>

// The picture path on a command line: the whole line is one path, optionally
// in double quotes. Lines shorter than three characters (or none) name
// nothing: returns 0. Otherwise returns 1 and the path: a closing quote at the
// end is dropped, and so is an opening quote at the start; nothing else is
// parsed, so unquoted spaces stay part of the path.
int mtxCommandLinePath(const char* commandLine, std::string& path);
