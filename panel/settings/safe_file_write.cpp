#include "safe_file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace TVR {
namespace fs = std::filesystem;

namespace {

// The kernel gives up on longer chains with the same error.
constexpr int kMaxLinkHops = 40;
constexpr unsigned kTemporaryNameAttempts = 16;

std::string errnoText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

FileWriteResult failed(int error) { return {false, errnoText(error)}; }

FileWriteResult writeRefused(int error) {
    if (error == EACCES || error == EPERM) return {false, "it is write-protected"};
    return failed(error);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    void reset(int fd) {
        close();
        m_fd = fd;
    }
    // Closes now; the error of a close that lost buffered data, or 0.
    int close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int m_fd;
};

// 0, or the errno of the write that failed.
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t chunk = std::min<size_t>(bytes.size(), size_t{1} << 30);
        const ssize_t n = ::write(fd, bytes.data(), chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

std::string folderOf(const std::string& file) {
    const fs::path parent = fs::path(file).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Follows `path` through its symbolic links the way open() would; the last name may not exist
// yet (a dangling link names the file to create). 0 or an errno.
int resolveLinks(const std::string& path, std::string& resolved) {
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) return errno;
            resolved = current;
            return 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            resolved = current;
            return 0;
        }
        std::error_code ec;
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) return ec.value();
        // A relative link is relative to the folder that holds it.
        current = (link.is_absolute() ? link : fs::path(current).parent_path() / link).string();
    }
    return ELOOP;
}

// Pipes and devices take the bytes as they come: there is nothing to replace.
FileWriteResult writeThrough(const std::string& path, std::string_view bytes) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) return writeRefused(errno);
    if (const int e = writeAll(fd.get(), bytes)) return failed(e);
    if (const int e = fd.close()) return failed(e);
    return {true, {}};
}

FileWriteResult rewriteInPlace(const std::string& path, const struct stat& old,
                               std::string_view bytes) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) return writeRefused(errno);
    // Room first: a full disk or a size limit then fails before the old content is touched.
    const auto size = static_cast<off_t>(bytes.size());
    if (size > old.st_size && ::fallocate(fd.get(), 0, old.st_size, size - old.st_size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        return failed(errno);
    }
    if (const int e = writeAll(fd.get(), bytes)) return failed(e);
    if (::ftruncate(fd.get(), size) != 0 || ::fsync(fd.get()) != 0) return failed(errno);
    if (const int e = fd.close()) return failed(e);
    return {true, {}};
}

// A name no other save uses at the same time: several panels may save into one folder.
std::string temporaryName(const std::string& target, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    return fmt::format("{}.{:x}-{:x}-{}.tmp", target, static_cast<uint64_t>(stamp),
                       counter.fetch_add(1), attempt);
}

// A file beside the target that is removed unless it was renamed over the target.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        m_fd.close();
        if (!m_name.empty()) ::unlink(m_name.c_str());
    }

    // `mode` before the umask. 0 or an errno.
    int create(const std::string& target, mode_t mode) {
        int error = 0;
        for (unsigned attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
            const std::string name = temporaryName(target, attempt);
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd >= 0) {
                m_fd.reset(fd);
                m_name = name;
                return 0;
            }
            error = errno;
            if (error != EEXIST) break;
        }
        return error;
    }

    int fd() const { return m_fd.get(); }

    // Flushes the bytes to disk and renames the file over `target`. 0 or an errno.
    int commit(const std::string& target) {
        if (::fsync(m_fd.get()) != 0) return errno;
        if (const int e = m_fd.close()) return e;
        if (::rename(m_name.c_str(), target.c_str()) != 0) return errno;
        m_name.clear();
        return 0;
    }

private:
    FileDescriptor m_fd;
    std::string m_name;
};

// The rename is on disk only once the folder is; a failure here loses nothing already written.
void syncFolder(const std::string& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::fsync(fd.get());
}

bool mayReplaceInstead(int error) { return error == EACCES || error == EPERM || error == EROFS; }

FileWriteResult createNew(const std::string& target, std::string_view bytes) {
    TemporaryFile tmp;
    // A new file gets the mode any new file of the user gets (the umask applies).
    if (const int e = tmp.create(target, 0666)) return failed(e);
    if (const int e = writeAll(tmp.fd(), bytes)) return failed(e);
    if (const int e = tmp.commit(target)) return failed(e);
    syncFolder(folderOf(target));
    return {true, {}};
}

FileWriteResult replaceExisting(const std::string& target, const struct stat& old,
                                std::string_view bytes) {
    // Root may write anything; everyone else is asked what the kernel would allow them, since
    // a rename in a writable folder would replace a file they may not write.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return writeRefused(errno);
    const std::string folder = folderOf(target);
    if (old.st_nlink > 1 || ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return rewriteInPlace(target, old, bytes);
    }
    {
        TemporaryFile tmp;
        // Private until it has the old file's mode: the old file may be private too.
        int e = tmp.create(target, 0600);
        if (e == 0) {
            e = writeAll(tmp.fd(), bytes);
            if (e != 0) return failed(e);
            // Owner before mode: a change of owner clears the set-id bits. Only root may give
            // the file away; others keep the group where they belong to it.
            if (::fchown(tmp.fd(), old.st_uid, old.st_gid) != 0 && errno == EPERM &&
                ::fchown(tmp.fd(), static_cast<uid_t>(-1), old.st_gid) != 0) {
                // Not in the file's group either: the new file has the user's own.
            }
            if (::fchmod(tmp.fd(), old.st_mode & 07777) != 0) return failed(errno);
            e = tmp.commit(target);
            if (e == 0) {
                syncFolder(folder);
                return {true, {}};
            }
        }
        // A sticky folder, a file mounted over, a security policy: the folder refuses what the
        // file allows, so the file is rewritten where it is.
        if (!mayReplaceInstead(e) && e != EBUSY) return failed(e);
    }
    return rewriteInPlace(target, old, bytes);
}

}  // namespace

FileWriteResult safeFileWrite(const std::string& path, std::string_view bytes) {
    if (path.empty()) return {false, "the file name is empty"};
    if (path == kStandardOutputName) {
        if (const int e = writeAll(STDOUT_FILENO, bytes)) return failed(e);
        return {true, {}};
    }
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return failed(errno);
    if (exists && S_ISDIR(st.st_mode)) return {false, "it is a folder"};
    if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) return writeThrough(path, bytes);
    if (exists && !S_ISREG(st.st_mode)) {
        return {false, "it is neither a file, a named pipe nor a character device"};
    }

    std::string target;
    if (const int e = resolveLinks(path, target)) return failed(e);
    if (!exists) return createNew(target, bytes);
    struct stat resolved {};
    if (::lstat(target.c_str(), &resolved) != 0 || resolved.st_dev != st.st_dev ||
        resolved.st_ino != st.st_ino) {
        // A link that names no path (/proc/self/fd/N of a deleted file): the file is reached
        // only through the link itself.
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
            return writeRefused(errno);
        }
        return rewriteInPlace(path, st, bytes);
    }
    return replaceExisting(target, resolved, bytes);
}

}  // namespace TVR
