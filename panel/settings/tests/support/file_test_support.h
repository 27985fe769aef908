#pragma once

// What the tests of file writing share: a user the kernel holds to file permissions, and a
// named pipe read back without a thread.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace TVR::TestSupport {

// The link itself, not what it names; a failed call fails the test.
struct stat statOf(const std::string& path);
// How many entries a folder holds (left-over temporary files show here).
size_t entriesIn(const std::filesystem::path& folder);

// Permission checks act as a user the kernel holds to them: nobody when the tests run as root
// (root may write anything), otherwise the user running them.
struct TestUser {
    uid_t uid;
    gid_t gid;
};
TestUser unprivilegedUser();
// Hands `path` to that user (nothing changes when the tests do not run as root).
void giveToUnprivileged(const std::string& path);
// A folder "mine" in `parent` that belongs to that user; `parent` becomes readable by all.
std::filesystem::path unprivilegedFolderIn(const std::filesystem::path& parent);
// Runs `body` in a forked child as that user; what it returned, or nullopt when the child
// could not change user or did not finish.
std::optional<std::string> runUnprivileged(const std::function<std::string()>& body);

// The reading end of a named pipe, opened before any writer so that opening it for writing
// never blocks; it buffers up to 1 MiB.
class PipeReader {
public:
    explicit PipeReader(const std::string& fifo);
    ~PipeReader();
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;
    // What writers that have closed the pipe wrote.
    std::string readAll();

private:
    int m_fd = -1;
};

}  // namespace TVR::TestSupport
