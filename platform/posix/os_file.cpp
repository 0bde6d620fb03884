#include "platform/os_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace mtxOs {

int Open(const std::string& path, const OpenRequest& r) {
    int flags = r.read && r.write ? O_RDWR : (r.write ? O_WRONLY : O_RDONLY);
    if (r.create) flags |= O_CREAT;
    if (r.create && r.truncate) flags |= O_TRUNC;
    if (r.closeOnExec) flags |= O_CLOEXEC;
    if (r.writeThrough) flags |= O_DSYNC;
    // Opening a FIFO for reading waits for a writer; without blocking the open returns at once,
    // and the descriptor is refused below before anything waits on it.
    if (r.regularOnly) flags |= O_NONBLOCK | O_NOCTTY;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 && r.regularOnly) {
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            return -1;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    if (fd >= 0 && IsDirectory(path)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    // Unlinking an open file keeps it alive until its last descriptor closes.
    if (fd >= 0 && r.deleteOnClose) ::unlink(path.c_str());
    if (fd >= 0 && r.sequentialHint) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (fd >= 0 && r.randomHint) ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
    return fd;
}

int Close(int handle) {
    return ::close(handle);
}
int Duplicate(int handle) {
    return ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
}

int64_t Seek(int handle, int64_t offset, int origin) {
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    return ::lseek(handle, offset, whence);
}

int64_t Size(int handle) {
    struct stat st;
    return ::fstat(handle, &st) == 0 ? st.st_size : -1;
}

int64_t Read(int handle, void* buffer, uint64_t count) {
    auto* p = static_cast<unsigned char*>(buffer);
    uint64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(handle, p + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done ? static_cast<int64_t>(done) : -1;
        if (n == 0) break;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t Write(int handle, const void* buffer, uint64_t count) {
    auto* p = static_cast<const unsigned char*>(buffer);
    uint64_t done = 0;
    while (done < count) {
        ssize_t n = ::write(handle, p + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return done ? static_cast<int64_t>(done) : -1;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool Truncate(int handle, int64_t length) {
    return ::ftruncate(handle, length) == 0;
}
bool Sync(int handle) {
    // Pipes, sockets and character devices hold nothing to store (EINVAL, and
    // EROFS on some file systems); their writes already said whether they
    // succeeded.
    return ::fsync(handle) == 0 || errno == EINVAL || errno == EROFS;
}

bool LockRange(int handle, uint64_t offset, uint64_t length, bool lock) {
    struct flock fl = {};
    int mode = ::fcntl(handle, F_GETFL);
    fl.l_type = !lock ? F_UNLCK : ((mode & O_ACCMODE) == O_RDONLY ? F_RDLCK : F_WRLCK);
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    return ::fcntl(handle, F_SETLK, &fl) == 0;
}

bool Remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectories(const std::string& path) {
    if (path.empty() || IsDirectory(path)) return true;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes, syncs and closes the temporary file (closed in every case); false (errno kept) on
// the first failure.
bool FillTemporary(int fd, const void* bytes, uint64_t size) {
    bool ok =
        (size == 0 || Write(fd, bytes, size) == static_cast<int64_t>(size)) && ::fsync(fd) == 0;
    int saved = errno;
    if (::close(fd) != 0 && ok) return false;
    errno = saved;
    return ok;
}

// A new file beside path under a name no other file has, created with mode (the process's
// umask applies when the file is new); its name goes to temporary.
int CreateBeside(const std::string& path, mode_t mode, std::string& temporary) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", unsigned(random()));
        temporary = path + suffix;
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool ReplaceFile(const std::string& given, const void* bytes, uint64_t size) {
    // A link stays a link: the file it points at is the one replaced.
    std::string path = given;
    struct stat old;
    if (::lstat(path.c_str(), &old) == 0 && S_ISLNK(old.st_mode)) {
        char* target = ::realpath(given.c_str(), nullptr);
        if (!target) return false;
        path = target;
        std::free(target);
    }
    bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        errno = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    std::string temporary;
    int fd = CreateBeside(path, exists ? (old.st_mode & 07777) : 0666, temporary);
    if (fd < 0) return false;
    // Permissions as the old file's, which the umask may have narrowed at creation.
    bool ok = !exists || ::fchmod(fd, old.st_mode & 07777) == 0;
    if (!ok) ::close(fd);
    if (!ok || !FillTemporary(fd, bytes, size) || ::rename(temporary.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return false;
    }
    // The rename is durable only once the folder's entry is on disk.
    int folder = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return false;
    bool synced = ::fsync(folder) == 0;
    int saved = errno;
    ::close(folder);
    errno = saved;
    return synced;
}

void IgnoreFileSizeSignal() {
    ::signal(SIGXFSZ, SIG_IGN);
}

std::string CurrentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string FullPath(const std::string& path) {
    std::string joined = !path.empty() && path[0] == '/' ? path : CurrentDirectory() + "/" + path;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos) end = joined.size();
        std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& part : parts) out += "/" + part;
    if (out.empty()) out.push_back('/');
    // A trailing separator names a directory; keep it as the caller gave it.
    if (joined.size() > 1 && joined.back() == '/' && out != "/") out += "/";
    return out;
}

bool IsTerminal(std::FILE* stream) {
    return stream && isatty(fileno(stream)) == 1;
}

bool CanCreateIn(const std::string& folder) {
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

int ProcessId() {
    return int(getpid());
}

bool ProcessRunning(int pid) {
    // Signal 0 only checks: EPERM means the process exists but is not ours.
    return pid > 0 && (kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

int LastError() {
    return errno;
}

std::string ErrorText(int error) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text;
}

}  // namespace mtxOs
