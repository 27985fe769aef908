#pragma once

// The "Preferences" dialog without its widgets: the values its controls show, the expert rule,
// "Defaults", the range checks of OK and what OK stores and sets off. The window maps its
// controls to PreferencesDialogValues and back. User-interface thread.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace TVR {

class Preferences;

// What the dialog's controls hold.
struct PreferencesDialogValues {
    bool expert = false;
    std::string baseText = "10";  // the number base box: "8", "10" or "16"
    bool safe = true;
    bool logApi = false;
    int refreshPosition = 5;  // tenths of a second, 1..50
    bool unthemed = false;
    int splashMs = 400;    // 0..500
    int releaseIndex = 4;  // into kReleaseTypeNames
    bool devNotify = false;
    bool betaOn = false;
    bool reApply = true;
    bool operator==(const PreferencesDialogValues&) const = default;
};

// What OK changed, for the main window to act on.
struct PreferencesDialogOutcome {
    bool themeChanged = false;  // offer the restart
    bool menuChanged = false;   // Expert or BetaOn changed: rebuild the menu
    bool devNotify = false;     // device tracking on after OK
    bool reApply = true;        // settings re-applied to a camera that comes back
};

class PreferencesDialogModel {
public:
    static constexpr std::array<std::string_view, 3> kBaseItems = {"8", "10", "16"};
    static constexpr std::array<std::string_view, 7> kReleaseTypeNames = {
        "Alpha", "Beta", "Evaluation", "Rel. candidate", "Release", "Backport", "Bugfix"};
    static constexpr int kRefreshMin = 1;
    static constexpr int kRefreshMax = 50;
    static constexpr int kRefreshTick = 10;
    static constexpr int kRefreshPage = 5;
    static constexpr int kSplashMin = 0;
    static constexpr int kSplashMax = 500;
    static constexpr int kThemed = 7;
    static constexpr int kUnthemed = 1;

    static constexpr std::string_view kUnsafeTitle = "ARE YOU INSANE\u203d";
    static constexpr std::string_view kUnsafeText =
        "ATTENTION!\n\n"
        "Disabling warnings about potentially dangerous operations is unsafe.\n\n"
        "By doing so you willingly assume the full responsibility for any actions you take "
        "while using the camera.\n\n"
        "The warranty doesn't cover harm caused by using unsafe commands.\n\n"
        "You must aknowledge that you do understand and accept the risks.";
    static constexpr std::string_view kAcceptedTitle = "Welcome to the dark side...";
    static constexpr std::string_view kAcceptedText =
        "You've accepted the full responsibility for you actions with regards to Tavro camera "
        "from this point onward.\n\nYou can still reverse this decision by ticking the checkbox "
        "back into \"set\" state.";

    // The controls as the preferences stand.
    static PreferencesDialogValues fromPreferences(const Preferences& preferences);
    // What "Defaults" puts into the controls.
    static PreferencesDialogValues defaults();
    // Without expert mode the base, warning and API-log controls are disabled and reset.
    static void applyExpertRule(PreferencesDialogValues& values);
    static bool expertControlsEnabled(const PreferencesDialogValues& values) {
        return values.expert;
    }
    // The interval label: "{:.1f}s" of the slider position / 10.
    static std::string refreshText(int position);
    // The message OK shows for a value out of range; none when every value is fine.
    static std::optional<std::string> validate(const PreferencesDialogValues& values);
    // Stores the values (OK after validate()); the caller then writes all preferences and acts
    // on the outcome. The API-call log rule is applyApiLogAfterDialog().
    static PreferencesDialogOutcome apply(const PreferencesDialogValues& values,
                                          Preferences& preferences);
};

}  // namespace TVR
