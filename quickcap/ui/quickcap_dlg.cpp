#include "quickcap_dlg.h"

#include <fmt/format.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <thread>

#include "core/frame_stamp.h"
#include "core/pipeline_rules.h"
#include "ui/cap_preview.h"

namespace OLK {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

QLabel* label(const QString& text, int id = 0) {
    auto* l = new QLabel(text);
    if (id != 0) l->setObjectName(QStringLiteral("c%1").arg(id));
    return l;
}

QSlider* slider(int id) {
    auto* s = new QSlider(Qt::Horizontal);
    s->setObjectName(QStringLiteral("c%1").arg(id));
    s->setTickPosition(QSlider::TicksBelow);
    return s;
}

}  // namespace

CquickcapDlg::CquickcapDlg(std::shared_ptr<CaptureBackend> backend, uint64_t memoryBudget,
                           QWidget* parent)
    : QDialog(parent), m_backend(std::move(backend)) {
    setWindowTitle(QStringLiteral("---BETA--- Tavro's RT slow-motion ---BETA---"));
    setWindowIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    buildControls();

    m_rt = new CCapPreviewRT(this);
    m_slow = new CCapSlowMo(this);
    m_pipeline = std::make_unique<CapturePipeline>(m_backend, memoryBudget, &m_rt->presenter(),
                                                   &m_slow->presenter());
    connect(m_slow, &CCapSlowMo::tick, this, &CquickcapDlg::onReplayTick);
    connect(m_slow, &CCapSlowMo::stepKey, this, &CquickcapDlg::onStepKey);

    fillDevices();
    if (!m_pipeline->openDisplay()) {
        message(QStringLiteral("Failed to init the RT capture preview window"),
                QStringLiteral("Error"));
        return;
    }
    // Plug events arrive on the backend's thread; the dialog handles them on its own.
    QPointer<CquickcapDlg> self(this);
    m_backend->setDeviceChangeListener([self](const DeviceChangeEvent& event) {
        if (!self) return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, event] {
                if (self) self->onDeviceChange(event);
            },
            Qt::QueuedConnection);
    });
    m_initialized = true;
}

CquickcapDlg::~CquickcapDlg() {
    m_backend->setDeviceChangeListener(nullptr);
    // A running save reads held frames of the pool: it ends before the pool goes.
    m_saveCancel = true;
    if (m_saveThread.joinable()) m_saveThread.join();
    // The pipeline's threads draw through the preview windows' presenters: end them first.
    m_pipeline->close();
}

