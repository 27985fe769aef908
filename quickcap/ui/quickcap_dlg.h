#pragma once

// The viewer's main dialog: device, stream and mode lists, the memory, playback and thread
// sliders, the check boxes, Launch and Re-sync, the statistics lines, and the two preview
// windows. Controls carry the objectName c<id>. The frame path is the CapturePipeline it owns.

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <memory>
#include <thread>

#include "core/burst_writer.h"
#include "core/capture_pipeline.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressDialog;
class QPushButton;
class QSlider;
class QTimer;

namespace OLK {

class CCapPreviewRT;
class CCapSlowMo;

class CquickcapDlg : public QDialog {
    Q_OBJECT
public:
    CquickcapDlg(std::shared_ptr<CaptureBackend> backend, uint64_t memoryBudget,
                 QWidget* parent = nullptr);
    ~CquickcapDlg() override;

    // False when a step of the start-up failed (its message was shown).
    bool initialized() const { return m_initialized; }
    CapturePipeline& pipeline() { return *m_pipeline; }
    CCapPreviewRT* realTimeWindow() const { return m_rt; }
    CCapSlowMo* slowMotionWindow() const { return m_slow; }
    // Texts of every message box shown so far, for the record.
    const QStringList& messages() const { return m_messages; }

    // Writes the frames buffered for replay while capture goes on, with a progress box that
    // can cancel. Returns false when nothing could be started (no frames, a save running).
    bool saveBurstTo(const QString& target, BurstFormat format);
    bool saving() const { return m_saveThread.joinable(); }
    const BurstResult& lastBurst() const { return m_lastBurst; }
    const std::vector<int64_t>& lastBurstNumbers() const { return m_lastBurstNumbers; }

    // Chooses the first device, stream and mode and launches, replaying at replayFps when it
    // is below the mode's rate (the command line's --start).
    void startFirstMode(int replayFps);

public slots:
    void launch();
    void resync();
    void updateStatistics();
    void showAbout();
    void saveBurst();

private slots:
    void onDeviceSelected(int index);
    void onStreamSelected(int index);
    void onModeSelected();
    void onReplayTick();
    void onStepKey(int key);
    void onDeviceChange(const OLK::DeviceChangeEvent& event);

private:
    void buildControls();
    void fillDevices();
    void refillModes();
    void updateLabels();
    void applyPlayback();
    void applyMemory();
    void applyThreads();
    void applyCheckBoxes(bool slowMotionClicked);
    void showReplayPosition();
    void pollSave();
    void finishSave();
    void message(const QString& text, const QString& caption);
    Selection currentSelection() const;

    std::shared_ptr<CaptureBackend> m_backend;
    CCapPreviewRT* m_rt = nullptr;
    CCapSlowMo* m_slow = nullptr;
    std::unique_ptr<CapturePipeline> m_pipeline;
    bool m_initialized = false;
    size_t m_lastDeviceCount = static_cast<size_t>(-1);
    QStringList m_messages;

    QComboBox* m_devices = nullptr;
    QComboBox* m_streams = nullptr;
    QListWidget* m_modes = nullptr;
    QSlider* m_memory = nullptr;
    QSlider* m_playback = nullptr;
    QSlider* m_threads = nullptr;
    QPushButton* m_launch = nullptr;
    QPushButton* m_resync = nullptr;
    QPushButton* m_save = nullptr;
    QLabel* m_memoryLabel = nullptr;
    QLabel* m_playbackLabel = nullptr;
    QLabel* m_delayLabel = nullptr;
    QLabel* m_buffered = nullptr;
    QLabel* m_threadLabel = nullptr;
    QLabel* m_stats[10] = {};
    QCheckBox* m_matchSize = nullptr;
    QCheckBox* m_synchronized = nullptr;
    QCheckBox* m_slowMotion = nullptr;
    QCheckBox* m_freeze = nullptr;
    QCheckBox* m_pause = nullptr;
    // A statistics refresh is queued: a fast replay asks far more often than labels can change.
    bool m_statisticsQueued = false;

    std::thread m_saveThread;
    std::atomic<size_t> m_saveDone{0};
    std::atomic<bool> m_saveCancel{false};
    std::atomic<bool> m_saveFinished{false};
    bool m_pausedBeforeSave = false;
    QProgressDialog* m_progress = nullptr;
    QTimer* m_savePoll = nullptr;
    BurstResult m_lastBurst;
    std::vector<int64_t> m_lastBurstNumbers;
};

}  // namespace OLK
