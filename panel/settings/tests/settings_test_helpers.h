#pragma once

// Temporary folders, a simulated camera and log inspection for the settings tests.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "apilog.h"
#include "control_transfer.h"
#include "sensor/img_sensor.h"
#include "settings_store.h"
#include "sim_driver.h"
#include "sim_firmware.h"

namespace TVR::SettingsTest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
// The texts of the log's messages from index `from` on.
std::vector<std::string> messagesSince(const ApiLog& log, size_t from);

// One simulated camera, connected, with a store whose messages go to a private log.
struct CameraRig : ControlHost {
    // `spec` as in TAVRO_SIM, for example "sensor=OV10823".
    explicit CameraRig(const std::string& spec = "");
    SettingsStore& settings() override { return store; }
    ImgSensor& camera() override { return *sensor; }
    int updateCounter() const override { return updating; }
    std::span<const NamedControl> controls() const override { return table; }
    std::vector<std::string> newMessages() const { return messagesSince(log, mark); }
    void markLog() { mark = log.firstMessageIndex() + log.messageCount(); }

    ApiLog log;
    SettingsStore store{&log};
    std::unique_ptr<Sim::SimDriver> driver;
    std::shared_ptr<Sim::SimCamera> simCamera;
    std::shared_ptr<Sim::SimCameraFirmware> firmware;
    std::unique_ptr<ImgSensor> sensor;
    std::span<const NamedControl> table;
    int updating = 0;
    size_t mark = 0;
};

}  // namespace TVR::SettingsTest
