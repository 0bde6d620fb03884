#pragma once
#include <string>

// Conversions between the program's UTF-8 text and the UTF-16 that stored
// formats hold. Invalid sequences become U+FFFD; nothing is dropped silently.
std::u16string mtxUtf8ToUtf16(const std::string& text);
std::string mtxUtf16ToUtf8(const std::u16string& text);

// ASCII-only case folding, used where names compare without regard to case.
std::string mtxAsciiLower(std::string text);
bool mtxEqualsIgnoreCase(const std::string& a, const std::string& b);
