#include "sim_options.h"

#include <charconv>
#include <chrono>
#include <cstdlib>

#include <fmt/format.h>

#include "protocol/vendor_requests.h"
#include "sim/sim_driver.h"
#include "usb/usb_ids.h"

namespace TVR::Sim {

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool number(const std::string& v, int64_t lo, int64_t hi, int64_t& out) {
    int64_t n = 0;
    const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec != std::errc{} || p != v.data() + v.size() || n < lo || n > hi) return false;
    out = n;
    return true;
}

SimOptionKey numberKey(const char* name, int64_t lo, int64_t hi,
                       std::function<void(int64_t, SimSetup&)> set) {
    return SimOptionKey{
        name, fmt::format("{}-{}", lo, hi),
        [lo, hi, set = std::move(set)](const std::string& v, SimSetup& s, std::string& err) {
            int64_t n = 0;
            if (!number(v, lo, hi, n)) {
                err = fmt::format("expected a whole number {}-{}", lo, hi);
                return false;
            }
            set(n, s);
            return true;
        }};
}

SimOptionKey textKey(const char* name, std::function<void(const std::string&, SimSetup&)> set) {
    return SimOptionKey{name, "text",
                        [set = std::move(set)](const std::string& v, SimSetup& s, std::string&) {
                            set(v, s);
                            return true;
                        }};
}

// A number in decimal or with a 0x prefix in hexadecimal.
bool anyBaseNumber(const std::string& v, int64_t lo, int64_t hi, int64_t& out) {
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        int64_t n = 0;
        const char* b = v.data() + 2;
        const auto [p, ec] = std::from_chars(b, v.data() + v.size(), n, 16);
        if (ec != std::errc{} || p != v.data() + v.size() || n < lo || n > hi) return false;
        out = n;
        return true;
    }
    return number(v, lo, hi, out);
}

// An 8-bit-form I²C address: even, and not the FPGA's own.
bool busAddress(const std::string& v, uint8_t& out, std::string& err) {
    int64_t n = 0;
    if (!anyBaseNumber(v, 2, 0xFE, n) || (n & 1) != 0 || n == kFpgaI2cAddress) {
        err = "expected an even 8-bit I2C address 0x02-0xFE other than the FPGA's 0x06";
        return false;
    }
    out = static_cast<uint8_t>(n);
    return true;
}

SimOptionKey buildKey(const char* name, uint32_t SimFirmwareConfig::*word) {
    return numberKey(name, 0, kMaxSimBuild, [word](int64_t n, SimSetup& s) {
        s.firmware.*word = simVersionWithBuild(s.firmware.*word, uint32_t(n));
    });
}

bool applyI2cDevice(const std::string& v, SimSetup& s, std::string& err) {
    if (v == "none") {
        s.firmware.i2cDevices.clear();
        return true;
    }
    const size_t colon = v.find(':');
    SimI2cDeviceConfig dev;
    if (!busAddress(v.substr(0, colon), dev.address, err)) return false;
    if (colon != std::string::npos) {
        const std::string bits = v.substr(colon + 1);
        if (bits != "8" && bits != "16") {
            err = "register address width must be 8 or 16";
            return false;
        }
        dev.registerBits = bits == "16" ? 16 : 8;
    }
    s.firmware.i2cDevices.push_back(dev);
    return true;
}

bool applyFaults(const std::string& v, SimSetup& s, std::string& err) {
    bool erase = false;
    bool crc = false;
    size_t pos = 0;
    while (pos <= v.size()) {
        const size_t end = std::min(v.find(',', pos), v.size());
        const std::string item = trim(v.substr(pos, end - pos));
        pos = end + 1;
        if (item == "erase") {
            erase = true;
        } else if (item == "crc") {
            crc = true;
        } else if (item != "none") {
            err = "expected none, erase, crc or a comma-separated list";
            return false;
        }
    }
    s.upgrade.eraseError = erase;
    s.upgrade.crcError = crc;
    return true;
}

}  // namespace

