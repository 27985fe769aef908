#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "main_window_helpers.h"
#include "settings/preferences_storage.h"
#include "settings/presets.h"
#include "shell/brisco_startup.h"
#include "shell/brisco_status_bar.h"
#include "shell/preferences_dlg.h"
#include "shell/presets_dlg.h"

namespace TVR {
namespace {

using GuiTest::ScriptedDialogs;

TEST(CBriscoStatusBar, MessagesTimeOutBackToTheDefaultWithTheirColours) {
    CBriscoStatusBar real(nullptr);
    real.showLogMessage(QStringLiteral("abcd"), false);
    EXPECT_EQ(real.messageTimeoutMs(), 4 * 75);
    real.showLogMessage(QStringLiteral("abcd"), true);
    EXPECT_EQ(real.messageTimeoutMs(), 4 * 75 * 5);

    CBriscoStatusBar bar(nullptr, 1);
    EXPECT_EQ(bar.paneText(), QStringLiteral("Ready"));
    EXPECT_TRUE(bar.defaultShowing());
    EXPECT_FALSE(bar.paneColour());

    bar.showLogMessage(QStringLiteral("Camera gone"), true);
    EXPECT_EQ(bar.paneText(), QStringLiteral("Camera gone"));
    EXPECT_FALSE(bar.defaultShowing());
    EXPECT_EQ(bar.paneColour(), QColor(255, 124, 45));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.defaultShowing(); }, 2000));
    EXPECT_EQ(bar.paneText(), QStringLiteral("Ready"));
    // The error colour stays until an information text.
    EXPECT_EQ(bar.paneColour(), QColor(255, 124, 45));
    bar.showHelp(QStringLiteral("Help"));
    EXPECT_TRUE(bar.errorShown());
    bar.showLogMessage(QStringLiteral("fine"), false);
    EXPECT_FALSE(bar.paneColour());

    QString opened;
    bar.setUrlOpener([&](const QString& url) { opened = url; });
    bar.notifyUpdate(QStringLiteral("https://example.com/brisco-2.7.0"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.defaultShowing(); }, 2000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return bar.paneText() == QString::fromLatin1(CBriscoStatusBar::kUpdateNotice); },
        2000));
    EXPECT_EQ(bar.paneColour(), QColor(0, 123, 245));
    bar.showHelp(QStringLiteral("a help text"));
    EXPECT_FALSE(bar.paneColour());  // blue only while the notice shows
    QTest::mouseClick(&bar, Qt::LeftButton);
    EXPECT_EQ(opened, QStringLiteral("https://example.com/brisco-2.7.0"));
    EXPECT_EQ(bar.paneText(), QStringLiteral("Ready"));
    EXPECT_FALSE(bar.updateAvailable());
    EXPECT_FALSE(bar.paneColour());

    bar.showDefault(QStringLiteral("No Tavro cameras connected/available on the system"));
    EXPECT_EQ(bar.paneText(), QStringLiteral("No Tavro cameras connected/available on the system"));
    EXPECT_TRUE(bar.defaultShowing());
}

