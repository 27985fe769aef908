#include "settings/safe_file_write.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "file_test_support.h"
#include "settings/qcf_file.h"
#include "test_support.h"

namespace TVR {
namespace {

namespace fs = std::filesystem;
using TestSupport::entriesIn;
using TestSupport::giveToUnprivileged;
using TestSupport::PipeReader;
using TestSupport::readBytes;
using TestSupport::runUnprivileged;
using TestSupport::statOf;
using TestSupport::unprivilegedUser;
using TestSupport::writeBytes;

template <typename Result>
std::string resultLine(const Result& r) {
    return std::string(r.ok ? "ok" : "failed") + ": " + r.message + "\n";
}

TEST(SafeFileWrite, ARegularFileIsReplacedWholeWithItsModeOwnerAndHardLinks) {
    TestSupport::TempFolder dir;

    // A reader that has the old file open keeps reading the old content, and the new file is
    // as private as the old one.
    const std::string privateFile = dir.file("private.qcf");
    writeBytes(privateFile, "old");
    ASSERT_EQ(::chmod(privateFile.c_str(), 0600), 0);
    const int reader = ::open(privateFile.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(safeFileWrite(privateFile, "new content"));
    char old[8] = {};
    EXPECT_EQ(::read(reader, old, sizeof old), 3);
    EXPECT_STREQ(old, "old");
    ::close(reader);
    EXPECT_EQ(readBytes(privateFile), "new content");
    EXPECT_EQ(statOf(privateFile).st_mode & 07777, 0600u);

    // Two names of one file stay one file.
    const std::string first = dir.file("first.qcf");
    const std::string second = dir.file("second.qcf");
    writeBytes(first, "a much longer old content than the new one");
    ASSERT_EQ(::link(first.c_str(), second.c_str()), 0);
    ASSERT_TRUE(safeFileWrite(second, "short"));
    EXPECT_EQ(readBytes(first), "short");
    EXPECT_EQ(statOf(first).st_ino, statOf(second).st_ino);
    EXPECT_EQ(statOf(first).st_nlink, 2u);

    // A file that belongs to someone else still does after root saved it.
    if (::geteuid() == 0) {
        const std::string theirs = dir.file("theirs.qcf");
        writeBytes(theirs, "old");
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(theirs.c_str(), 0640), 0);
        ASSERT_TRUE(safeFileWrite(theirs, "new"));
        const struct stat st = statOf(theirs);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
    }

    // A new file gets the mode every new file of the user gets.
    const mode_t umask = ::umask(027);
    const FileWriteResult created = safeFileWrite(dir.file("new.qcf"), "x");
    ::umask(umask);
    ASSERT_TRUE(created) << created.message;
    EXPECT_EQ(statOf(dir.file("new.qcf")).st_mode & 07777, 0640u);
    EXPECT_EQ(entriesIn(dir.path()), 5u) << "no temporary file is left behind";
}

TEST(SafeFileWrite, LinksAreFollowedToTheFileTheyNameAndStayLinks) {
    TestSupport::TempFolder dir;
    fs::create_directories(dir.path() / "real");
    fs::create_directories(dir.path() / "links");
    const std::string target = dir.file("real/camera.qcf");
    writeBytes(target, "old");
    // links/outer -> ../inner -> real/camera.qcf, both relative to the folder holding them.
    fs::create_symlink("real/camera.qcf", dir.path() / "inner");
    fs::create_symlink("../inner", dir.path() / "links/outer");

    ASSERT_TRUE(safeFileWrite(dir.file("links/outer"), "new"));
    EXPECT_EQ(readBytes(target), "new");
    EXPECT_EQ(fs::read_symlink(dir.path() / "inner"), "real/camera.qcf");
    EXPECT_EQ(fs::read_symlink(dir.path() / "links/outer"), "../inner");
    EXPECT_EQ(entriesIn(dir.path() / "real"), 1u);
    EXPECT_EQ(entriesIn(dir.path() / "links"), 1u);

    // A link to a file that does not exist yet creates that file.
    fs::create_symlink("real/later.qcf", dir.path() / "later");
    ASSERT_TRUE(safeFileWrite(dir.file("later"), "made"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "later"));
    EXPECT_EQ(readBytes(dir.file("real/later.qcf")), "made");

    // Links in a circle lead nowhere.
    fs::create_symlink("loop2", dir.path() / "loop1");
    fs::create_symlink("loop1", dir.path() / "loop2");
    EXPECT_FALSE(safeFileWrite(dir.file("loop1"), "x"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "loop1"));

    // The settings file's own message names the file and the reason.
    const SettingsResult folder = replaceFileContents(dir.file("real"), "x");
    EXPECT_EQ(folder.message,
              "Can't save the settings file [" + dir.file("real") + "]: it is a folder");
}

TEST(SafeFileWrite, PipesDevicesAndStandardOutputAreWrittenDirectly) {
    TestSupport::TempFolder dir;
    const std::string text = "; Camera configuration\r\nD.OV_EXPOSURE=12\r\n";

    // A link to a named pipe, as /dev/stdout is when the output goes into a pipe.
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, dir.path() / "stdout");
    {
        PipeReader reader(fifo);
        ASSERT_TRUE(safeFileWrite(dir.file("stdout"), text));
        EXPECT_EQ(reader.readAll(), text);
    }
    EXPECT_TRUE(fs::is_symlink(dir.path() / "stdout"));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(entriesIn(dir.path()), 2u);

