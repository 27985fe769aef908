#include "media/capture_backend.h"

#include <cstdlib>

#include "media/synthetic/synthetic_backend.h"

namespace OLK {

CaptureBackend::~CaptureBackend() = default;

std::shared_ptr<CaptureBackend> makeCaptureBackend() {
    const char* settings = std::getenv("OLK_SYNTHETIC");
    if (settings == nullptr) return makeV4l2Backend("/dev");
    SyntheticConfig config;
    std::string error;
    if (!SyntheticConfig::parse(settings, &config, &error)) config = SyntheticConfig();
    return std::make_shared<SyntheticBackend>(config);
}

}  // namespace OLK
