#include "app/shell/command_line.h"

#include <cstring>

int mtxCommandLinePath(const char* commandLine, std::string& path) {
    path.clear();
    if (!commandLine || std::strlen(commandLine) < 3) return 0;
    std::string text = commandLine;
    if (text.back() == '"') text.pop_back();
    path = text[0] == '"' ? text.substr(1) : text;
    return 1;
}