    // /proc/self/fd/N names an open pipe that has no path at all.
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    fs::create_symlink("/proc/self/fd/" + std::to_string(fds[1]), dir.path() / "fd");
    ASSERT_TRUE(safeFileWrite(dir.file("fd"), text));
    ::close(fds[1]);
    std::string piped(text.size() + 1, '\0');
    EXPECT_EQ(::read(fds[0], piped.data(), piped.size()), static_cast<ssize_t>(text.size()));
    ::close(fds[0]);
    EXPECT_EQ(piped.substr(0, text.size()), text);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "fd"));

    // A terminal is a character device.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    const int slave = ::open(terminal.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    termios raw{};
    ASSERT_EQ(::tcgetattr(slave, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(slave, TCSANOW, &raw), 0);
    ASSERT_TRUE(safeFileWrite(terminal, text));
    std::string shown;
    while (shown.size() < text.size()) {
        char c[256];
        const ssize_t n = ::read(master, c, std::min(sizeof c, text.size() - shown.size()));
        ASSERT_GT(n, 0);
        shown.append(c, static_cast<size_t>(n));
    }
    EXPECT_EQ(shown, text);
    ::close(slave);
    ::close(master);

    // "-" is standard output.
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    std::fflush(stdout);
    const int savedStdout = ::dup(STDOUT_FILENO);
    ASSERT_GE(savedStdout, 0);
    ASSERT_EQ(::dup2(fds[1], STDOUT_FILENO), STDOUT_FILENO);
    const FileWriteResult toStdout = safeFileWrite("-", text);
    ::dup2(savedStdout, STDOUT_FILENO);
    ::close(savedStdout);
    ::close(fds[1]);
    EXPECT_TRUE(toStdout) << toStdout.message;
    std::fill(piped.begin(), piped.end(), '\0');
    EXPECT_EQ(::read(fds[0], piped.data(), piped.size()), static_cast<ssize_t>(text.size()));
    ::close(fds[0]);
    EXPECT_EQ(piped.substr(0, text.size()), text);
    EXPECT_FALSE(fs::exists("-"));
}

TEST(SafeFileWrite, WhatTheUserMayNotWriteIsRefusedAndAReadOnlyFolderIsWrittenInPlace) {
    TestSupport::TempFolder dir;
    // The user's own folder, where a rename would succeed.
    const fs::path mine = TestSupport::unprivilegedFolderIn(dir.path());
    const std::string locked = (mine / "locked.qcf").string();
    writeBytes(locked, "keep");
    giveToUnprivileged(locked);
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    const std::string lockedLink = (mine / "link.qcf").string();
    fs::create_symlink("locked.qcf", lockedLink);
    giveToUnprivileged(lockedLink);
    const ino_t lockedInode = statOf(locked).st_ino;
    // A folder the user may not write, with a file the user may.
    const fs::path shared = dir.path() / "shared";
    fs::create_directory(shared);
    const std::string open = (shared / "open.qcf").string();
    writeBytes(open, "an old content longer than the new");
    giveToUnprivileged(open);
    const ino_t openInode = statOf(open).st_ino;
    fs::permissions(shared, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);

    const auto results = runUnprivileged([&] {
        return resultLine(replaceFileContents(locked, "new")) +
               resultLine(safeFileWrite(lockedLink, "new")) +
               resultLine(safeFileWrite(open, "in place")) +
               resultLine(safeFileWrite((shared / "new.qcf").string(), "new"));
    });
    ASSERT_TRUE(results) << "the child could not run as user " << unprivilegedUser().uid;
    EXPECT_EQ(*results, "failed: Can't save the settings file [" + locked +
                            "]: it is write-protected\n"
                            "failed: it is write-protected\n"
                            "ok: \n"
                            "failed: Permission denied\n");
    EXPECT_EQ(readBytes(locked), "keep");
    EXPECT_EQ(statOf(locked).st_ino, lockedInode);
    EXPECT_EQ(statOf(locked).st_mode & 07777, 0444u);
    EXPECT_TRUE(fs::is_symlink(lockedLink));
    EXPECT_EQ(entriesIn(mine), 2u);
    EXPECT_EQ(readBytes(open), "in place");
    EXPECT_EQ(statOf(open).st_ino, openInode);
    EXPECT_EQ(statOf(open).st_uid, unprivilegedUser().uid);
    EXPECT_EQ(entriesIn(shared), 1u);
}

TEST(SafeFileWrite, AWriteInPlaceThatFindsNoRoomLeavesTheOldContent) {
    TestSupport::TempFolder dir;
    const std::string file = dir.file("linked.qcf");
    const std::string old(1000, 'o');
    writeBytes(file, old);
    ASSERT_EQ(::link(file.c_str(), dir.file("other.qcf").c_str()), 0);

    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto* handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const FileWriteResult r = safeFileWrite(file, std::string(100000, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);

    EXPECT_FALSE(r);
    EXPECT_EQ(r.message, "File too large");
    EXPECT_EQ(readBytes(dir.file("other.qcf")), old);
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

}  // namespace
}  // namespace TVR
