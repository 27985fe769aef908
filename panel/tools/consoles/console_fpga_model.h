#pragma once

// The FPGA console's stored value: the "fake" raw video switch. The console's register commands
// live elsewhere; this is its part in the whole-camera transfers.

#include "settings/table_value_owner.h"

namespace TVR {

class ConsoleFpgaModel : public TableValueOwner {
public:
    ConsoleFpgaModel(SettingsStore& store, ImgSensor& camera);

    // The switch is offered only by firmware that has its channel.
    bool fakeRawVideoAvailable();
};

}  // namespace TVR
