#include "dlg_base.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <optional>
#include <vector>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/camera_work.h"
#include "settings/preferences_storage.h"
#include "settings/settings_store.h"
#include "shell/splash.h"

namespace TVR {

QString controlName(int controlId) { return QStringLiteral("c%1").arg(controlId); }

CDlgBase::CDlgBase(const PreferencesStorage* geometry, QWidget* parent)
    : QDialog(parent), m_geometry(geometry) {}

void CDlgBase::initDialog() {
    m_title = windowTitle().toStdString();
    // The window never shrinks below the size its layout asks for.
    setMinimumSize(sizeHint());
}

void CDlgBase::saveGeometry() const {
    if (m_geometry == nullptr || m_title.empty()) return;
    const QRect frame = frameGeometry();
    m_geometry->writeGeometry(m_title, {frame.x(), frame.y(), width(), height()}, resizableFrame());
}

void CDlgBase::restoreGeometry() {
    if (m_geometry == nullptr || m_title.empty()) return;
    std::vector<WindowRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect a = screen->availableGeometry();
        areas.push_back({a.x(), a.y(), a.width(), a.height()});
    }
    const QRect frame = frameGeometry();
    const auto placed =
        restoredPlacement(m_geometry->readGeometry(m_title),
                          {frame.x(), frame.y(), width(), height()}, resizableFrame(), areas);
    if (!placed) return;  // not stored: the window manager centres it on its owner
    move(placed->x, placed->y);
    if (resizableFrame()) resize(placed->w, placed->h);
}

void CDlgBase::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Pages inside the tab control have no geometry of their own.
    if (isWindow() && !event->spontaneous()) restoreGeometry();
}

void CDlgBase::hideEvent(QHideEvent* event) {
    if (isWindow() && !event->spontaneous()) saveGeometry();
    QDialog::hideEvent(event);
}

CDlgBaseFX3::CDlgBaseFX3(TableValueOwner& model, const PreferencesStorage* geometry,
                         QWidget* parent)
    : CDlgBaseBrisco(geometry, parent), m_model(model) {
    m_model.setUpdateCounter(1);
    m_model.setWindow(this);
}

CDlgBaseFX3::~CDlgBaseFX3() { m_model.setWindow(nullptr); }

void CDlgBaseFX3::initDialog() {
    CDlgBase::initDialog();
    m_model.setUpdateCounter(0);
}

std::string CDlgBaseFX3::readStateTaskName() const { return rememberedTitle(); }

bool CDlgBaseFX3::cameraBusy() {
    // The batch that holds the camera may be the one whose modal loop this runs in: waiting for
    // it here would never end, so the window's work is refused instead.
    CameraWork* work = m_model.work();
    if (work == nullptr || !work->busy()) return false;
    store().log().appendText(false, std::string(kCameraBusyText));
    return true;
}

void CDlgBaseFX3::runBatch(const std::function<void()>& step) {
    if (cameraBusy()) return;
    CameraWork* work = m_model.work();
    CSplash splash(this, store().log());
    splash.run({{readStateTaskName(), [work, &step] {
                     std::optional<CameraWork::Batch> batch;
                     if (work != nullptr) batch.emplace(work->batch());
                     step();
                 }}});
}

void CDlgBaseFX3::readState() {
    runBatch([this] { m_model.readState(); });
}

void CDlgBaseFX3::loadFromPB() {
    runBatch([this] { m_model.loadFromStore(); });
}

void CDlgBaseFX3::updateHeld() {
    const int saved = m_model.updateCounter();
    m_model.setUpdateCounter(1);
    updateControls();
    m_model.setUpdateCounter(saved);
}

void CDlgBaseFX3::showEvent(QShowEvent* event) {
    CDlgBase::showEvent(event);
    if (event->spontaneous()) return;
    if (camera().connected()) readState();
    updateHeld();
}

void CDlgBaseTab::refresh() {
    if (camera().connected()) readState();
    updateHeld();
}

}  // namespace TVR
