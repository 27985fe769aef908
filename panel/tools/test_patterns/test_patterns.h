#pragma once

// CTestPatterns: the "Test patterns" tool window (pattern on/off, transparency, rolling bar, the
// eight patterns with their previews, the fixed seed). It maps its widgets to a
// TestPatternsModel and back. User-interface thread only.

#include <cstdint>

#include "shell/dlg_base.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace TVR {

class TestPatternsModel;

class CTestPatterns : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 106;
    // The random preview is drawn from this seed, so it is the same picture on every start.
    static constexpr uint32_t kPreviewSeed = 20170727;

    CTestPatterns(TestPatternsModel& model, const PreferencesStorage* geometry, QWidget* parent);
    ~CTestPatterns() override;

    void updateControls() override;

private:
    void onFlagClicked(int checkId, bool checked);
    void onPatternClicked(int buttonId);
    void onFixedSeedClicked(bool checked);
    void onSeedEdited(const QString& text);
    // Checks the pattern button `buttonId` alone; 0 clears them all.
    void showPattern(int buttonId);
    void showSeedEnabled();

    TestPatternsModel& m_model;
    QButtonGroup* m_patterns = nullptr;
    QCheckBox* m_fixedSeed = nullptr;
    QLineEdit* m_seed = nullptr;
    int m_shownPattern = 0;
};

}  // namespace TVR
