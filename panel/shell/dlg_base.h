#pragma once

// The window bases of the control panel. CDlgBase remembers its title and keeps its geometry
// under that title; CDlgBaseFX3 ties a window to its model (a value owner over the settings
// store and the camera): on show it reads the camera inside a splash and fills its controls
// from the store with the update counter raised, so that filling never writes to the camera;
// CDlgBaseTab is a page of the main window's tab control, refreshed by F5. User-interface
// thread only.

#include <QDialog>
#include <functional>
#include <string>
#include <thread>

#include "settings/table_value_owner.h"

class QHideEvent;
class QShowEvent;

namespace TVR {

class ImgSensor;
class PreferencesStorage;
class SettingsStore;

// A control id as the widget's object name: "c<id>".
QString controlName(int controlId);

class CDlgBase : public QDialog {
    Q_OBJECT
public:
    // `geometry` keeps the window's position under its title; null keeps nothing.
    CDlgBase(const PreferencesStorage* geometry, QWidget* parent);

    // The title read at initialisation; it names the geometry values.
    const std::string& rememberedTitle() const { return m_title; }

protected:
    // Call at the end of the window's construction, with the title set.
    void initDialog();
    virtual bool resizableFrame() const { return false; }
    void saveGeometry() const;
    void restoreGeometry();

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    const PreferencesStorage* m_geometry;
    std::string m_title;
    bool m_restored = false;
};

class CDlgBaseBrisco : public CDlgBase {
    Q_OBJECT
public:
    using CDlgBase::CDlgBase;
};

// A window that holds camera values through its model.
class CDlgBaseFX3 : public CDlgBaseBrisco, public OwnerWindow {
    Q_OBJECT
public:
    CDlgBaseFX3(TableValueOwner& model, const PreferencesStorage* geometry, QWidget* parent);
    // Waits for a read on a worker to end.
    ~CDlgBaseFX3() override;

    TableValueOwner& model() { return m_model; }
    SettingsStore& store() { return m_model.settings(); }
    ImgSensor& camera() { return m_model.camera(); }

    // Fills the controls from the store; the counter is raised by the caller.
    void updateControls() override = 0;
    bool visible() const override { return isVisible(); }

    // `_readState` and `_loadFromPB` of the window, run as a splash batch that holds the
    // camera's work; refused (and logged) while another batch holds it.
    void readState();
    void loadFromPB();
    // Whether a batch holds the camera's work now; logs the refusal when it does.
    bool cameraBusy();
    // The update step with the counter held at 1 (restored afterwards). A window without
    // camera values shows none.
    void updateHeld();

    // Whether the window has camera values to show: without (no camera, a camera that left, or
    // reads that failed) it is greyed and its fields are empty, so that nothing reads as a value
    // the camera holds. The main window sets it after every whole read; the window's own reads
    // set it from what they saw.
    virtual void setCameraValid(bool valid);
    bool cameraValid() const { return m_cameraValid; }

    // `_readState` on a worker, the window thread free meanwhile (no splash); `done` runs on the
    // window thread afterwards, once the update step ran. False, with nothing started, while a
    // batch holds the camera or a read of this window runs.
    bool readStateAsync(std::function<void()> done);
    bool readInFlight() const { return m_reader.joinable(); }

protected:
    // The window's initialisation ends: the counter goes from 1 to 0.
    void initDialog();
    // The name of the splash task that reads the window's values.
    virtual std::string readStateTaskName() const;
    void showEvent(QShowEvent* event) override;
    // Empties every field and check box of the window (the controls stay where they are).
    virtual void blankControls();
    // A window that owns its model calls this first in its destructor, before the model goes:
    // the base's teardown then leaves the model alone.
    void detachModel();

private:
    void runBatch(const std::function<void()>& step);

    TableValueOwner& m_model;
    bool m_cameraValid = true;
    bool m_modelAttached = true;
    std::thread m_reader;
};

// A page of the main window's tab control.
class CDlgBaseTab : public CDlgBaseFX3 {
    Q_OBJECT
public:
    using CDlgBaseFX3::CDlgBaseFX3;
    // F5: `_readState` when the camera is connected, then the update step.
    void refresh();
};

}  // namespace TVR
