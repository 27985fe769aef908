#pragma once

// The technical report of the camera open now: its USB identification and descriptors, the
// sensor chip ID and the system-information report, as one text. Window thread, holding the
// camera's work while it reads.

#include <string>
#include <string_view>

#include "settings/table_value_owner.h"

namespace TVR {

inline constexpr std::string_view kTechInfoNotReady =
    "Cannot get the details - USB device is not ready";

// The whole report, lines ending "\r\n".
std::string devTechInfoText(ImgSensor& camera);

class DevTechInfoModel : public TableValueOwner {
public:
    DevTechInfoModel(SettingsStore& store, ImgSensor& camera);

    // Makes the report again.
    void readState() override;
    void loadFromStore() override {}
    // The report last made; the not-ready line before any.
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

}  // namespace TVR
