#pragma once

// What the test programs above the camera library share: temporary folders and one simulated
// camera opened on an ImgSensor, as every page, transfer and window test needs it.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"

namespace TVR {

// The texts of the log's messages from index `from` on (tests of every layer look there).
std::vector<std::string> messagesSince(const ApiLog& log, size_t from);

}  // namespace TVR

namespace TVR::TestSupport {

// A fresh folder under the system's temporary folder, removed with everything in it (also
// when a test left part of it read-only).
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    // Writes the bytes to a file of the folder; its path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path m_path;
};

// Polls `done` every millisecond until it holds or `limit` passed: camera threads (plugging,
// re-enumeration) bring it about; the bound only keeps a broken camera from hanging a test.
bool eventually(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(10));

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// The simulated cameras of a TAVRO_SIM text ("sensor=OV10823", "cameras=0", ...), the first
// opened on `sensor` with the 50 ms control time-out and no real waiting, and its request log
// and I²C write list cleared. The sensor records into the rig's own `log`.
struct SimCameraRig {
    explicit SimCameraRig(const std::string& simOptions = "");

    ApiLog log;
    std::unique_ptr<Sim::SimDriver> driver;
    std::shared_ptr<Sim::SimCamera> simCamera;
    std::shared_ptr<Sim::SimCameraFirmware> firmware;
    std::unique_ptr<ImgSensor> sensor;
};

}  // namespace TVR::TestSupport
