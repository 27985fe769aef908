#include "file_test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace TVR::TestSupport {

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

size_t entriesIn(const std::filesystem::path& folder) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                             std::filesystem::directory_iterator{}));
}

namespace {
constexpr uid_t kNobody = 65534;
constexpr int kPipeBytes = 1 << 20;
}  // namespace

TestUser unprivilegedUser() {
    if (::geteuid() != 0) return {::geteuid(), ::getegid()};
    return {kNobody, kNobody};
}

void giveToUnprivileged(const std::string& path) {
    const TestUser user = unprivilegedUser();
    EXPECT_EQ(::lchown(path.c_str(), user.uid, user.gid), 0) << path;
}

std::optional<std::string> runUnprivileged(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    std::fflush(nullptr);  // or the child writes the parent's buffered output again
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(fds[0]);
        const TestUser user = unprivilegedUser();
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(user.gid, user.gid, user.gid) != 0 ||
             ::setresuid(user.uid, user.uid, user.uid) != 0)) {
            ::_exit(2);
        }
        const std::string text = body();
        for (size_t at = 0; at < text.size();) {
            const ssize_t n = ::write(fds[1], text.data() + at, text.size() - at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ::_exit(3);
            at += static_cast<size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

PipeReader::PipeReader(const std::string& fifo)
    : m_fd(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
    EXPECT_GE(m_fd, 0) << fifo;
    EXPECT_GE(::fcntl(m_fd, F_SETPIPE_SZ, kPipeBytes), kPipeBytes);
}

PipeReader::~PipeReader() {
    if (m_fd >= 0) ::close(m_fd);
}

std::string PipeReader::readAll() {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // no writer left, or one that is still open has nothing more
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

std::filesystem::path unprivilegedFolderIn(const std::filesystem::path& parent) {
    namespace fs = std::filesystem;
    fs::permissions(parent, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    const fs::path mine = parent / "mine";
    fs::create_directory(mine);
    giveToUnprivileged(mine.string());
    return mine;
}

}  // namespace TVR::TestSupport
