#include "dlg_base.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
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
    // The client area's position: restoring it through the frame's would move the window by the
    // frame's height at every start whenever the frame is not known yet at restore time.
    const QRect client = geometry();
    m_geometry->writeGeometry(m_title, {client.x(), client.y(), width(), height()},
                              resizableFrame());
}

void CDlgBase::restoreGeometry() {
    if (m_geometry == nullptr || m_title.empty()) return;
    std::vector<WindowRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect a = screen->availableGeometry();
        areas.push_back({a.x(), a.y(), a.width(), a.height()});
    }
    const QRect client = geometry();
    const auto placed =
        restoredPlacement(m_geometry->readGeometry(m_title),
                          {client.x(), client.y(), width(), height()}, resizableFrame(), areas);
    if (!placed) return;  // not stored: the window manager centres it on its owner
    const QSize size = resizableFrame() ? QSize(placed->w, placed->h) : this->size();
    setGeometry(QRect(QPoint(placed->x, placed->y), size));
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

CDlgBaseFX3::~CDlgBaseFX3() { detachModel(); }

void CDlgBaseFX3::detachModel() {
    // A read on the worker uses the model until it ends.
    if (m_reader.joinable()) m_reader.join();
    if (m_modelAttached) m_model.setWindow(nullptr);
    m_modelAttached = false;
}

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
    bool ran = false;
    bool cameOk = false;
    // Values read from the camera are not the user's unsaved changes; the window is modal to the
    // user meanwhile (the splash), so no edit of theirs falls in between.
    const bool wasDirty = store().dirty();
    runBatch([this, &ran, &cameOk] {
        const uint64_t failedBefore = camera().failedRequests();
        m_model.readState();
        ran = true;
        cameOk = camera().connected() && camera().failedRequests() == failedBefore;
    });
    if (ran) setCameraValid(cameOk);
    if (!wasDirty) store().setDirty(false);
}

bool CDlgBaseFX3::readStateAsync(std::function<void()> done) {
    CameraWork* work = m_model.work();
    // Quietly: a periodic read that finds the camera in use simply waits for its next turn.
    if (m_reader.joinable() || (work != nullptr && work->busy())) return false;
    m_reader = std::thread([this, work, done = std::move(done)] {
        bool ran = false;
        bool cameOk = false;
        {
            const std::optional<CameraWork::Batch> batch =
                work != nullptr ? work->tryBatch() : std::nullopt;
            if (work == nullptr || batch) {
                const uint64_t failedBefore = camera().failedRequests();
                m_model.readState();
                ran = true;
                cameOk = camera().connected() && camera().failedRequests() == failedBefore;
            }
        }
        // The window joins this thread before it goes, so the call below finds it.
        QMetaObject::invokeMethod(
            this,
            [this, ran, cameOk, done] {
                if (m_reader.joinable()) m_reader.join();
                if (ran) {
                    setCameraValid(cameOk);
                    updateHeld();
                }
                if (done) done();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void CDlgBaseFX3::setCameraValid(bool valid) {
    m_cameraValid = valid;
    setEnabled(valid);
    if (!valid) blankControls();
}

void CDlgBaseFX3::blankControls() {
    // Held so that no emptied control is taken as an edit to push.
    const int saved = m_model.updateCounter();
    m_model.setUpdateCounter(1);
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        // A spin box's text goes with it; its value stays for when the camera is back.
        const QSignalBlocker block(edit);
        edit->clear();
    }
    for (QAbstractButton* check : findChildren<QAbstractButton*>()) {
        if (!check->isCheckable()) continue;
        const QSignalBlocker block(check);
        check->setChecked(false);
    }
    for (QComboBox* box : findChildren<QComboBox*>()) {
        if (box->isEditable()) continue;
        const QSignalBlocker block(box);
        box->setCurrentIndex(-1);
    }
    for (QAbstractSlider* slider : findChildren<QAbstractSlider*>()) {
        const QSignalBlocker block(slider);
        slider->setValue(slider->minimum());
    }
    m_model.setUpdateCounter(saved);
}

void CDlgBaseFX3::loadFromPB() {
    runBatch([this] { m_model.loadFromStore(); });
}

void CDlgBaseFX3::updateHeld() {
    const int saved = m_model.updateCounter();
    m_model.setUpdateCounter(1);
    // Filled also without camera values, for what the window shows or hides by itself (the fan
    // box), then emptied.
    updateControls();
    m_model.setUpdateCounter(saved);
    if (!m_cameraValid) blankControls();
}

void CDlgBaseFX3::showEvent(QShowEvent* event) {
    CDlgBase::showEvent(event);
    if (event->spontaneous()) return;
    if (camera().connected()) {
        readState();
    } else {
        setCameraValid(false);
    }
    updateHeld();
}

void CDlgBaseTab::refresh() {
    if (camera().connected()) {
        readState();
    } else {
        setCameraValid(false);
    }
    updateHeld();
}

}  // namespace TVR
