#pragma once
#include <string>

// A path split once into its parts. The full path is absolute and lexically
// normalised (relative paths are taken from the current directory, links are
// not resolved) and keeps its case, since Linux file names are case-sensitive.
//
//   /home/ann/Pics/Photo.JPG  ->  directory /home/ann/Pics, file Photo.JPG,
//                                 name Photo, extension JPG
//
// A "." that starts the file part does not begin an extension (".profile" has
// none). The pattern "*" gives the current directory as its directory.
class mtxPath {
  public:
    explicit mtxPath(const std::string& path);

    const std::string& Full() const { return full_; }
    const std::string& Directory() const { return directory_; }
    const std::string& File() const { return file_; }
    const std::string& Name() const { return name_; }
    const std::string& Extension() const { return extension_; }
    bool HasExtension() const { return hasExtension_; }

    // Compares the extension with text without regard to case; false when the
    // path has no extension.
    bool HasExtension(const std::string& text) const;

  private:
    std::string full_, directory_, file_, name_, extension_;
    bool hasExtension_ = false;
};

// True when something (file or folder) exists at path.
bool FileExists(const std::string& path);
