#pragma once

// brisco-cli prefs: the panel's preferences as the panel stores them, listed, read one by one
// and changed from the command line.

#include <ostream>
#include <string>
#include <vector>

namespace TVR {
class ApiLog;
}  // namespace TVR

namespace TVR::Cli {

extern const char* const kPrefsHelp;

// `args` are the command's own arguments; a stored value is reported to `log`. The exit code.
int runPrefs(const std::vector<std::string>& args, ApiLog& log, std::ostream& out,
             std::ostream& err);

}  // namespace TVR::Cli
