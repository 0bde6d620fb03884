#pragma once
#include <cstdint>
#include <string>

// String n of the program's string table (entry 10000 + n); fallback when the
// table or the application object is missing.
std::string mtxIELoadString(uint32_t n, const char* fallback = "");
