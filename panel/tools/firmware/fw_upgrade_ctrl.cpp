#include "fw_upgrade_ctrl.h"

#include <QLabel>

namespace TVR {

FwUpgradeCtrl::FwUpgradeCtrl(QLabel* label, UpgradeTarget target, QObject* parent)
    : QObject(parent), m_label(label), m_target(target) {}

void FwUpgradeCtrl::setLink(const FwUpgradeLink& link) {
    m_link = link.visible ? link : FwUpgradeLink{};
    if (!m_label) return;
    if (m_link.visible) {
        m_label->setText(QString::fromStdString(m_link.text));
        m_label->show();
    } else {
        m_label->hide();
    }
}

void FwUpgradeCtrl::clear() { setLink({}); }

bool FwUpgradeCtrl::shown() const { return m_link.visible && m_label && !m_label->isHidden(); }

}  // namespace TVR
