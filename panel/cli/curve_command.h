#pragma once

// brisco-cli curve: one colour-grading curve of the camera, printed as the 64 values its editor
// shows (hue shifts in degrees, saturation factors, luma steps), or replaced by 64 values read
// from a file. Values outside the curve's range are refused before the camera is written.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_session.h"

namespace TVR::Cli {

extern const char* const kCurveHelp;

struct CurveValuesParse {
    std::vector<double> values;  // exactly 64 when there is no error
    std::string error;
};

// 64 numbers separated by white space or line ends; "#" starts a comment that runs to the end
// of its line. Each must lie within minimum..maximum.
CurveValuesParse parseCurveValues(std::string_view text, double minimum, double maximum);

int runCurve(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
             std::ostream& err);

}  // namespace TVR::Cli
