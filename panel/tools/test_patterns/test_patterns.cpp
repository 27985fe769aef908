#include "test_patterns.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <array>
#include <optional>

#include "tools/test_patterns/test_patterns_model.h"

namespace TVR {
namespace {

constexpr const char* kTestPatternsWindowTitle = "Test patterns";
constexpr int kOnOffCheck = 1008;
constexpr int kTransparentCheck = 1010;
constexpr int kRollingCheck = 1013;
constexpr int kFixedSeedCheck = 1061;
constexpr int kSeedBox = 1063;
constexpr int kPatternColumns = 4;

struct FlagBox {
    int id;
    const char* text;
    TestPatternFlag flag;
};
constexpr std::array<FlagBox, 3> kFlagBoxes = {{
    {kOnOffCheck, "On/Off", TestPatternFlag::On},
    {kTransparentCheck, "Transparent", TestPatternFlag::Transparent},
    {kRollingCheck, "Rolling bar", TestPatternFlag::Rolling},
}};

QPixmap previewPixmap(const PreviewBitmap& bitmap) {
    // The image only borrows the bytes; the pixmap copies them.
    const QImage image(bitmap.rgb.data(), PreviewBitmap::kWidth, PreviewBitmap::kHeight,
                       PreviewBitmap::kWidth * 3, QImage::Format_RGB888);
    return QPixmap::fromImage(image);
}

std::optional<int32_t> seedOf(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 0) return std::nullopt;
    return value;
}

}  // namespace

CTestPatterns::CTestPatterns(TestPatternsModel& model, const PreferencesStorage* geometry,
                             QWidget* parent)
    : CDlgBaseFX3(model, geometry, parent), m_model(model) {
    setWindowTitle(QString::fromUtf8(kTestPatternsWindowTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* top = new QVBoxLayout(this);

    auto* flags = new QHBoxLayout;
    for (const FlagBox& f : kFlagBoxes) {
        auto* check = new QCheckBox(QString::fromUtf8(f.text));
        check->setObjectName(controlName(f.id));
        const int id = f.id;
        connect(check, &QCheckBox::clicked, this, [this, id](bool on) { onFlagClicked(id, on); });
        flags->addWidget(check);
    }
    flags->addStretch(1);
    top->addLayout(flags);

    m_patterns = new QButtonGroup(this);
    m_patterns->setExclusive(true);
    auto* grid = new QGridLayout;
    const auto previews = drawTestPatternPreviews(kPreviewSeed);
    int index = 0;
    for (const TestPatternChoice& c : testPatternChoices()) {
        auto* button = new QRadioButton;
        button->setObjectName(controlName(c.buttonId));
        button->setIcon(QIcon(previewPixmap(previews.at(static_cast<size_t>(index)))));
        button->setIconSize(QSize(PreviewBitmap::kWidth, PreviewBitmap::kHeight));
        button->setToolTip(QStringLiteral("Pattern %1").arg(c.choice));
        m_patterns->addButton(button, c.buttonId);
        grid->addWidget(button, index / kPatternColumns, index % kPatternColumns);
        ++index;
    }
    connect(m_patterns, &QButtonGroup::idClicked, this, &CTestPatterns::onPatternClicked);
    top->addLayout(grid);

    auto* seedLine = new QHBoxLayout;
    m_fixedSeed = new QCheckBox(QStringLiteral("Fixed seed (0-15):"));
    m_fixedSeed->setObjectName(controlName(kFixedSeedCheck));
    connect(m_fixedSeed, &QCheckBox::clicked, this, &CTestPatterns::onFixedSeedClicked);
    seedLine->addWidget(m_fixedSeed);
    m_seed = new QLineEdit;
    m_seed->setObjectName(controlName(kSeedBox));
    m_seed->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,9}"), m_seed));
    m_seed->setMaximumWidth(90);
    m_seed->setText(QString::number(m_model.seedBox()));
    connect(m_seed, &QLineEdit::textEdited, this, &CTestPatterns::onSeedEdited);
    seedLine->addWidget(m_seed);
    seedLine->addStretch(1);
    top->addLayout(seedLine);
    showSeedEnabled();

    initDialog();
}

CTestPatterns::~CTestPatterns() = default;

void CTestPatterns::showPattern(int buttonId) {
    // An exclusive group cannot clear its last checked button.
    m_patterns->setExclusive(false);
    for (QAbstractButton* b : m_patterns->buttons()) {
        const QSignalBlocker block(b);
        b->setChecked(m_patterns->id(b) == buttonId);
    }
    m_patterns->setExclusive(true);
    m_shownPattern = buttonId;
}

void CTestPatterns::showSeedEnabled() { m_seed->setEnabled(m_model.seedBoxEnabled()); }

void CTestPatterns::updateControls() {
    const TestPatternsView v = m_model.view();
    const std::array<bool, 3> flags = {v.on, v.transparent, v.rolling};
    for (size_t i = 0; i < kFlagBoxes.size(); ++i) {
        auto* check = findChild<QCheckBox*>(controlName(kFlagBoxes[i].id));
        const QSignalBlocker block(check);
        check->setChecked(flags[i]);
    }
    {
        const QSignalBlocker block(m_fixedSeed);
        m_fixedSeed->setChecked(v.fixedSeed);
    }
    {
        const QSignalBlocker block(m_seed);
        m_seed->setText(QString::number(v.seed));
    }
    m_seed->setEnabled(v.seedEnabled);
    showPattern(v.checkedButton);
}

void CTestPatterns::onFlagClicked(int checkId, bool checked) {
    for (const FlagBox& f : kFlagBoxes) {
        if (f.id != checkId) continue;
        if (!m_model.setFlag(f.flag, checked)) {
            // Nothing changed on the camera or in the store: the box goes back.
            auto* check = findChild<QCheckBox*>(controlName(checkId));
            const QSignalBlocker block(check);
            check->setChecked(!checked);
        }
        return;
    }
}

void CTestPatterns::onPatternClicked(int buttonId) {
    if (m_model.chooseButton(buttonId)) {
        m_shownPattern = buttonId;
    } else {
        showPattern(m_shownPattern);
    }
}

void CTestPatterns::onFixedSeedClicked(bool checked) {
    if (!m_model.setFixedSeed(checked)) {
        const QSignalBlocker block(m_fixedSeed);
        m_fixedSeed->setChecked(!checked);
    }
    showSeedEnabled();
}

void CTestPatterns::onSeedEdited(const QString& text) {
    if (const std::optional<int32_t> seed = seedOf(text)) m_model.setSeedBox(*seed);
}

}  // namespace TVR
