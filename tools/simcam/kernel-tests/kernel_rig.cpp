#include "kernel_rig.h"

#include <dirent.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include <fstream>
#include <thread>

#include <fmt/format.h>

#include "sim/sim_upgrade.h"
#include "simcam_cameras.h"
#include "video/sysfs_capture_devices.h"

namespace TVR::KernelTests {

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::string readSysfs(const std::string& path) {
    std::ifstream f(path);
    std::string s;
    std::getline(f, s);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

std::string kernelLocationOf(uint16_t vendorId, uint16_t productId) {
    DIR* d = ::opendir("/sys/bus/usb/devices");
    if (!d) return {};
    std::string found;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.find(':') != std::string::npos || name.rfind("usb", 0) == 0 || name[0] == '.') {
            continue;
        }
        const std::string base = "/sys/bus/usb/devices/" + name;
        if (readSysfs(base + "/idVendor") == fmt::format("{:04x}", vendorId) &&
            readSysfs(base + "/idProduct") == fmt::format("{:04x}", productId)) {
            found = name;
        }
    }
    ::closedir(d);
    return found;
}

std::optional<CaptureDevice> captureNodeAt(const std::string& location) {
    std::optional<CaptureDevice> found;
    waitFor([&] {
        SysfsCaptureDevices sysfs;
        found = findCaptureDevice(sysfs, location);
        return found.has_value();
    });
    return found;
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& environment) {
    std::string exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / program;
    if (!std::filesystem::exists(exe)) exe = program == "brisco-cli" ? TAVRO_BRISCO_CLI : program;
    std::string command = environment + (environment.empty() ? "" : " ") + "'" + exe + "'";
    for (const auto& a : args) command += " '" + a + "'";
    command += " 2>&1";
    ProgramRun run;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return run;
    char buf[4096];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) run.output.append(buf, n);
    const int status = ::pclose(p);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

KernelCamera::KernelCamera(uint32_t fx3Build) {
    cam = driver.addCamera(Simcam::withKernelUvcFunction({}));
    Sim::SimFirmwareConfig fw;
    fw.fx3Version = Sim::simVersionWithBuild(fw.fx3Version, fx3Build);
    firmware = std::make_shared<Sim::SimCameraFirmware>(fw);
    cam->setFirmware(firmware);
    Sim::SimUpgrade::install(driver, cam, {});
    host = std::make_unique<Simcam::SimcamHost>(driver);
    if (!host->start(error)) return;
    m_attached = waitFor([&] { return !kernelLocationOf(0x04B4, 0x00F1).empty(); });
    if (!m_attached) error = "the kernel did not enumerate the camera";
}

KernelCamera::~KernelCamera() {
    host->stop();
    // The next test starts with the port free and the device gone.
    waitFor([&] { return kernelLocationOf(0x04B4, 0x00F1).empty(); });
}

}  // namespace TVR::KernelTests
