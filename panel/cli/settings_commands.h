#pragma once

// brisco-cli read, load, push, get and set: the panel's whole-camera settings transfers and
// single-value transfers on the command line. A settings file is pushed exactly as the panel
// pushes it; the panel's questions are answered by flags.

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_session.h"

namespace TVR::Cli {

extern const char* const kReadHelp;
extern const char* const kLoadHelp;
extern const char* const kPushHelp;
extern const char* const kGetHelp;
extern const char* const kSetHelp;

// `args` are the command's own arguments; each returns the exit code.
int runRead(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
            std::ostream& err);
int runLoad(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
            std::ostream& err);
int runPush(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
            std::ostream& err);
int runGet(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
           std::ostream& err);
int runSet(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
           std::ostream& err);

}  // namespace TVR::Cli
