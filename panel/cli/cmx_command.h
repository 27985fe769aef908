#pragma once

// brisco-cli cmx: the camera's colour correction matrix, printed as the camera holds it, or
// replaced by nine numbers or one of the panel's presets. Matrices the camera cannot hold are
// refused before the camera is opened.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_session.h"
#include "tools/cmx/cmx_model.h"

namespace TVR::Cli {

extern const char* const kCmxHelp;

struct CmxSetParse {
    std::optional<CmxMatrix> matrix;
    std::string error;
};

// "a b c; d e f; g h i" (three rows of three) or nine numbers separated by white space, each
// within the camera's range.
CmxSetParse parseCmxSet(std::string_view text);

int runCmx(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
           std::ostream& err);

}  // namespace TVR::Cli
