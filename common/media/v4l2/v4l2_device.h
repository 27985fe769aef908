#pragma once

// V4L2 capture nodes: enumeration, mode catalogue, mmap streaming and the /dev watcher.

#include <memory>
#include <string>
#include <vector>

#include "media/media_objects.h"

namespace OLK {

// Capture nodes (video capture with streaming; metadata-only nodes are skipped) below dir.
std::vector<std::shared_ptr<Activate>> enumV4l2Devices(const std::string& dir);

}  // namespace OLK
