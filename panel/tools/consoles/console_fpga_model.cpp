#include "console_fpga_model.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "console_commands.h"
#include "sensor/img_sensor.h"
#include "settings/preferences.h"

namespace TVR {

namespace {

constexpr uint8_t kFreeReadCode = 0x00;
constexpr uint8_t kFreeWriteCode = 0xFF;

const ConsoleCommand& catalogueRow(size_t row) {
    const auto rows = consoleCommands();
    return rows[std::min(row, rows.size() - 1)];
}

}  // namespace

ConsoleFpgaModel::ConsoleFpgaModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, consoleFpgaControls()) {}

bool ConsoleFpgaModel::fakeRawVideoAvailable() {
    const NamedControl& row = controls().front();
    return camera().connected() &&
           camera().cameraValueAvailable(static_cast<int>(row.address.number));
}

FpgaConsoleRow ConsoleFpgaModel::row(size_t index) {
    const ConsoleCommand& c = catalogueRow(index);
    FpgaConsoleRow r;
    r.dangerous = c.dangerous();
    r.description = r.dangerous ? std::string(kDangerZone) + std::string(c.description)
                                : std::string(c.description);
    r.request = fmt::format("0x{:02X}", c.requestCode());
    r.length = std::to_string(c.length);
    r.freeRequest = c.requestCode() == kFreeReadCode || c.requestCode() == kFreeWriteCode;
    return r;
}

bool ConsoleFpgaModel::asksBeforeRun(size_t index, bool warnDangerous) {
    return warnDangerous && catalogueRow(index).dangerous();
}

FpgaConsoleRun ConsoleFpgaModel::run(size_t index, std::string_view request, std::string_view value,
                                     std::string_view indexText, std::string_view length,
                                     int32_t base) {
    const ConsoleCommand& c = catalogueRow(index);
    const auto code = static_cast<uint8_t>(parseConsoleNumber(request, base));
    std::optional<uint32_t> v;
    if (!value.empty()) v = static_cast<uint32_t>(parseConsoleNumber(value, base));
    const auto wIndex = static_cast<uint16_t>(parseConsoleNumber(indexText, base));
    const int64_t bytes = parseConsoleNumber(length, base);
    const ConsolePlan plan = planConsoleCommand(c, code, v, wIndex, bytes);

    FpgaConsoleRun out;
    if (!plan.accepted) {
        out.errorText = plan.errorText;
        out.errorTitle = plan.errorTitle;
        return out;
    }
    std::vector<uint8_t> buffer(plan.request.readLength, 0);
    {
        std::optional<CameraWork::Batch> batch;
        if (work() != nullptr) batch.emplace(work()->batch());
        out.success = camera().vendorRequest(plan.request.code, plan.request.write,
                                             plan.request.wValue, plan.request.wIndex, buffer);
    }
    out.sent = true;
    // A failed read transferred nothing; its zeroed buffer is not shown as the camera's bytes.
    if (!out.success) buffer.clear();
    out.output = consoleOutcomeText(out.success, buffer);
    return out;
}

}  // namespace TVR
