#include "app/document/recovery_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "fill/project_file.h"
#include "platform/folder.h"
#include "platform/os_file.h"
#include "platform/thread_priority.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "recovery-";
constexpr const char* kSuffix = ".daubry";

// The process id in a recovery file's name, or 0 for any other name.
// temporary tells a file the writer had not finished (the name the file
// layer gives while it writes: the file's name, a dot, hex digits, ".tmp").
int OwnerOf(const std::string& name, bool& temporary) {
    const std::string prefix = kPrefix, suffix = kSuffix;
    if (name.compare(0, prefix.size(), prefix) != 0) return 0;
    size_t end = name.find(suffix, prefix.size());
    if (end == std::string::npos) return 0;
    std::string rest = name.substr(end + suffix.size());
    temporary = !rest.empty();
    if (temporary &&
        (rest.size() < 6 || rest[0] != '.' || rest.compare(rest.size() - 4, 4, ".tmp") ||
         !std::all_of(rest.begin() + 1, rest.end() - 4, ::isxdigit)))
        return 0;
    std::string digits = name.substr(prefix.size(), end - prefix.size());
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), ::isdigit))
        return 0;
    return std::atoi(digits.c_str());
}

bool SamePicture(mtxImage& a, mtxImage& b) {
    if (a.width != b.width || a.height != b.height || a.IsEmpty() || b.IsEmpty()) return false;
    for (int y = 0; y < a.height; ++y)
        if (std::memcmp(a.Row(y), b.Row(y), size_t(a.width) * sizeof(mtxColor)) != 0) return false;
    return true;
}

// The PNG bytes of the last copy go to the next one where its photo and
// samples are the same: only the log is new each time.
void TakeEncoded(mtxProject& from, mtxProject& to) {
    if (from.samples.size() != to.samples.size() || !SamePicture(from.photo, to.photo)) return;
    for (size_t i = 0; i < to.samples.size(); ++i)
        if (from.samples[i]->path != to.samples[i]->path ||
            !SamePicture(from.samples[i]->picture, to.samples[i]->picture))
            return;
    to.photoPng = std::move(from.photoPng);
    for (size_t i = 0; i < to.samples.size(); ++i)
        to.samples[i]->png = std::move(from.samples[i]->png);
}

}  // namespace

std::string mtxRecoveryFile::DefaultFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return std::string(state) + "/daubry";
    return mtxOs::HomeFolder() + "/.local/state/daubry";
}

std::vector<std::string> mtxRecoveryFile::Left(const std::string& folder) {
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    std::error_code error;
    std::vector<std::string> halfWritten;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        bool temporary = false;
        int owner = OwnerOf(entry.path().filename().string(), temporary);
        if (!owner || owner == mtxOs::ProcessId() || mtxOs::ProcessRunning(owner)) continue;
        if (!entry.is_regular_file(error)) continue;
        if (temporary) {
            halfWritten.push_back(entry.path().string());
            continue;
        }
        found.emplace_back(entry.last_write_time(error), entry.path().string());
    }
    // What a program ended in the middle of writing is of no use.
    for (const std::string& path : halfWritten) mtxOs::Remove(path);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a > b; });
    std::vector<std::string> paths;
    for (auto& item : found) paths.push_back(item.second);
    return paths;
}

mtxRecoveryFile::mtxRecoveryFile(const std::string& folder)
    : folder_(folder),
      path_(folder + "/" + kPrefix + std::to_string(mtxOs::ProcessId()) + kSuffix),
      thread_([this] { Run(); }) {}

mtxRecoveryFile::~mtxRecoveryFile() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        waiting_.reset();
        cancel_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void mtxRecoveryFile::Write(std::unique_ptr<mtxProject> project) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = std::move(project);
    }
    wake_.notify_all();
}

void mtxRecoveryFile::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !waiting_ && !busy_; });
}

void mtxRecoveryFile::Remove() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.reset();
        cancel_ = busy_;
    }
    Wait();
    cancel_ = false;
    mtxOs::Remove(path_);
}

int mtxRecoveryFile::Adopt(const std::string& left) {
    Remove();
    std::error_code error;
    fs::rename(left, path_, error);
    return error ? 0 : 1;
}

std::string mtxRecoveryFile::LastError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

uint64_t mtxRecoveryFile::Written() {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

void mtxRecoveryFile::Run() {
    // The copies are written while the window fills: the first one encodes
    // the photo, which must not take a core from the filling.
    mtxOs::LowerThreadPriority();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || waiting_; });
        if (quit_) break;
        std::unique_ptr<mtxProject> project = std::move(waiting_);
        busy_ = true;
        lock.unlock();
        std::string error;
        if (last_) TakeEncoded(*last_, *project);
        // The folder may have been removed since the last write.
        mtxOs::MakeDirectories(folder_);
        int saved = mtxProjectFile::Save(*project, path_, error, &cancel_);
        last_ = std::move(project);
        last_->log.Clear();  // only its pictures serve again
        lock.lock();
        busy_ = false;
        error_ = saved || cancel_ ? std::string() : error;
        written_ += saved ? 1 : 0;
        idle_.notify_all();
    }
    busy_ = false;
    idle_.notify_all();
}
