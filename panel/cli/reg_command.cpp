#include "reg_command.h"

#include <fmt/format.h>

#include "cli/cli_session.h"
#include "sensor/img_sensor.h"
#include "settings/preferences.h"

namespace TVR::Cli {

const char* const kRegHelp =
    "Usage: brisco-cli [--simulate] [--device N] reg fpga ADDR [VALUE]\n"
    "       brisco-cli [--simulate] [--device N] reg sensor ADDR [VALUE [MASK]]\n"
    "       brisco-cli [--simulate] [--device N] reg i2c8|i2c16 DEVICE ADDR [VALUE]\n"
    "Reads one register and prints its value, or writes VALUE to it. FPGA registers take\n"
    "8-bit addresses and values; sensor registers 16-bit addresses, and a write changes only\n"
    "the bits of MASK (default all). DEVICE is the I2C address in its 8-bit form; i2c8 takes\n"
    "8-bit register addresses, i2c16 16-bit ones. Numbers: 0x1F hexadecimal, 0b101 binary,\n"
    "017 octal, otherwise decimal.\n";

namespace {

constexpr uint32_t kByte = 0xFF;
constexpr uint32_t kWord = 0xFFFF;

// One numeric argument; false with the usage message written.
bool argument(std::ostream& err, const std::string& text, const char* what, uint32_t maximum,
              uint32_t& value, int& rc) {
    const auto n = parseConsoleNumberExact(text, maximum);
    if (!n) {
        rc = cliUsage(err, "reg",
                      fmt::format("{} takes 0 to 0x{:X}, not '{}'", what, maximum, text));
        return false;
    }
    value = *n;
    return true;
}

int readFailed(std::ostream& err, const std::string& what) {
    return cliFailure(err, fmt::format("reading {} failed", what));
}

int writeFailed(std::ostream& err, const std::string& what) {
    return cliFailure(err, fmt::format("writing {} failed", what));
}

}  // namespace

int runReg(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
           std::ostream& err) {
    if (args.empty()) return cliUsage(err, "reg", "fpga, sensor, i2c8 or i2c16 is needed");
    const std::string& space = args[0];
    int rc = kExitOk;
    uint32_t device = 0;
    uint32_t address = 0;
    uint32_t value = 0;
    uint32_t mask = kWord;
    bool write = false;
    if (space == "fpga") {
        if (args.size() < 2 || args.size() > 3)
            return cliUsage(err, "reg", "reg fpga ADDR [VALUE]");
        if (!argument(err, args[1], "ADDR", kByte, address, rc)) return rc;
        write = args.size() == 3;
        if (write && !argument(err, args[2], "VALUE", kByte, value, rc)) return rc;
    } else if (space == "sensor") {
        if (args.size() < 2 || args.size() > 4)
            return cliUsage(err, "reg", "reg sensor ADDR [VALUE [MASK]]");
        if (!argument(err, args[1], "ADDR", kWord, address, rc)) return rc;
        write = args.size() >= 3;
        if (write && !argument(err, args[2], "VALUE", kWord, value, rc)) return rc;
        if (args.size() == 4 && !argument(err, args[3], "MASK", kWord, mask, rc)) return rc;
        // A mask of 0 would turn the write into a read.
        if (write && mask == 0) return cliUsage(err, "reg", "MASK 0 writes nothing");
    } else if (space == "i2c8" || space == "i2c16") {
        if (args.size() < 3 || args.size() > 4) {
            return cliUsage(err, "reg", fmt::format("reg {} DEVICE ADDR [VALUE]", space));
        }
        if (!argument(err, args[1], "DEVICE", kByte, device, rc)) return rc;
        if (!argument(err, args[2], "ADDR", space == "i2c8" ? kByte : kWord, address, rc)) {
            return rc;
        }
        write = args.size() == 4;
        if (write && !argument(err, args[3], "VALUE", kByte, value, rc)) return rc;
    } else {
        return cliUsage(err, "reg",
                        fmt::format("fpga, sensor, i2c8 or i2c16 is needed, not '{}'", space));
    }

    CliSession cli(err, camera.log, false, camera.progress);
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    const auto lock = session.batch();
    ImgSensor& cam = session.camera();
    const auto print = [&](uint32_t v) { out << fmt::format("0x{:02X}\n", v); };

    if (space == "fpga") {
        const std::string what = fmt::format("FPGA register 0x{:02X}", address);
        if (write) {
            return cam.writeFpgaReg(static_cast<uint8_t>(address), static_cast<uint8_t>(value))
                       ? kExitOk
                       : writeFailed(err, what);
        }
        const auto v = cam.readFpgaReg(static_cast<uint8_t>(address));
        if (!v) return readFailed(err, what);
        print(*v);
        return kExitOk;
    }
    if (space == "sensor") {
        const std::string what = fmt::format("sensor register 0x{:04X}", address);
        if (write) {
            // The bridge write reports nothing itself; a failed request is counted.
            const uint64_t failedBefore = cam.failedRequests();
            cam.writeRegister(static_cast<uint16_t>(address), static_cast<uint16_t>(value),
                              static_cast<uint16_t>(mask));
            return cam.failedRequests() == failedBefore ? kExitOk : writeFailed(err, what);
        }
        uint16_t v = 0;
        if (!cam.readRegister(static_cast<uint16_t>(address), v)) return readFailed(err, what);
        print(v);
        return kExitOk;
    }
    const std::string what =
        fmt::format("register 0x{:02X} of I2C device 0x{:02X}", address, device);
    const auto dev = static_cast<uint8_t>(device);
    if (space == "i2c8") {
        if (write) {
            return cam.i2cWrite8(dev, static_cast<uint8_t>(address), static_cast<uint8_t>(value))
                       ? kExitOk
                       : writeFailed(err, what);
        }
        const auto v = cam.i2cRead8(dev, static_cast<uint8_t>(address));
        if (!v) return readFailed(err, what);
        print(*v);
        return kExitOk;
    }
    if (write) {
        return cam.i2cWrite16(dev, static_cast<uint16_t>(address), static_cast<uint8_t>(value))
                   ? kExitOk
                   : writeFailed(err, what);
    }
    const auto v = cam.i2cRead16(dev, static_cast<uint16_t>(address));
    if (!v) return readFailed(err, what);
    print(*v);
    return kExitOk;
}

}  // namespace TVR::Cli
