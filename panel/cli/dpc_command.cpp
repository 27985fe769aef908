#include "dpc_command.h"

#include <fmt/format.h>

#include <chrono>
#include <optional>
#include <thread>

#include "cli/cli_app.h"
#include "sensor/img_sensor.h"
#include "session/camera_session.h"
#include "tools/dpc/auto_dpc_calibration_model.h"
#include "tools/dpc/calibrate_dpc_model.h"

namespace TVR::Cli {

const char* const kDpcCalibrateHelp =
    "Usage: brisco-cli [--simulate] [--device N] dpc-calibrate [--manual THRESHOLD]\n"
    "Searches the lowest DPC (defective pixel cancellation) threshold for which the camera\n"
    "detects fewer than 4095 defective pixels, printing one line per threshold tried, and\n"
    "leaves the camera set at it. With --manual, runs one calibration with THRESHOLD (0 to\n"
    "255) instead. Prints \"The threshold is now set at T with N detected pixels\" at the end.\n"
    "Exit code 1 when no threshold fits or the camera reported no pixel count.\n";

namespace {

int runAutomatic(CameraSession& session, std::ostream& out, std::ostream& err) {
    AutoDpcCalibrationModel model(session.store(), session.camera());
    model.setWork(&session.work());
    model.finishInitialisation();
    {
        auto held = session.batch();
        model.readState();
    }
    model.opened();
    if (!model.buttonEnabled()) return cliFailure(err, "the camera is not connected");
    model.setStepObserver([&out](const DpcStep& step) {
        out << fmt::format("Threshold {}: {} pixels (range {}..{})\n", step.threshold, step.count,
                           step.lower, step.upper)
            << std::flush;
    });
    model.pressButton();
    // The panel's own timer period, so a step waits as long as in the window.
    while (model.timerActive()) {
        std::this_thread::sleep_for(
            std::chrono::milliseconds(AutoDpcCalibrationModel::kTimerPeriodMs));
        model.tick();
    }
    const std::optional<DpcRunMessage> message = model.takeMessage();
    if (!message) return cliFailure(err, "the calibration did not start");
    if (!message->fits) return cliFailure(err, message->text);
    out << message->text << '\n';
    return kExitOk;
}

int runManual(CameraSession& session, int threshold, std::ostream& out, std::ostream& err) {
    CalibrateDpcModel model(session.store(), session.camera());
    model.setWork(&session.work());
    model.finishInitialisation();
    if (!model.run(threshold)) return cliFailure(err, "the calibration could not be started");
    while (model.timerActive()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(CalibrateDpcModel::kTimerPeriodMs));
        model.tick();
    }
    if (model.timedOut()) {
        return cliFailure(err, fmt::format("the camera reported no pixel count for the threshold "
                                           "{}: Error running DPC calibration",
                                           threshold));
    }
    out << fmt::format("The threshold is now set at {} with {} detected pixels\n", threshold,
                       model.pixelCount());
    return kExitOk;
}

}  // namespace

int runDpcCalibrate(const std::vector<std::string>& args, const CameraChoice& camera,
                    std::ostream& out, std::ostream& err) {
    std::optional<int> manual;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--manual") {
            if (i + 1 >= args.size()) {
                return cliUsage(err, "dpc-calibrate", "--manual needs a threshold");
            }
            const auto n = parseWholeNumber(args[++i], 0, kDpcMaxThreshold);
            if (!n) {
                return cliUsage(err, "dpc-calibrate",
                                fmt::format("--manual takes 0 to 255, not '{}'", args[i]));
            }
            manual = static_cast<int>(*n);
        } else {
            return cliUsage(err, "dpc-calibrate", fmt::format("unknown argument '{}'", a));
        }
    }
    CliSession cli(err, camera.log, false, camera.progress);
    int rc = kExitOk;
    if (!cli.open(camera, rc)) return rc;
    return manual ? runManual(cli.session(), *manual, out, err)
                  : runAutomatic(cli.session(), out, err);
}

}  // namespace TVR::Cli
