#include "prefs_command.h"

#include <charconv>
#include <optional>
#include <string_view>

#include <fmt/format.h>

#include "cli/cli_app.h"
#include "cli/cli_session.h"
#include "settings/preferences.h"
#include "settings/preferences_storage.h"

namespace TVR::Cli {

const char* const kPrefsHelp =
    "Usage: brisco-cli prefs [--file INI] [NAME [VALUE]]\n"
    "Without NAME prints every preference of the control panel, tab-separated: name, value,\n"
    "description. With NAME prints that preference's value; with NAME VALUE stores it\n"
    "(numbers as decimal or 0x hexadecimal). --file uses an INI file instead of the user's\n"
    "own preferences (portable installs, production lines).\n";

namespace {

std::optional<int32_t> parseNumber(std::string_view text) {
    bool negative = false;
    int base = 10;
    if (!text.empty() && text[0] == '-') {
        negative = true;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    uint32_t magnitude = 0;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || ec != std::errc{} || p != text.data() + text.size()) return std::nullopt;
    if (negative) {
        if (magnitude > 0x80000000u) return std::nullopt;
        return static_cast<int32_t>(0u - magnitude);
    }
    // Stored numbers are 32-bit; an unsigned value keeps its bit pattern, as the panel keeps it.
    return static_cast<int32_t>(magnitude);
}

std::string valueText(const Preference& p) { return p.numeric ? std::to_string(p.number) : p.text; }

}  // namespace

int runPrefs(const std::vector<std::string>& args, ApiLog& log, std::ostream& out,
             std::ostream& err) {
    std::string file;
    std::vector<std::string> words;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--file") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return cliUsage(err, "prefs", "--file needs a file name");
            }
            file = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-' && words.size() < 1) {
            return cliUsage(err, "prefs", fmt::format("unknown option '{}'", args[i]));
        } else {
            words.push_back(args[i]);
        }
    }
    if (words.size() > 2) return cliUsage(err, "prefs", "prefs takes at most a name and a value");

    Preferences preferences;
    const PreferencesStorage storage =
        file.empty() ? PreferencesStorage() : PreferencesStorage(file);
    const PreferencesReadResult read = storage.readAll(preferences);
    if (read.storageError) {
        err << "brisco-cli: the preferences cannot be read; showing the defaults\n";
    }
    for (const std::string& name : read.failed) {
        err << fmt::format("brisco-cli: the stored value of {} is unusable; showing its default\n",
                           name);
    }

    if (words.empty()) {
        for (const Preference& p : preferences.entries()) {
            out << fmt::format("{}\t{}\t{}\n", p.name, valueText(p), p.description);
        }
        return kExitOk;
    }
    const auto entry = preferences.entry(words[0]);
    if (!entry) return cliUsage(err, "prefs", fmt::format("unknown preference '{}'", words[0]));
    if (words.size() == 1) {
        out << valueText(*entry) << '\n';
        return kExitOk;
    }
    if (entry->numeric) {
        const auto n = parseNumber(words[1]);
        if (!n)
            return cliUsage(err, "prefs",
                            fmt::format("{} takes a number, not '{}'", entry->name, words[1]));
        preferences.setNumber(entry->name, *n);
    } else {
        preferences.setText(entry->name, words[1]);
    }
    if (read.storageError || !storage.writeAll(preferences, log)) {
        err << "brisco-cli: the preferences could not be written\n";
        return kExitCamera;
    }
    return kExitOk;
}

}  // namespace TVR::Cli