void CquickcapDlg::buildControls() {
    m_devices = new QComboBox;
    m_devices->setObjectName(QStringLiteral("c1001"));
    m_streams = new QComboBox;
    m_streams->setObjectName(QStringLiteral("c1003"));
    m_streams->setEnabled(false);
    m_modes = new QListWidget;
    m_modes->setObjectName(QStringLiteral("c1004"));
    m_memory = slider(1005);
    m_memory->setRange(0, kMemorySteps);
    m_memory->setValue(0);
    m_playback = slider(1006);
    m_playback->setRange(1, 480);
    m_playback->setTickInterval(5);
    m_launch = new QPushButton(QStringLiteral("&Launch!"));
    m_launch->setObjectName(QStringLiteral("c1007"));
    m_launch->setEnabled(false);
    m_memoryLabel = label(QStringLiteral("0.1GB"), 1008);
    m_playbackLabel = label(QStringLiteral("1 FPS"), 1009);
    m_delayLabel = label(QStringLiteral("66ms"), 1010);
    m_buffered = label(QStringLiteral("0"), 1011);
    m_resync = new QPushButton(QStringLiteral("Re-&sync"));
    m_resync->setObjectName(QStringLiteral("c1013"));
    m_matchSize = new QCheckBox(QStringLiteral("Match window sizes to video"));
    m_matchSize->setObjectName(QStringLiteral("c1014"));
    m_matchSize->setChecked(true);
    m_synchronized = new QCheckBox(QStringLiteral("Synchronized capture mode"));
    m_synchronized->setObjectName(QStringLiteral("c1015"));
    for (int i = 0; i < 10; ++i) m_stats[i] = label(QStringLiteral("Static"), 1016 + i);
    m_slowMotion = new QCheckBox(QStringLiteral("Apply the real-time slow-motion effect"));
    m_slowMotion->setObjectName(QStringLiteral("c1026"));
    m_freeze = new QCheckBox(QStringLiteral("Freeze real-time when running slow-mo"));
    m_freeze->setObjectName(QStringLiteral("c1027"));
    m_threads = slider(1028);
    const int hardware = static_cast<int>(std::thread::hardware_concurrency());
    m_threads->setRange(1, std::max(1, hardware / 2));
    m_threads->setTickInterval(1);
    m_threads->setValue(1);
    m_threadLabel = label(QStringLiteral("1"), 1029);
    m_pause = new QCheckBox(QStringLiteral("&Pause replay"));
    m_pause->setObjectName(QStringLiteral("pauseReplay"));
    m_save = new QPushButton(QStringLiteral("Save &burst..."));
    m_save->setObjectName(QStringLiteral("saveBurst"));
    auto* about = new QPushButton(QStringLiteral("&About quickcap..."));
    about->setObjectName(QStringLiteral("about"));

    auto* left = new QGridLayout;
    left->addWidget(m_devices, 0, 0, 1, 2);
    left->addWidget(m_streams, 0, 2);
    left->addWidget(m_modes, 1, 0, 1, 3);
    left->addWidget(label(QStringLiteral("Memory:")), 2, 0);
    auto* memoryRow = new QHBoxLayout;
    memoryRow->addWidget(label(QStringLiteral("Less")));
    memoryRow->addWidget(m_memory);
    memoryRow->addWidget(label(QStringLiteral("More")));
    left->addLayout(memoryRow, 2, 1);
    left->addWidget(m_memoryLabel, 2, 2);
    left->addWidget(label(QStringLiteral("Playback:")), 3, 0);
    left->addWidget(m_playback, 3, 1);
    left->addWidget(m_playbackLabel, 3, 2);
    left->addWidget(label(QStringLiteral("Frame delay:")), 4, 0);
    left->addWidget(m_delayLabel, 4, 1);
    left->addWidget(label(QStringLiteral("Frames buffered:")), 5, 0);
    left->addWidget(m_buffered, 5, 1, 1, 2);
    left->addWidget(m_matchSize, 6, 0, 1, 3);
    left->addWidget(m_synchronized, 7, 0, 1, 3);
    left->addWidget(m_slowMotion, 8, 0, 1, 3);
    left->addWidget(m_freeze, 9, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_launch);
    buttons->addWidget(m_resync);
    buttons->addWidget(m_pause);
    buttons->addWidget(m_save);
    buttons->addWidget(about);
    left->addLayout(buttons, 10, 0, 1, 3);

    auto* statistics = new QGroupBox(QStringLiteral("Statistics"));
    auto* statsLayout = new QVBoxLayout(statistics);
    for (QLabel* line : m_stats) statsLayout->addWidget(line);
    auto* cpu = new QGroupBox(QStringLiteral("CPU utilization"));
    auto* cpuLayout = new QHBoxLayout(cpu);
    cpuLayout->addWidget(m_threads);
    cpuLayout->addWidget(m_threadLabel);
    auto* right = new QVBoxLayout;
    right->addWidget(statistics);
    right->addWidget(cpu);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 3);
    top->addLayout(right, 2);

    connect(m_devices, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CquickcapDlg::onDeviceSelected);
    connect(m_streams, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CquickcapDlg::onStreamSelected);
    connect(m_modes, &QListWidget::currentRowChanged, this, &CquickcapDlg::onModeSelected);
    connect(m_launch, &QPushButton::clicked, this, &CquickcapDlg::launch);
    connect(m_resync, &QPushButton::clicked, this, &CquickcapDlg::resync);
    connect(m_slowMotion, &QCheckBox::clicked, this, [this] { applyCheckBoxes(true); });
    connect(m_freeze, &QCheckBox::clicked, this, [this] { applyCheckBoxes(false); });
    connect(m_pause, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            m_pipeline->replay().pause();
        } else {
            m_pipeline->replay().resume();
        }
        showReplayPosition();
    });
    connect(m_save, &QPushButton::clicked, this, &CquickcapDlg::saveBurst);
    connect(about, &QPushButton::clicked, this, &CquickcapDlg::showAbout);
    // Sliders act when the thumb is released or a keyboard or page step ends.
    auto onRelease = [this](QSlider* s, void (CquickcapDlg::*apply)()) {
        connect(s, &QSlider::sliderReleased, this, apply);
        connect(s, &QSlider::valueChanged, this, [this, s, apply] {
            if (!s->isSliderDown()) (this->*apply)();
        });
    };
    onRelease(m_playback, &CquickcapDlg::applyPlayback);
    onRelease(m_memory, &CquickcapDlg::applyMemory);
    onRelease(m_threads, &CquickcapDlg::applyThreads);
}