const std::vector<SimOptionKey>& builtinSimKeys() {
    static const std::vector<SimOptionKey> keys{
        numberKey("cameras", 0, 16, [](int64_t n, SimSetup& s) { s.cameras = unsigned(n); }),
        SimOptionKey{"usb", "2|3",
                     [](const std::string& v, SimSetup& s, std::string& err) {
                         if (v != "2" && v != "3") {
                             err = "expected 2 or 3";
                             return false;
                         }
                         s.camera.usbVersion = v == "2" ? 2 : 3;
                         return true;
                     }},
        numberKey("latency_us", 0, 10'000'000,
                  [](int64_t n, SimSetup& s) { s.faults.latencyUs = uint32_t(n); }),
        numberKey("fail_after", 0, 1'000'000'000,
                  [](int64_t n, SimSetup& s) { s.faults.failAfter = int32_t(n); }),
        numberKey("stall", 0, 1'000'000,
                  [](int64_t n, SimSetup& s) { s.faults.stallNext = uint32_t(n); }),
        numberKey("corrupt", 0, 1'000'000,
                  [](int64_t n, SimSetup& s) { s.faults.corruptNext = uint32_t(n); }),
        numberKey("unplug_after", 0, 1'000'000'000,
                  [](int64_t n, SimSetup& s) { s.faults.unplugAfter = int32_t(n); }),
        numberKey("replug_ms", 0, 600'000,
                  [](int64_t n, SimSetup& s) { s.faults.replugMs = int32_t(n); }),
        numberKey("arrive_ms", 0, 600'000,
                  [](int64_t n, SimSetup& s) { s.arriveMs = int32_t(n); }),
        textKey("name", [](const std::string& v, SimSetup& s) { s.camera.friendlyName = v; }),
        textKey("serial", [](const std::string& v, SimSetup& s) { s.camera.serial = v; }),
        textKey("audio", [](const std::string& v, SimSetup& s) { s.camera.audioName = v; }),
        buildKey("fx3", &SimFirmwareConfig::fx3Version),
        buildKey("fpga", &SimFirmwareConfig::fpgaVersion),
        SimOptionKey{"sensor", "OV9713|OV9714|OV9750|OV9755|OV10823|OV13850|OV48C40|none",
                     [](const std::string& v, SimSetup& s, std::string& err) {
                         const auto chip = simSensorChipFromName(v);
                         if (!chip) {
                             err = "unknown sensor chip";
                             return false;
                         }
                         s.firmware.sensor = *chip;
                         return true;
                     }},
        SimOptionKey{"sensor_addr", "0x20|0x6C",
                     [](const std::string& v, SimSetup& s, std::string& err) {
                         return busAddress(v, s.firmware.sensorAddress, err);
                     }},
        SimOptionKey{"i2c", "0x50|0x50:16|none", applyI2cDevice},
        numberKey("dpc_ms", 0, 600'000,
                  [](int64_t n, SimSetup& s) { s.firmware.dpcDelayMs = uint32_t(n); }),
        numberKey("dpc_fit", 0, 256, [](int64_t n, SimSetup& s) { s.firmware.dpcFit = int(n); }),
        numberKey("reset_ms", 0, 60'000,
                  [](int64_t n, SimSetup& s) { s.upgrade.resetMs = uint32_t(n); }),
        numberKey("erase_ms", 0, 60'000,
                  [](int64_t n, SimSetup& s) { s.upgrade.eraseMs = uint32_t(n); }),
        numberKey("config_ms", 0, 60'000,
                  [](int64_t n, SimSetup& s) { s.upgrade.configStageMs = uint32_t(n); }),
        SimOptionKey{"flash", "valid|invalid",
                     [](const std::string& v, SimSetup& s, std::string& err) {
                         if (v != "valid" && v != "invalid") {
                             err = "expected valid or invalid";
                             return false;
                         }
                         s.upgrade.flashValid = v == "valid";
                         return true;
                     }},
        SimOptionKey{"fault", "none|erase|crc|erase,crc", applyFaults},
        numberKey("unplug_write", 0, 1'000'000'000,
                  [](int64_t n, SimSetup& s) { s.upgrade.unplugAtWrite = int32_t(n); }),
        numberKey("stall_write", 0, 1'000'000'000,
                  [](int64_t n, SimSetup& s) { s.upgrade.stallAtWrite = int32_t(n); }),
        numberKey("corrupt_readback", 0, 1'000'000'000,
                  [](int64_t n, SimSetup& s) { s.upgrade.corruptReadbacks = int32_t(n); }),
        SimOptionKey{"uvc", "full|procamp|none",
                     [](const std::string& v, SimSetup& s, std::string& err) {
                         if (v == "full") {
                             s.camera.uvc.sets = SimUvcSets::Full;
                         } else if (v == "procamp") {
                             s.camera.uvc.sets = SimUvcSets::ProcAmpOnly;
                         } else if (v == "none") {
                             s.camera.uvc.sets = SimUvcSets::None;
                         } else {
                             err = "expected full, procamp or none";
                             return false;
                         }
                         return true;
                     }},
        numberKey("uvc_fail", 1, 1'000'000'000,
                  [](int64_t n, SimSetup& s) { s.camera.uvc.failFrom = uint32_t(n); }),
    };
    return keys;
}

