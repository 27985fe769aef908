#include "cli_test_helpers.h"

#include <stdlib.h>
#include <sstream>

#include "cli_app.h"

namespace TVR::Cli {

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
