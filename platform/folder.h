#pragma once
#include <string>
#include <vector>

// Reading folders, for the program's own file dialog.
namespace mtxOs {

struct FolderEntry {
    std::string name;
    bool isFolder = false;  // a folder, or a link to one
};

// The entries of folder without "." and "..", in no particular order. False,
// with error set to the system's reason, when the folder cannot be read.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& out, std::string& error);
// The user's home folder ($HOME, else the password database, else "/").
std::string HomeFolder();

}  // namespace mtxOs