bool parseSimOptions(const std::string& simOptions, std::span<const SimOptionKey> extraKeys,
                     SimSetup& setup, std::string& error) {
    std::vector<const SimOptionKey*> keys;
    for (const auto& k : builtinSimKeys()) keys.push_back(&k);
    for (const auto& k : extraKeys) keys.push_back(&k);

    size_t pos = 0;
    while (pos <= simOptions.size()) {
        const size_t end = std::min(simOptions.find(';', pos), simOptions.size());
        const std::string item = trim(simOptions.substr(pos, end - pos));
        pos = end + 1;
        if (item.empty()) continue;
        const size_t eq = item.find('=');
        const std::string key = trim(item.substr(0, eq));
        if (eq == std::string::npos) {
            error = fmt::format("TAVRO_SIM: '{}' needs a value (key=value)", key);
            return false;
        }
        const std::string value = trim(item.substr(eq + 1));
        const SimOptionKey* found = nullptr;
        for (const auto* k : keys) {
            if (k->name == key) found = k;
        }
        if (!found) {
            std::string known;
            for (const auto* k : keys) known += (known.empty() ? "" : ", ") + k->name;
            error = fmt::format("TAVRO_SIM: unknown key '{}' (known: {})", key, known);
            return false;
        }
        std::string why;
        if (!found->apply(value, setup, why)) {
            error = fmt::format("TAVRO_SIM: bad value '{}' for {} ({}; accepted: {})", value, key,
                                why, found->accepted);
            return false;
        }
    }
    return true;
}

std::unique_ptr<SimDriver> simDriverFromOptions(const std::string& simOptions,
                                                std::span<const SimOptionKey> extraKeys,
                                                std::string& error) {
    SimSetup setup;
    if (!parseSimOptions(simOptions, extraKeys, setup, error)) return nullptr;
    return simDriverFromSetup(std::move(setup));
}

std::unique_ptr<SimDriver> simDriverFromSetup(SimSetup setup) {
    auto driver = std::make_unique<SimDriver>();
    // A camera without a program in its flash is found running the boot loader.
    if (!setup.upgrade.flashValid) setup.camera.productId = kBootLoaderProductId;
    for (unsigned i = 0; i < setup.cameras; ++i) {
        auto cam = driver->addCamera(setup.camera);
        cam->setFaults(setup.faults);
        SimFirmwareConfig fw = setup.firmware;
        fw.usbVersion = setup.camera.usbVersion;
        cam->setFirmware(std::make_shared<SimCameraFirmware>(std::move(fw)));
        SimUpgrade::install(*driver, cam, setup.upgrade);
        for (const auto& step : setup.perCamera) step(*cam);
    }
    if (setup.arriveMs >= 0) {
        // Cameras plugged in while a program runs, for the programs that wait for them.
        for (const auto& cam : driver->cameras()) {
            driver->unplug(cam);
            driver->plugAfter(cam, std::chrono::milliseconds(setup.arriveMs));
        }
    }
    return driver;
}

std::unique_ptr<SimDriver> simDriverFromOptions(const std::string& simOptions, std::string& error) {
    return simDriverFromOptions(simOptions, {}, error);
}

std::unique_ptr<SimDriver> simDriverFromEnvironment(std::span<const SimOptionKey> extraKeys,
                                                    std::string& error) {
    const char* simOptions = std::getenv("TAVRO_SIM");
    return simDriverFromOptions(simOptions ? simOptions : "", extraKeys, error);
}

}  // namespace TVR::Sim
