// Arbitrary bytes as the panel's preferences file (the INI file that stands in for the
// registry). Reading never throws a value away silently: an entry is either taken or reported
// as failed and left at its default. What was read is written and read back unchanged, stored
// window positions are placed on a monitor, and the old window positions are migrated only
// into an empty geometry group.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "apilog.h"
#include "fuzz_check.h"
#include "scratch_folder.h"
#include "settings/preferences.h"
#include "settings/preferences_storage.h"

namespace {

namespace fs = std::filesystem;

const fs::path& folder() {
    static const TavroFuzz::ScratchFolder scratch("tvr-fuzz-prefs");
    return scratch.path();
}

// Settings files are cached by name inside Qt; a fresh name per input keeps inputs apart.
std::string freshFile() {
    static unsigned long counter = 0;
    return (folder() / ("Webcam tools " + std::to_string(++counter) + ".conf")).string();
}

bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool sameValue(const TVR::Preference& a, const TVR::Preference& b) {
    return a.name == b.name && a.numeric == b.numeric && a.number == b.number && a.text == b.text;
}

void checkRead(const TVR::PreferencesReadResult& result, const TVR::Preferences& read) {
    const TVR::Preferences defaults;
    const auto entries = read.entries();
    const auto initial = defaults.entries();
    FUZZ_CHECK(entries.size() == initial.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        size_t reported = 0;
        for (const auto& name : result.failed) reported += name == entries[i].name ? 1 : 0;
        FUZZ_CHECK(reported <= 1);
        if (result.storageError || reported == 1) FUZZ_CHECK(sameValue(entries[i], initial[i]));
        FUZZ_CHECK(entries[i].numeric ? entries[i].text.empty() : entries[i].number == 0);
    }
    // Every failure names an entry of the table.
    for (const auto& name : result.failed) FUZZ_CHECK(defaults.entry(name).has_value());
    FUZZ_CHECK(!result.storageError || result.failed.empty());
}

void checkRoundTrip(const TVR::Preferences& read) {
    static TVR::ApiLog log;
    log.clearAll();
    const std::string path = freshFile();
    const TVR::PreferencesStorage storage(path);
    FUZZ_CHECK(storage.writeAll(read, log));
    TVR::Preferences back;
    FUZZ_CHECK(storage.readAll(back).ok());
    const auto a = read.entries();
    const auto b = back.entries();
    FUZZ_CHECK(a.size() == b.size());
    for (size_t i = 0; i < a.size(); ++i) FUZZ_CHECK(sameValue(a[i], b[i]));
    std::error_code ec;
    fs::remove(path, ec);
}

void checkPlacement(const TVR::PreferencesStorage& storage, const char* title, bool resizable) {
    static constexpr std::array<TVR::WindowRect, 2> kWorkAreas{
        {{0, 0, 1920, 1040}, {1920, -200, 1280, 1024}}};
    const TVR::WindowRect current{40, 30, 640, 480};
    const TVR::StoredGeometry stored = storage.readGeometry(title);
    const auto placed = TVR::restoredPlacement(stored, current, resizable, kWorkAreas);
    FUZZ_CHECK(placed.has_value() == (stored.x && stored.y));
    if (!placed) return;
    bool onCorner = false;
    for (const auto& wa : kWorkAreas)
        onCorner = onCorner || (placed->x == wa.x && placed->y == wa.y);
    FUZZ_CHECK((placed->x == *stored.x && placed->y == *stored.y) || onCorner);
    const bool sized = resizable && stored.w && stored.h && *stored.w > 0 && *stored.h > 0;
    FUZZ_CHECK(placed->w == (sized ? *stored.w : current.w));
    FUZZ_CHECK(placed->h == (sized ? *stored.h : current.h));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = freshFile();
    FUZZ_CHECK(writeFile(path, data, size));
    const TVR::PreferencesStorage storage(path);

    TVR::Preferences read;
    const TVR::PreferencesReadResult result = storage.readAll(read);
    checkRead(result, read);
    if (!result.storageError) checkRoundTrip(read);

    checkPlacement(storage, "Tavro control center", false);
    checkPlacement(storage, "Color grading", true);

    // Positions already in the geometry group are never replaced by the old ones.
    const TVR::StoredGeometry before = storage.readGeometry("Tavro control center");
    if (storage.migrateGeometry()) {
        FUZZ_CHECK(!before.x && !before.y && !before.w && !before.h);
    } else {
        const TVR::StoredGeometry after = storage.readGeometry("Tavro control center");
        FUZZ_CHECK(after.x == before.x && after.y == before.y);
    }

    std::error_code ec;
    fs::remove(path, ec);
    return 0;
}
