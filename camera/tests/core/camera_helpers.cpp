#include "camera_helpers.h"

namespace TVR::CameraTest {

Sim::SimFirmwareConfig firmwareConfig(uint32_t fx3Build, uint32_t fpgaBuild,
                                      Sim::SimSensorChip chip, uint8_t sensorAddress) {
    Sim::SimFirmwareConfig config;
    config.fx3Version = Sim::simVersionWithBuild(config.fx3Version, fx3Build);
    config.fpgaVersion = Sim::simVersionWithBuild(config.fpgaVersion, fpgaBuild);
    config.sensor = chip;
    config.sensorAddress = sensorAddress;
    config.dpcDelayMs = 1;
    return config;
}

SimRig::SimRig(Sim::SimFirmwareConfig config)
    : camera(driver.addCamera()),
      firmware(std::make_shared<Sim::SimCameraFirmware>(std::move(config))) {
    camera->setFirmware(firmware);
}

std::vector<Sim::SetupPacket> SimRig::vendorRequests() const {
    std::vector<Sim::SetupPacket> out;
    for (const auto& r : camera->requests()) {
        if (r.kind == Sim::SimRequestRecord::Kind::Control &&
            (r.setup.bmRequestType & 0x60) == 0x40) {
            out.push_back(r.setup);
        }
    }
    return out;
}

std::vector<Sim::SimRequestRecord> SimRig::bulkRequests() const {
    std::vector<Sim::SimRequestRecord> out;
    for (const auto& r : camera->requests()) {
        if (r.kind == Sim::SimRequestRecord::Kind::Bulk) out.push_back(r);
    }
    return out;
}

DebugCapture::DebugCapture() {
    m_previous = setDebugSink([this](std::string_view text) {
        std::lock_guard lock(m_mutex);
        m_texts.emplace_back(text);
    });
}

DebugCapture::~DebugCapture() { setDebugSink(m_previous); }

std::vector<std::string> DebugCapture::texts() const {
    std::lock_guard lock(m_mutex);
    return m_texts;
}

}  // namespace TVR::CameraTest
