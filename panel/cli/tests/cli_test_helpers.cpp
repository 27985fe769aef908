#include "cli_test_helpers.h"

#include <stdlib.h>
#include <fstream>
#include <sstream>

#include "cli_app.h"

namespace TVR::Cli {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisco-cli-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (m_path.empty()) return;
    // A test may leave a folder read-only.
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::string TempFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = file(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

CliRun runCliWith(const std::vector<std::string>& args, const char* sim) {
    setenv("TAVRO_SIM", sim, 1);
    setenv("TAVRO_DOWNLOAD_SERVER", "http://127.0.0.1:1/", 1);
    std::ostringstream out, err;
    CliRun r;
    r.rc = runCli(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace TVR::Cli
