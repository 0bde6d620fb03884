#pragma once
#include <string>

#include "image/file.h"

// A file for a writer's own data that is too much to hold in memory, made
// beside the file it writes (so on the disk the user chose, not a memory
// file system): read and written, and gone from the folder as soon as it is
// open, so that nothing is left behind whatever happens to the program.
class mtxScratchFile : public mtxFile {
  public:
    // 1, or 0 with the system's reason in mtxOs::LastError().
    int Begin(const std::string& besidePath);
};
