// Writes the seed corpus of fuzz-usb-descriptors: the simulated camera's own USB 2 and USB 3
// descriptors, each behind the byte that chooses its parser.
//   usb-descriptor-seeds <folder>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sim/sim_camera.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The parser choices of the fuzz target.
constexpr uint8_t kConfigHighSpeed = 0;
constexpr uint8_t kConfigSuperSpeed = 1;
constexpr uint8_t kBos = 2;
constexpr uint8_t kString = 3;
constexpr uint8_t kDevice = 4;

constexpr uint8_t kDescIad = 11;

bool write(const std::string& folder, const std::string& name, uint8_t parser, const Bytes& b) {
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.put(static_cast<char>(parser));
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    out.close();
    if (!out) std::fprintf(stderr, "usb-descriptor-seeds: cannot write %s\n", name.c_str());
    return static_cast<bool>(out);
}

// The configuration up to the video function: the vendor interface with its bulk endpoints
// only, made of standard descriptors alone.
Bytes vendorInterfaceOnly(const Bytes& config) {
    size_t end = config.empty() ? 0 : config[0];
    while (end + 1 < config.size() && config[end] != 0 && config[end + 1] != kDescIad) {
        end += config[end];
    }
    Bytes b(config.begin(), config.begin() + static_cast<std::ptrdiff_t>(end));
    b[2] = static_cast<uint8_t>(b.size() & 0xFF);
    b[3] = static_cast<uint8_t>(b.size() >> 8);
    b[4] = 1;
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: usb-descriptor-seeds <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    TVR::Sim::SimCameraConfig usb2;
    usb2.usbVersion = 2;
    const TVR::Sim::SimCamera high(usb2);
    const TVR::Sim::SimCamera super;

    bool ok = write(folder, "usb2-device", kDevice, high.deviceDescriptor());
    ok = write(folder, "usb2-config", kConfigHighSpeed, high.configDescriptor()) && ok;
    ok = write(folder, "usb3-device", kDevice, super.deviceDescriptor()) && ok;
    ok = write(folder, "usb3-config", kConfigSuperSpeed, super.configDescriptor()) && ok;
    ok = write(folder, "usb3-config-vendor", kConfigSuperSpeed,
               vendorInterfaceOnly(super.configDescriptor())) &&
         ok;
    ok = write(folder, "usb3-bos", kBos, super.bosDescriptor()) && ok;
    ok = write(folder, "string-languages", kString, super.stringDescriptor(0)) && ok;
    ok = write(folder, "string-manufacturer", kString, super.stringDescriptor(1)) && ok;
    ok = write(folder, "string-product", kString, super.stringDescriptor(2)) && ok;
    ok = write(folder, "string-serial", kString, super.stringDescriptor(3)) && ok;
    return ok ? 0 : 1;
}
