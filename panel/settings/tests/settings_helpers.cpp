#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "settings_test_helpers.h"
#include "sim_options.h"

namespace TVR::SettingsTest {
namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name =
        info ? std::string(info->test_suite_name()) + "." + info->name() : std::string("settings");
    m_path =
        fs::temp_directory_path() / ("tvr-settings-" + name + "-" + std::to_string(::getpid()) +
                                     "-" + std::to_string(counter++));
    fs::remove_all(m_path);
    fs::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    // A test may leave a folder read-only.
    for (const auto& entry : fs::recursive_directory_iterator(m_path, ec)) {
        if (entry.is_directory(ec)) fs::permissions(entry.path(), fs::perms::owner_all, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, ec);
    fs::remove_all(m_path, ec);
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> messagesSince(const ApiLog& log, size_t from) {
    std::vector<std::string> out;
    const size_t first = log.firstMessageIndex();
    for (size_t i = std::max(from, first); i < first + log.messageCount(); ++i) {
        if (auto m = log.message(i)) out.push_back(m->text);
    }
    return out;
}

CameraRig::CameraRig(const std::string& spec) {
    std::string error;
    driver = Sim::simDriverFromSpec(spec, {}, error);
    EXPECT_TRUE(driver) << error;
    simCamera = driver->cameras().at(0);
    firmware = std::dynamic_pointer_cast<Sim::SimCameraFirmware>(simCamera->firmware());
    EXPECT_TRUE(firmware);
    sensor = std::make_unique<ImgSensor>(*driver, false, 50);
    sensor->setWaitFunction([](uint32_t) {});
    EXPECT_TRUE(sensor->selectDevice(0));
    simCamera->clearRequests();
    firmware->clearI2cWrites();
}

}  // namespace TVR::SettingsTest
