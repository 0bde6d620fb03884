#include "base/share_folder.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

void AddOnce(std::vector<std::string>& folders, const std::string& folder) {
    if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(folder);
}

// The running program's own file; empty when the system does not tell.
std::string RunningExecutable() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

}  // namespace

std::vector<std::string> mtxShareFolders(const std::string& executable) {
    std::vector<std::string> folders;
    if (!executable.empty()) {
        fs::path bin = fs::path(executable).parent_path();
        if (bin.has_parent_path())
            AddOnce(folders, (bin.parent_path() / "share" / "daubry").lexically_normal().string());
    }
#ifdef DAUBRY_BUILD_SHARE
    AddOnce(folders, DAUBRY_BUILD_SHARE);
#endif
#ifdef DAUBRY_SOURCE_SHARE
    AddOnce(folders, DAUBRY_SOURCE_SHARE);
#endif
    return folders;
}

std::vector<std::string> mtxShareFolders() {
    return mtxShareFolders(RunningExecutable());
}

std::string mtxFindShared(const std::string& name, const std::vector<std::string>& folders) {
    std::error_code error;
    for (const std::string& folder : folders) {
        fs::path candidate = fs::path(folder) / name;
        if (fs::exists(candidate, error)) return candidate.string();
    }
    return {};
}

std::string mtxShareFolder() {
    std::error_code error;
    for (const std::string& folder : mtxShareFolders())
        if (fs::is_directory(folder, error)) return folder;
    return {};
}

std::string mtxSampleLibraryFolder() {
    std::string folder = mtxFindShared("samples", mtxShareFolders());
    std::error_code error;
    return fs::is_directory(folder, error) ? folder : std::string();
}

std::string mtxDemoPhoto() {
    std::string photo = mtxFindShared("demo.png", mtxShareFolders());
    std::error_code error;
    return fs::is_regular_file(photo, error) ? photo : std::string();
}

std::string mtxDefaultSamples() {
    // One collection reads as a garden, all of them mixed as noise.
    std::string library = mtxSampleLibraryFolder();
    if (library.empty()) return library;
    std::error_code error;
    fs::path flowers = fs::path(library) / "flowers";
    return fs::is_directory(flowers, error) ? flowers.string() : library;
}

std::string mtxDefaultCollection() {
    std::string folder = mtxDefaultSamples();
    if (folder.empty()) return folder;
    fs::path file = fs::path(folder) / (fs::path(folder).filename().string() + ".msc");
    std::error_code error;
    return fs::is_regular_file(file, error) ? file.string() : std::string();
}
