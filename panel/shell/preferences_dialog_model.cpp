#include "preferences_dialog_model.h"

#include <algorithm>

#include <fmt/format.h>

#include "settings/preferences.h"

namespace TVR {

namespace {

namespace Name = PreferenceName;

std::string rangeMessage(int low, int high) {
    return fmt::format("Please enter an integer between {} and {}.", low, high);
}

}  // namespace

PreferencesDialogValues PreferencesDialogModel::fromPreferences(const Preferences& preferences) {
    PreferencesDialogValues v;
    v.expert = preferences.number(Name::kExpert) != 0;
    v.baseText = std::to_string(preferences.number(Name::kBase, 10));
    v.safe = preferences.number(Name::kSafe) != 0;
    v.logApi = preferences.number(Name::kLogApi) != 0;
    v.refreshPosition = preferences.number(Name::kRefresh) / 100;
    v.unthemed = preferences.number(Name::kTheme) != kThemed;
    v.splashMs = preferences.number(Name::kSplash);
    // A stored type outside 1..7 selects nothing rather than a wrong name.
    v.releaseIndex = preferences.number(Name::kFwRelease) - 1;
    if (v.releaseIndex < 0 || v.releaseIndex >= static_cast<int>(kReleaseTypeNames.size())) {
        v.releaseIndex = -1;
    }
    v.devNotify = preferences.number(Name::kDevNotify) != 0;
    v.betaOn = preferences.number(Name::kBetaOn) != 0;
    v.reApply = preferences.number(Name::kReApply) != 0;
    applyExpertRule(v);
    return v;
}

PreferencesDialogValues PreferencesDialogModel::defaults() { return PreferencesDialogValues{}; }

void PreferencesDialogModel::applyExpertRule(PreferencesDialogValues& values) {
    if (values.expert) return;
    values.baseText = "10";
    values.safe = true;
    values.logApi = false;
}

std::string PreferencesDialogModel::refreshText(int position) {
    return fmt::format("{:.1f}s", position / 10.0);
}

std::optional<std::string> PreferencesDialogModel::validate(const PreferencesDialogValues& values) {
    if (values.refreshPosition < kRefreshMin || values.refreshPosition > kRefreshMax) {
        return rangeMessage(kRefreshMin, kRefreshMax);
    }
    if (values.splashMs < kSplashMin || values.splashMs > kSplashMax) {
        return rangeMessage(kSplashMin, kSplashMax);
    }
    return std::nullopt;
}

PreferencesDialogOutcome PreferencesDialogModel::apply(const PreferencesDialogValues& values,
                                                       Preferences& preferences) {
    PreferencesDialogOutcome outcome;
    const int oldTheme = preferences.number(Name::kTheme);
    const int oldExpert = preferences.number(Name::kExpert);
    const int oldBeta = preferences.number(Name::kBetaOn);

    if (std::find(kBaseItems.begin(), kBaseItems.end(), values.baseText) != kBaseItems.end()) {
        preferences.setNumber(Name::kBase, std::stoi(values.baseText));
    }
    preferences.setNumber(Name::kExpert, values.expert ? 1 : 0);
    preferences.setNumber(Name::kSafe, values.safe ? 1 : 0);
    preferences.setNumber(Name::kLogApi, values.logApi ? 1 : 0);
    preferences.setNumber(Name::kRefresh, values.refreshPosition * 100);
    preferences.setNumber(Name::kTheme, values.unthemed ? kUnthemed : kThemed);
    preferences.setNumber(Name::kSplash, values.splashMs);
    // No selection keeps the stored type.
    if (values.releaseIndex >= 0 &&
        values.releaseIndex < static_cast<int>(kReleaseTypeNames.size())) {
        preferences.setNumber(Name::kFwRelease, values.releaseIndex + 1);
    }
    preferences.setNumber(Name::kDevNotify, values.devNotify ? 1 : 0);
    preferences.setNumber(Name::kBetaOn, values.betaOn ? 1 : 0);
    preferences.setNumber(Name::kReApply, values.reApply ? 1 : 0);

    outcome.themeChanged = preferences.number(Name::kTheme) != oldTheme;
    outcome.menuChanged = preferences.number(Name::kExpert) != oldExpert ||
                          preferences.number(Name::kBetaOn) != oldBeta;
    outcome.devNotify = values.devNotify;
    outcome.reApply = values.reApply;
    return outcome;
}

}  // namespace TVR
