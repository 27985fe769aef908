#pragma once

// CPgSetPresets: "Setup quick-load for presets", five rows of settings file, "..." chooser and
// description. OK copies the texts into the presets and their preferences. User-interface
// thread only.

#include <array>

#include "shell/dlg_base.h"

class QLineEdit;

namespace TVR {

class Preferences;
class Presets;
class UserDialogs;

class CPgSetPresets : public CDlgBase {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 119;
    static constexpr std::array<int, 5> kFileIds = {1229, 1232, 1235, 1238, 1241};
    static constexpr std::array<int, 5> kBrowseIds = {1230, 1233, 1236, 1239, 1242};
    static constexpr std::array<int, 5> kDescriptionIds = {1231, 1234, 1237, 1240, 1243};
    static constexpr int kClearAllId = 1244;

    CPgSetPresets(Presets& presets, Preferences& preferences, UserDialogs& dialogs,
                  const PreferencesStorage* geometry, QWidget* parent);

public slots:
    void accept() override;

private:
    void browse(int row);
    void clearAll();

    Presets& m_presets;
    Preferences& m_preferences;
    UserDialogs& m_dialogs;
    std::array<QLineEdit*, 5> m_files{};
    std::array<QLineEdit*, 5> m_descriptions{};
};

}  // namespace TVR
