#pragma once

// Runs brisco-cli in-process over string streams, with TAVRO_SIM set for the run.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace TVR::Cli {

struct CliRun {
    int rc = -1;
    std::string out;
    std::string err;
};

// The download server defaults to a closed local port, so no test reaches a real server.
// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    // Writes the bytes to a file of the folder; its path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path m_path;
};

std::string slurp(const std::string& path);

CliRun runCliWith(const std::vector<std::string>& args, const char* sim = "cameras=1");

}  // namespace TVR::Cli
