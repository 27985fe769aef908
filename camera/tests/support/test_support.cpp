#include "test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "apilog.h"
#include "sim/sim_options.h"

namespace TVR {

std::vector<std::string> messagesSince(const ApiLog& log, size_t from) {
    std::vector<std::string> out;
    const size_t first = log.firstMessageIndex();
    for (size_t i = std::max(from, first); i < first + log.messageCount(); ++i) {
        if (auto m = log.message(i)) out.push_back(m->text);
    }
    return out;
}

}  // namespace TVR

namespace TVR::TestSupport {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tvr-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    EXPECT_FALSE(m_path.empty()) << "no temporary folder";
}

TempFolder::~TempFolder() {
    if (m_path.empty()) return;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(m_path, ec)) {
        if (entry.is_directory(ec)) fs::permissions(entry.path(), fs::perms::owner_all, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, ec);
    fs::remove_all(m_path, ec);
}

std::string TempFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = file(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
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

SimCameraRig::SimCameraRig(const std::string& simOptions) {
    std::string error;
    driver = Sim::simDriverFromOptions(simOptions, {}, error);
    EXPECT_TRUE(driver) << error;
    if (!driver) return;
    if (!driver->cameras().empty()) {
        simCamera = driver->cameras().at(0);
        firmware = std::dynamic_pointer_cast<Sim::SimCameraFirmware>(simCamera->firmware());
    }
    sensor = std::make_unique<ImgSensor>(*driver, log, false, kControlTimeoutMs);
    sensor->setWaitFunction([](uint32_t) {});
    if (simCamera) {
        EXPECT_TRUE(sensor->selectDevice(0));
        simCamera->clearRequests();
        if (firmware) firmware->clearI2cWrites();
    }
}

}  // namespace TVR::TestSupport
