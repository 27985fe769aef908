#pragma once

// A fresh folder for the files and trees the inputs describe, removed when the fuzzer exits.
// It lives in memory where the system offers a tmpfs: on a disk, creating and removing a tree
// per input would leave the fuzzer waiting on the file system.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"

namespace TavroFuzz {

// The fields of a described tree's lines ("a|b|c"), empty ones kept.
inline std::vector<std::string> split(std::string_view s, char at) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = s.find(at, start);
        parts.emplace_back(s.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name) {
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path base =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / (name + "-XXXXXX")).string();
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
        m_path = fs::canonical(pattern);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace TavroFuzz
