#pragma once

// FwUpgradeCtrl: one "Upgrade to v.{} ({})" link of the Device page (FX3 or FPGA). It holds the
// release the link offers and shows or hides the page's link label for it; the click itself is
// the page's. User-interface thread only.

#include <QObject>
#include <QPointer>

#include "tools/firmware/fw_upgrade_model.h"

class QLabel;

namespace TVR {

class FwUpgradeCtrl : public QObject {
    Q_OBJECT
public:
    FwUpgradeCtrl(QLabel* label, UpgradeTarget target, QObject* parent);

    UpgradeTarget target() const { return m_target; }
    // Shows the link's text, or hides it when the link is not visible.
    void setLink(const FwUpgradeLink& link);
    // Forgets the release and hides the label.
    void clear();
    const FwUpgradeLink& link() const { return m_link; }
    bool shown() const;

private:
    QPointer<QLabel> m_label;
    UpgradeTarget m_target;
    FwUpgradeLink m_link;
};

}  // namespace TVR
