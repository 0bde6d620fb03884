#include "platform/os_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace mtxOs {

int Open(const std::string& path, const OpenRequest& r) {
    int flags = r.read && r.write ? O_RDWR : (r.write ? O_WRONLY : O_RDONLY);
    if (r.create) flags |= O_CREAT;
    if (r.create && r.truncate) flags |= O_TRUNC;
    if (r.closeOnExec) flags |= O_CLOEXEC;
    if (r.writeThrough) flags |= O_DSYNC;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
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