void CquickcapDlg::message(const QString& text, const QString& caption) {
    m_messages << text;
    auto* box = new QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CquickcapDlg::fillDevices() {
    const size_t count = m_pipeline->enumerate();
    if (count == 0) {
        message(QStringLiteral("Doomed! No video capturing devices found on this system. Are you "
                               "sure at least one of those is connected?"),
                QStringLiteral("Error"));
    }
    if (count == m_lastDeviceCount) return;
    m_lastDeviceCount = count;
    QSignalBlocker block(m_devices);
    m_devices->clear();
    for (const std::string& name : m_pipeline->deviceNames()) m_devices->addItem(qs(name));
    m_devices->setCurrentIndex(-1);
}

Selection CquickcapDlg::currentSelection() const {
    return Selection{m_devices->currentIndex(), m_streams->currentIndex(), m_modes->currentRow()};
}

void CquickcapDlg::onDeviceSelected(int index) {
    m_pipeline->enumerate();
    const uint32_t streams = index >= 0 ? m_pipeline->streamCount(index) : 0;
    {
        QSignalBlocker block(m_streams);
        m_streams->clear();
        for (uint32_t s = 0; s < streams; ++s) m_streams->addItem(QStringLiteral("#%1").arg(s));
        m_streams->setCurrentIndex(streams > 0 ? 0 : -1);
    }
    m_streams->setEnabled(streams > 1);
    refillModes();
}

void CquickcapDlg::onStreamSelected(int) { refillModes(); }

void CquickcapDlg::refillModes() {
    m_launch->setEnabled(false);
    QSignalBlocker block(m_modes);
    m_modes->clear();
    if (m_devices->currentIndex() < 0) return;
    m_pipeline->enumerate();
    for (const std::string& text :
         m_pipeline->modeTexts(m_devices->currentIndex(), std::max(0, m_streams->currentIndex()))) {
        m_modes->addItem(qs(text));
    }
    m_pipeline->setSelection(currentSelection());
}

void CquickcapDlg::onModeSelected() {
    const Selection sel = currentSelection();
    m_pipeline->setSelection(sel);
    const std::optional<int> top = m_pipeline->modeMaxRate(sel);
    if (sel.complete() && top) {
        m_launch->setEnabled(true);
        const PlaybackRange range = playbackRange(*top);
        QSignalBlocker block(m_playback);
        m_playback->setTickInterval(range.tick);
        m_playback->setMaximum(std::max(1, range.maximum));
        m_playback->setValue(range.maximum);
    } else {
        m_launch->setEnabled(false);
        QSignalBlocker block(m_playback);
        m_playback->setMaximum(2);
    }
    m_pipeline->setPlaybackRate(m_playback->value());
    updateLabels();
}

void CquickcapDlg::updateLabels() {
    m_playbackLabel->setText(qs(playbackLabel(m_playback->value())));
    m_delayLabel->setText(qs(delayLabel(m_pipeline->frameDelay())));
    m_memoryLabel->setText(qs(memoryLabel(m_pipeline->poolBytes())));
}

void CquickcapDlg::applyPlayback() {
    m_pipeline->playbackMoved(m_playback->value());
    m_slow->rearm(m_pipeline->frameDelay());
    updateLabels();
}

void CquickcapDlg::applyMemory() {
    m_pipeline->setMemoryPosition(m_memory->value());
    m_memoryLabel->setText(qs(memoryLabel(m_pipeline->poolBytes())));
}

void CquickcapDlg::applyThreads() {
    const auto n = static_cast<uint32_t>(m_threads->value());
    m_rt->presenter().setConversionThreads(n);
    m_slow->presenter().setConversionThreads(n);
    m_threadLabel->setText(QString::number(n));
}

void CquickcapDlg::applyCheckBoxes(bool slowMotionClicked) {
    m_pipeline->setFreezeBox(m_freeze->isChecked());
    if (slowMotionClicked) {
        m_pipeline->setSlowMotion(m_slowMotion->isChecked());
        m_slow->rearm(m_pipeline->frameDelay());
        updateLabels();
    }
}

void CquickcapDlg::launch() {
    if (m_pause->isChecked()) m_pause->setChecked(false);
    m_pipeline->setSelection(currentSelection());
    m_pipeline->setSynchronized(m_synchronized->isChecked());
    m_pipeline->setMemoryPosition(m_memory->value());
    const auto result = m_pipeline->start();
    if (result == CapturePipeline::StartResult::kPresenterFailed) {
        message(QStringLiteral("Couldn't set the video mode"), QStringLiteral("Error"));
        return;
    }
    if (result != CapturePipeline::StartResult::kStarted) return;
    if (m_matchSize->isChecked()) {
        m_rt->matchVideoSize();
        m_slow->matchVideoSize();
    }
    m_rt->show();
    m_slow->show();
    m_pipeline->recomputeDelay();
    m_slow->rearm(m_pipeline->frameDelay());
    updateLabels();
}

void CquickcapDlg::resync() { m_pipeline->resync(); }

void CquickcapDlg::startFirstMode(int replayFps) {
    if (m_devices->count() == 0) return;
    m_devices->setCurrentIndex(0);
    if (m_modes->count() == 0) return;
    m_modes->setCurrentRow(0);
    if (replayFps > 0 && replayFps < m_playback->maximum()) {
        m_slowMotion->setChecked(true);
        applyCheckBoxes(true);
        m_playback->setValue(replayFps);
    }
    launch();
}

void CquickcapDlg::onReplayTick() {
    if (m_pipeline->replayTick() && !m_statisticsQueued) {
        m_statisticsQueued = true;
        QMetaObject::invokeMethod(this, &CquickcapDlg::updateStatistics, Qt::QueuedConnection);
    }
}

void CquickcapDlg::updateStatistics() {
    m_statisticsQueued = false;
    const FastMem* pool = m_pipeline->pool();
    m_buffered->setText(
        qs(bufferedLine(static_cast<int64_t>(m_pipeline->captureQueue().size()),
                        static_cast<int64_t>(m_pipeline->replayQueue().size()),
                        pool != nullptr ? static_cast<int>(pool->countTotalBlocks()) : 0,
                        m_pipeline->frameDelay())));
    const auto lines = m_pipeline->statistics();
    for (size_t i = 0; i < lines.size(); ++i) {
        m_stats[1 + i]->setText(qs(statisticsLine(lines[i].description, lines[i].averageUs)));
    }
    m_stats[8]->setText(qs(fmt::format("Dropped: {}", m_pipeline->counters().dropped)));
}

void CquickcapDlg::onStepKey(int key) {
    ReplayStage& replay = m_pipeline->replay();
    if (key == Qt::Key_Space) {
        m_pause->toggle();
        return;
    }
    if (!replay.paused()) return;
    if (key == Qt::Key_Left) replay.step(-1);
    if (key == Qt::Key_Right) replay.step(1);
    if (key == Qt::Key_Home) replay.home();
    if (key == Qt::Key_End) replay.end();
    showReplayPosition();
}

void CquickcapDlg::showReplayPosition() {
    const ReplayStage& replay = m_pipeline->replay();
    QString text;
    if (replay.paused() && replay.heldCount() > 0) {
        text = qs(fmt::format("Frame {} at +{:.3f}ms ({} of {})", replay.shownStamp().sequence,
                              static_cast<double>(replay.shownRelativeTime()) / 10000.0,
                              replay.position() + 1, replay.heldCount()));
    }
    m_stats[9]->setText(text.isEmpty() ? QStringLiteral("Static") : text);
    m_slow->setOverlay(text);
}

void CquickcapDlg::onDeviceChange(const DeviceChangeEvent& event) {
    if (m_pipeline->handleDeviceChange(event)) {
        message(QStringLiteral("Lost the capture device."), QStringLiteral("Panic!"));
    }
}

void CquickcapDlg::showAbout() {
    QDialog box(this);
    box.setWindowTitle(QStringLiteral("---BETA--- About quickcap"));
    auto* layout = new QHBoxLayout(&box);
    auto* icon = new QLabel;
    icon->setPixmap(windowIcon().pixmap(32, 32));
    layout->addWidget(icon);
    layout->addWidget(new QLabel(QStringLiteral("quickcap, Version 1.1.1")));
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(ok, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(ok);
    box.exec();
}

void CquickcapDlg::saveBurst() {
    QString filter;
    const QString video = QStringLiteral("Lossless video, FFV1 in Matroska (*.mkv)");
    const QString pngs = QStringLiteral("Numbered PNG files in a new folder (*)");
    const QString target =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save burst"),
                                     QStringLiteral("burst.mkv"), video + ";;" + pngs, &filter);
    if (target.isEmpty()) return;
    saveBurstTo(target, filter == pngs ? BurstFormat::kPng : BurstFormat::kMatroskaFfv1);
}

bool CquickcapDlg::saveBurstTo(const QString& target, BurstFormat format) {
    const MediaTypeVideo* mode = m_pipeline->startedMode();
    if (saving() || mode == nullptr) return false;
    ReplayStage& replay = m_pipeline->replay();
    m_pausedBeforeSave = replay.paused();
    // Holding the buffered frames keeps them out of the replay and the pool while they are
    // written; capture goes on with the blocks left.
    if (!m_pausedBeforeSave) replay.pause();
    std::vector<const WorkSlot*> frames(replay.held().begin(), replay.held().end());
    if (frames.empty()) {
        if (!m_pausedBeforeSave) replay.resume();
        message(QStringLiteral("No frames are buffered for replay."), QStringLiteral("Error"));
        return false;
    }
    m_lastBurstNumbers.clear();
    for (const WorkSlot* slot : frames) m_lastBurstNumbers.push_back(readStamp(slot).sequence);
    BurstFormatSpec spec;
    spec.subtype = mode->subtype();
    spec.width = mode->frameSize().width;
    spec.height = mode->frameSize().height;
    spec.stride = mode->defaultStride();
    spec.rateNumerator = mode->frameRateMax().numerator;
    spec.rateDenominator = mode->frameRateMax().denominator;

    m_pause->setEnabled(false);
    m_launch->setEnabled(false);
    m_save->setEnabled(false);
    m_saveDone = 0;
    m_saveCancel = false;
    m_saveFinished = false;
    m_progress =
        new QProgressDialog(QStringLiteral("Saving %1 frames...").arg(frames.size()),
                            QStringLiteral("Cancel"), 0, static_cast<int>(frames.size()), this);
    m_progress->setWindowTitle(QStringLiteral("Save burst"));
    m_progress->setObjectName(QStringLiteral("saveProgress"));
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    connect(m_progress, &QProgressDialog::canceled, this, [this] { m_saveCancel = true; });
    m_progress->show();
    m_saveThread = std::thread([this, frames, spec, format, path = target.toStdString()] {
        m_lastBurst = writeBurst(frames, spec, format, path, [this](size_t done, size_t) {
            m_saveDone = done;
            return !m_saveCancel.load();
        });
        m_saveFinished = true;
    });
    if (m_savePoll == nullptr) {
        m_savePoll = new QTimer(this);
        connect(m_savePoll, &QTimer::timeout, this, &CquickcapDlg::pollSave);
    }
    m_savePoll->start(30);
    return true;
}

void CquickcapDlg::pollSave() {
    if (m_progress != nullptr) m_progress->setValue(static_cast<int>(m_saveDone.load()));
    if (m_saveFinished) finishSave();
}

void CquickcapDlg::finishSave() {
    m_savePoll->stop();
    m_saveThread.join();
    if (m_progress != nullptr) {
        m_progress->disconnect(this);
        m_progress->deleteLater();
        m_progress = nullptr;
    }
    if (!m_pausedBeforeSave) m_pipeline->replay().resume();
    m_pause->setEnabled(true);
    m_launch->setEnabled(m_modes->currentRow() >= 0);
    m_save->setEnabled(true);
    if (!m_lastBurst.ok && !m_lastBurst.cancelled) {
        message(QStringLiteral("Couldn't save the burst: %1").arg(qs(m_lastBurst.error)),
                QStringLiteral("Error"));
    }
}

}  // namespace OLK
