#pragma once
#include <string>

// Shared libraries loaded at run time.
namespace mtxOs {

// A handle for the library, null when it cannot be loaded (LibraryError says why).
void* LoadLibrary(const std::string& path);
void* GetProcAddress(void* library, const char* name);  // null when missing
void FreeLibrary(void* library);
std::string LibraryError();
// Where the system keeps its own libraries (the architecture's library
// folder), and the general library folder.
std::string SystemLibraryDirectory();
std::string GeneralLibraryDirectory();

}  // namespace mtxOs
