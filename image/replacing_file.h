#pragma once
#include <string>

#include "image/file.h"

// A file written in pieces that replaces the file at a path only once
// complete: the bytes go to a new file beside it, which Commit syncs and
// renames over the path. Until then the old file is untouched, and a
// replacement given up (destroyed without Commit, or a failed Commit)
// leaves nothing behind. For outputs too large to build in memory first.
class mtxReplacingFile : public mtxFile {
  public:
    mtxReplacingFile() = default;
    ~mtxReplacingFile() override;

    // Creates the new file beside path for writing. 1, or 0 with the
    // system's reason in mtxOs::LastError().
    int Begin(const std::string& path);
    // Syncs the new file and renames it over the path. 1, or 0 with the
    // reason in mtxOs::LastError() (the new file is then removed).
    int Commit();

  private:
    void GiveUp();
    std::string target_, temporary_;
};
