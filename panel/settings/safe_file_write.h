#pragma once

// Writing a whole file so that a save never replaces what it should not: settings files and
// firmware images go through here. Any thread may call it.

#include <string>
#include <string_view>

namespace TVR {

// The name that stands for standard output.
inline constexpr std::string_view kStandardOutputName = "-";

struct FileWriteResult {
    bool ok = false;
    // Why the write failed ("it is write-protected", "No space left on device"); the caller
    // names the file in its own message.
    std::string message;
    explicit operator bool() const { return ok; }
};

// Makes `bytes` the whole content of `path`:
// - a file the user may not write (as the kernel decides for the effective user) is refused
//   and left as it was;
// - "-" is standard output; named pipes and character devices are written directly;
// - symbolic links (chains, relative ones) are followed: the file they lead to is written and
//   the links stay;
// - a regular file is written to a temporary file beside it, flushed to disk, given the old
//   file's mode and owner and renamed over it, so a reader sees the old or the new content;
// - a file with more than one hard link, or in a folder the user may not write, is rewritten
//   in place, so the links stay one file and the folder is not needed.
// A failed write leaves no temporary file behind.
FileWriteResult safeFileWrite(const std::string& path, std::string_view bytes);

}  // namespace TVR
