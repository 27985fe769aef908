#include <gtest/gtest.h>

#include "settings/preferences.h"
#include "shell/preferences_dialog_model.h"

namespace TVR {
namespace {

using Model = PreferencesDialogModel;

TEST(PreferencesDialogModel, AFreshProfileShowsTheDefaultsAndExpertOffLocksItsControls) {
    Preferences prefs;
    PreferencesDialogValues v = Model::fromPreferences(prefs);
    EXPECT_FALSE(v.expert);
    EXPECT_FALSE(Model::expertControlsEnabled(v));
    EXPECT_EQ(v.baseText, "10");
    EXPECT_TRUE(v.safe);
    EXPECT_EQ(v.refreshPosition, 5);
    EXPECT_EQ(Model::refreshText(v.refreshPosition), "0.5s");
    EXPECT_EQ(v.splashMs, 400);
    EXPECT_FALSE(v.unthemed);
    // A fresh profile's type 4 is "Rel. candidate"; "Defaults" picks "Release".
    EXPECT_EQ(Model::kReleaseTypeNames[static_cast<size_t>(v.releaseIndex)], "Rel. candidate");
    EXPECT_EQ(Model::kReleaseTypeNames[static_cast<size_t>(Model::defaults().releaseIndex)],
              "Release");

    // Stored expert-only values are shown reset while expert mode is off.
    prefs.setNumber(PreferenceName::kBase, 16);
    prefs.setNumber(PreferenceName::kSafe, 0);
    prefs.setNumber(PreferenceName::kLogApi, 1);
    v = Model::fromPreferences(prefs);
    EXPECT_EQ(v.baseText, "10");
    EXPECT_TRUE(v.safe);
    EXPECT_FALSE(v.logApi);
    prefs.setNumber(PreferenceName::kExpert, 1);
    v = Model::fromPreferences(prefs);
    EXPECT_EQ(v.baseText, "16");
    EXPECT_FALSE(v.safe);
    EXPECT_TRUE(v.logApi);
}

TEST(PreferencesDialogModel, OkChecksRangesStoresTheValuesAndReportsWhatChanged) {
    PreferencesDialogValues v = Model::defaults();
    v.refreshPosition = 0;
    EXPECT_EQ(Model::validate(v), "Please enter an integer between 1 and 50.");
    v.refreshPosition = 51;
    EXPECT_TRUE(Model::validate(v));
    v.refreshPosition = 50;
    v.splashMs = 501;
    EXPECT_EQ(Model::validate(v), "Please enter an integer between 0 and 500.");
    v.splashMs = 0;
    EXPECT_FALSE(Model::validate(v));

    Preferences prefs;
    v.expert = true;
    v.baseText = "16";
    v.unthemed = true;
    v.releaseIndex = 0;
    v.devNotify = true;
    const PreferencesDialogOutcome out = Model::apply(v, prefs);
    EXPECT_TRUE(out.themeChanged);
    EXPECT_TRUE(out.menuChanged);
    EXPECT_TRUE(out.devNotify);
    EXPECT_EQ(prefs.number(PreferenceName::kRefresh), 5000);
    EXPECT_EQ(prefs.number(PreferenceName::kSplash), 0);
    EXPECT_EQ(prefs.number(PreferenceName::kTheme), 1);
    EXPECT_EQ(prefs.number(PreferenceName::kBase), 16);
    EXPECT_EQ(prefs.number(PreferenceName::kFwRelease), 1);
    EXPECT_EQ(prefs.number(PreferenceName::kDevNotify), 1);

    // Applying the same values again changes nothing; a base text that is not an item keeps
    // the stored base.
    v.baseText = "12";
    const PreferencesDialogOutcome again = Model::apply(v, prefs);
    EXPECT_FALSE(again.themeChanged);
    EXPECT_FALSE(again.menuChanged);
    EXPECT_EQ(prefs.number(PreferenceName::kBase), 16);

    // "Defaults" then OK restores every value of a fresh profile except the release type.
    Model::apply(Model::defaults(), prefs);
    Preferences fresh;
    for (const Preference& p : fresh.entries()) {
        if (p.name == PreferenceName::kFwRelease) continue;
        EXPECT_EQ(prefs.number(p.name), p.number) << p.name;
    }
    EXPECT_EQ(prefs.number(PreferenceName::kFwRelease), 5);
}

}  // namespace
}  // namespace TVR
