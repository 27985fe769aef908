// Reads arbitrary bytes as a settings file. The decoded text is valid UTF-8, every parsed entry
// has a key and a type, the typed getters answer for every key, and writing the parsed values
// and reading them back gives the same values.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "apilog.h"
#include "fuzz_check.h"
#include "settings/qcf_file.h"
#include "settings/settings_store.h"
#include "settings/text_decode.h"
#include "usb/utf_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = TVR::decodeUtf8OrLatin1(bytes);
    FUZZ_CHECK(TVR::isValidUtf8(text));
    FUZZ_CHECK(text.size() >= bytes.size() && text.size() <= 2 * bytes.size());

    const TVR::SettingsStore::Values values = TVR::parseQcfText(text);
    for (const auto& [key, value] : values) {
        FUZZ_CHECK(!key.empty());
        FUZZ_CHECK(key.find('=') == std::string::npos && key.find('\n') == std::string::npos);
        FUZZ_CHECK(value.type != TVR::SettingType::Unset);
        FUZZ_CHECK(value.text.find('\n') == std::string::npos);
    }

    TVR::ApiLog log;
    TVR::SettingsStore store(log);
    store.replaceAll(values);
    FUZZ_CHECK(store.size() == values.size());
    for (const auto& entry : values) {
        (void)store.getInt(entry.first);
        (void)store.getBool(entry.first);
        (void)store.getReal(entry.first, 0.0);
        (void)store.getString(entry.first);
    }
    FUZZ_CHECK(!store.dirty());

    const std::string written = TVR::qcfText(values);
    FUZZ_CHECK(TVR::parseQcfText(written) == values);
    return 0;
}
