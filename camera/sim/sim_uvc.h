#pragma once

// The UVC properties of a simulated camera's capture device: the camera-control and
// processing-amplifier sets, numbered by the platform's property enumerations, with the
// ranges, steps, defaults and capability flags of a typical UVC camera. Thread-safe.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

namespace TVR::Sim {

// Flag bits of a property's flags word, the platform's own values.
inline constexpr int32_t kSimUvcAuto = 0x1;
inline constexpr int32_t kSimUvcManual = 0x2;

enum class SimUvcSet { CameraControl, ProcAmp };

// Which property sets the capture device offers.
enum class SimUvcSets { Full, ProcAmpOnly, None };

struct SimUvcConfig {
    SimUvcSets sets = SimUvcSets::Full;
    uint32_t failFrom = 0;  // the failFrom-th and every later property call fails (0: never)
};

struct SimUvcProperty {
    int32_t min = 0;
    int32_t max = 0;
    int32_t step = 1;
    int32_t defaultValue = 0;
    int32_t caps = 0;
    int32_t value = 0;  // current setting
    int32_t flags = 0;
};

class SimUvcState {
public:
    explicit SimUvcState(SimUvcConfig config = {});

    bool offers(SimUvcSet set) const;
    // Every call below counts against the failure fault. Empty / false when the set is not
    // offered, the property is absent, the fault has struck, or (set) the value or flags are
    // refused: the value must lie in the range on a whole step from the minimum, the flags
    // must be a nonzero subset of the capabilities.
    std::optional<SimUvcProperty> property(SimUvcSet set, int32_t number);
    bool set(SimUvcSet set, int32_t number, int32_t value, int32_t flags);

    void setFailFrom(uint32_t call);  // counted from the next call; 0 clears the fault
    uint64_t calls() const;
    // Every property back to its default value and flags, as after power-up.
    void restoreDefaults();

private:
    using Table = std::map<int32_t, SimUvcProperty>;
    bool countCall();  // false when the call fails
    Table* table(SimUvcSet set);

    mutable std::mutex m_mutex;
    const SimUvcSets m_sets;
    uint64_t m_calls = 0;
    uint64_t m_failAt = 0;  // call number (from 1) from which calls fail; 0: never
    Table m_cameraControl;
    Table m_procAmp;
};

}  // namespace TVR::Sim
