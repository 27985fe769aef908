#include "tools/sysinfo/dev_tech_info.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "sensor/img_sensor.h"
#include "shell/qt_text.h"
#include "tools/consoles/console_text.h"

namespace TVR {

namespace {
constexpr const char* kDevTechInfoWindowTitle = "Detailed technical info about the current device";
}  // namespace

CDevTechInfo::CDevTechInfo(SettingsStore& store, ImgSensor& camera, CameraWork& work,
                           const PreferencesStorage* geometry, QWidget* parent)
    : OwnedModel<DevTechInfoModel>(store, camera, work), CDlgBaseFX3(ownedModel, geometry, parent) {
    setWindowTitle(QString::fromUtf8(kDevTechInfoWindowTitle));
    auto* top = new QVBoxLayout(this);
    m_text = new QPlainTextEdit;
    m_text->setObjectName(controlName(kText));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setMinimumSize(520, 420);
    top->addWidget(m_text);
    initDialog();
}

CDevTechInfo::~CDevTechInfo() = default;

void CDevTechInfo::updateControls() {
    // Without a camera no read ran: the report says so rather than showing an old one.
    const std::string& text =
        camera().connected() ? ownedModel.text() : std::string(devTechInfoText(camera()));
    m_text->setPlainText(editText(text));
}

}  // namespace TVR