struct PrefsDialog {
    PrefsDialog() { storage.writeAll(preferences, log); }
    TestSupport::TempFolder folder;
    PreferencesStorage storage{folder.file("prefs.ini")};
    Preferences preferences;
    ApiLog log;
    ScriptedDialogs dialogs;
    CPreferencesDlg dialog{preferences, &storage, log, dialogs, nullptr};
    template <typename W>
    W* c(int id) {
        W* w = GuiTest::control<W>(dialog, id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
};

TEST(CPreferencesDlg, ExpertRuleResetsAndDisablesTheExpertControls) {
    PrefsDialog p;
    using D = CPreferencesDlg;
    auto* expert = p.c<QCheckBox>(D::kExpertCheck);
    auto* base = p.c<QComboBox>(D::kBaseBox);
    auto* safe = p.c<QCheckBox>(D::kSafeCheck);
    auto* logApi = p.c<QCheckBox>(D::kLogApiCheck);
    EXPECT_EQ(expert->text(), QStringLiteral("Expert mode (more controls)"));
    EXPECT_FALSE(expert->isChecked());
    EXPECT_FALSE(base->isEnabled());
    EXPECT_FALSE(safe->isEnabled());
    EXPECT_FALSE(logApi->isEnabled());
    EXPECT_EQ(p.c<QLabel>(D::kRefreshText)->text(), QStringLiteral("0.5s"));

    expert->click();
    EXPECT_TRUE(base->isEnabled() && safe->isEnabled() && logApi->isEnabled());
    base->setCurrentText(QStringLiteral("16"));
    logApi->click();

    // Unchecking the warnings asks; Cancel puts the check back, OK confirms.
    p.dialogs.answers = {QMessageBox::Cancel};
    safe->click();
    EXPECT_TRUE(safe->isChecked());
    ASSERT_EQ(p.dialogs.shown.size(), 1u);
    EXPECT_EQ(p.dialogs.shown[0].title, QStringLiteral("ARE YOU INSANE\u203d"));
    EXPECT_EQ(p.dialogs.shown[0].defaultButton, QMessageBox::Cancel);
    p.dialogs.answers = {QMessageBox::Ok};
    safe->click();
    EXPECT_FALSE(safe->isChecked());
    ASSERT_EQ(p.dialogs.titles(), (QStringList{"ARE YOU INSANE\u203d", "ARE YOU INSANE\u203d",
                                               "Welcome to the dark side..."}));

    // Leaving expert mode resets them without asking again.
    expert->click();
    EXPECT_EQ(base->currentText(), QStringLiteral("10"));
    EXPECT_TRUE(safe->isChecked());
    EXPECT_FALSE(logApi->isChecked());
    EXPECT_EQ(p.dialogs.shown.size(), 3u);

    p.c<QSlider>(D::kRefreshSlider)->setValue(20);
    EXPECT_EQ(p.c<QLabel>(D::kRefreshText)->text(), QStringLiteral("2.0s"));
    p.c<QPushButton>(D::kDefaultsButton)->click();
    EXPECT_EQ(p.dialog.values(), PreferencesDialogModel::defaults());
}

TEST(CPreferencesDlg, OkValidatesStoresAndWrites) {
    PrefsDialog p;
    using D = CPreferencesDlg;
    auto* splash = p.c<QLineEdit>(D::kSplashNumber);
    splash->setText(QStringLiteral("600"));
    p.dialog.accept();
    ASSERT_EQ(p.dialogs.shown.size(), 1u);
    EXPECT_EQ(p.dialogs.shown[0].text,
              QStringLiteral("Please enter an integer between 0 and 500."));
    EXPECT_FALSE(p.dialog.outcome());
    EXPECT_EQ(p.preferences.number(PreferenceName::kSplash), 400);

    splash->setText(QStringLiteral("250"));
    p.c<QSlider>(D::kRefreshSlider)->setValue(12);
    p.c<QCheckBox>(D::kExpertCheck)->click();
    p.c<QCheckBox>(D::kUnthemedCheck)->click();
    p.c<QComboBox>(D::kReleaseBox)->setCurrentIndex(1);
    p.dialog.accept();
    ASSERT_TRUE(p.dialog.outcome());
    EXPECT_EQ(p.dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(p.dialog.outcome()->menuChanged);
    EXPECT_TRUE(p.dialog.outcome()->themeChanged);

    Preferences reread;
    EXPECT_TRUE(p.storage.readAll(reread).ok());
    EXPECT_EQ(reread.number(PreferenceName::kSplash), 250);
    EXPECT_EQ(reread.number(PreferenceName::kRefresh), 1200);
    EXPECT_EQ(reread.number(PreferenceName::kExpert), 1);
    EXPECT_EQ(reread.number(PreferenceName::kTheme), 1);
    EXPECT_EQ(reread.number(PreferenceName::kFwRelease), 2);
}

TEST(CPgSetPresets, OkCopiesTheRowsIntoThePresetsAndClearAllEmptiesThem) {
    TestSupport::TempFolder folder;
    Preferences preferences;
    Presets presets;
    presets.setPreset(4, {"old.qcf", "Old"});
    ScriptedDialogs dialogs;
    const QString chosen = QString::fromStdString(folder.file("day.qcf"));
    dialogs.files.push_back(chosen);
    {
        CPgSetPresets dialog(presets, preferences, dialogs, nullptr, nullptr);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Setup quick-load for presets"));
        EXPECT_EQ(GuiTest::control<QLineEdit>(dialog, 1238)->text(), QStringLiteral("old.qcf"));
        GuiTest::control<QPushButton>(dialog, 1230)->click();
        EXPECT_EQ(GuiTest::control<QLineEdit>(dialog, 1229)->text(), chosen);
        GuiTest::control<QLineEdit>(dialog, 1231)->setText(QStringLiteral("Daylight"));
        dialog.accept();
    }
    EXPECT_EQ(presets.preset(1).fileName, chosen.toStdString());
    EXPECT_EQ(preferences.text("PFD1"), "Daylight");
    EXPECT_EQ(preferences.text("PFN4"), "old.qcf");
    {
        CPgSetPresets dialog(presets, preferences, dialogs, nullptr, nullptr);
        GuiTest::control<QPushButton>(dialog, 1244)->click();
        dialog.accept();
    }
    EXPECT_TRUE(presets.preset(1).fileName.empty());
    EXPECT_TRUE(preferences.text("PFN4").empty());
}

TEST(BriscoStartup, UnreadablePreferencesShowOneBoxEach) {
    TestSupport::TempFolder folder;
    const std::string path = folder.file("prefs.ini");
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("[Tavro%20camera%20control%20center]\nBase=ten\nSplash=often\nExpert=1\n", f);
        std::fclose(f);
    }
    PreferencesStorage storage(path);
    Preferences preferences;
    ScriptedDialogs dialogs;
    const int boxes = readPreferencesReporting(storage, preferences, dialogs);
    EXPECT_EQ(boxes, static_cast<int>(dialogs.shown.size()));
    for (const auto& r : dialogs.shown) {
        EXPECT_EQ(r.title, QStringLiteral("Oops!"));
        EXPECT_EQ(r.text, QStringLiteral("Error reading registry"));
        EXPECT_EQ(r.icon, QMessageBox::Warning);
    }
    EXPECT_EQ(boxes, 2);
    EXPECT_EQ(preferences.number(PreferenceName::kBase), 10);
    EXPECT_EQ(preferences.number(PreferenceName::kExpert), 1);
}

}  // namespace
}  // namespace TVR
