#pragma once

#include <functional>
#include <ostream>

#include "app/command_line.h"

namespace OLK {

// Runs the whole pipeline without windows (both presenters render off-screen) for the given
// time and prints its figures one per line. Returns the process exit code.
int runBench(const CommandLine& options, std::ostream& out, std::ostream& err,
             const std::function<uint64_t()>& allocations);

}  // namespace OLK
