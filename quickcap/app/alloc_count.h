#pragma once

#include <cstdint>

namespace OLK {
// Allocations made through operator new since the program started.
uint64_t allocationCount();
}  // namespace OLK
