#pragma once

// CDlgAMVideoProcAmp: the "Camera" page, the processing-amplifier properties of the selected
// camera's capture device, one row of label, slider, number box, spin box and "Auto" per
// property. CDlgUVCBase holds the capture device's properties: obtained from the media source
// on first use and released 500 ms after the last, so the device node is not kept open while
// the page is idle. User-interface thread.

#include <QDialog>
#include <QTimer>
#include <array>
#include <memory>

#include "shell/video_proc_amp_model.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QShowEvent;
class QSlider;
class QSpinBox;

namespace TVR {

class CameraMediaSource;
class UvcProperties;
class UvcPropertySource;

class CDlgUVCBase : public QDialog {
    Q_OBJECT
public:
    static constexpr int kReleaseMs = 500;

    CDlgUVCBase(CameraMediaSource& source, QWidget* parent);
    ~CDlgUVCBase() override;

    // Whether the capture device is held now.
    bool holdingSource() const { return m_held != nullptr; }
    // Drops the held device at once, as when another camera was selected.
    void releaseSource();

protected:
    // The processing amplifier of the capture device, obtained when not held; every call
    // restarts the release timer. Null when the camera has no capture device or no such set.
    UvcProperties* procAmp();

private:
    CameraMediaSource& m_source;
    std::unique_ptr<UvcPropertySource> m_held;
    QTimer m_release;
};

class CDlgAMVideoProcAmp : public CDlgUVCBase {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 184;

    // The media source must outlive the page.
    CDlgAMVideoProcAmp(CameraMediaSource& source, QWidget* parent);
    ~CDlgAMVideoProcAmp() override;

    // Reads every row from the device and shows it (on show, and after a settings load).
    void refresh();
    const VideoProcAmpModel& model() const { return m_model; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct RowWidgets {
        QLabel* label = nullptr;
        QSlider* slider = nullptr;
        QLineEdit* number = nullptr;
        QSpinBox* spin = nullptr;
        QCheckBox* autoBox = nullptr;
    };

    void buildControls();
    void showRow(size_t row);
    void showAll();
    void onSlider(size_t row, int position);
    void onNumber(size_t row, const QString& text);
    void onSpin(size_t row, int value);
    void onAuto(size_t row);
    void onDefault();

    VideoProcAmpModel m_model;
    std::array<RowWidgets, 10> m_rows{};
    bool m_filling = false;
};

}  // namespace TVR
