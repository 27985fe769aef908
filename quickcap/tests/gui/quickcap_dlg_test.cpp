#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "core/pipeline_rules.h"
#include "media/synthetic/synthetic_backend.h"
#include "ui/cap_preview.h"
#include "ui/quickcap_dlg.h"

namespace OLK {
namespace {

std::shared_ptr<SyntheticBackend> cameras(const std::string& text) {
    SyntheticConfig config;
    std::string error;
    EXPECT_TRUE(SyntheticConfig::parse(text, &config, &error)) << error;
    return std::make_shared<SyntheticBackend>(config);
}

template <typename W>
W* control(QWidget& dialog, int id) {
    W* w = dialog.findChild<W*>(QStringLiteral("c%1").arg(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}

QString text(QWidget& dialog, int id) { return control<QLabel>(dialog, id)->text(); }

void chooseDevice(QWidget& dialog, int index) {
    control<QComboBox>(dialog, 1001)->setCurrentIndex(index);
}

void chooseMode(QWidget& dialog, int row) {
    control<QListWidget>(dialog, 1004)->setCurrentRow(row);
}

// Launches the first mode of the first camera with slow motion at 1 FPS, so the replay queue
// fills; true once it holds more than 20 frames.
bool launchSlowReplay(CquickcapDlg& dialog) {
    chooseDevice(dialog, 0);
    chooseMode(dialog, 0);
    control<QCheckBox>(dialog, 1026)->click();
    control<QSlider>(dialog, 1006)->setValue(1);
    control<QPushButton>(dialog, 1007)->click();
    return QTest::qWaitFor([&] { return dialog.pipeline().replayQueue().size() > 20; }, 20000);
}

TEST(CquickcapDlg, StartsWithTheDocumentedControlsAndTexts) {
    auto backend = cameras("modes=640x480@240:YUY2");
    CquickcapDlg dialog(backend, kMinPoolBytes);
    ASSERT_TRUE(dialog.initialized());
    EXPECT_EQ(dialog.windowTitle(), "---BETA--- Tavro's RT slow-motion ---BETA---");
    EXPECT_FALSE(control<QPushButton>(dialog, 1007)->isEnabled());
    EXPECT_EQ(control<QPushButton>(dialog, 1007)->text(), "&Launch!");
    EXPECT_EQ(control<QPushButton>(dialog, 1013)->text(), "Re-&sync");
    EXPECT_FALSE(control<QComboBox>(dialog, 1003)->isEnabled());
    EXPECT_TRUE(control<QCheckBox>(dialog, 1014)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(dialog, 1015)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(dialog, 1026)->isChecked());
    EXPECT_EQ(text(dialog, 1008), "0.1GB");
    EXPECT_EQ(text(dialog, 1009), "1 FPS");
    EXPECT_EQ(text(dialog, 1010), "66ms");
    EXPECT_EQ(text(dialog, 1029), "1");
    auto* memory = control<QSlider>(dialog, 1005);
    EXPECT_EQ(memory->minimum(), 0);
    EXPECT_EQ(memory->maximum(), 16);
    auto* playback = control<QSlider>(dialog, 1006);
    EXPECT_EQ(playback->maximum(), 480);
    EXPECT_EQ(playback->tickInterval(), 5);
    EXPECT_EQ(control<QComboBox>(dialog, 1001)->count(), 1);
    EXPECT_EQ(control<QComboBox>(dialog, 1001)->itemText(0), "Tavro synthetic camera");
    EXPECT_EQ(dialog.realTimeWindow()->windowTitle(), "Real-time capture preview");
    EXPECT_EQ(dialog.slowMotionWindow()->windowTitle(), "Slow-motion capture preview");
    EXPECT_FALSE(dialog.realTimeWindow()->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dialog.messages().isEmpty());
}

TEST(CquickcapDlg, StreamsModesAndPlaybackFollowTheSelection) {
    auto backend = cameras("cameras=2;streams=3;modes=640x480@240:YUY2,320x240@30:NV12");
    CquickcapDlg dialog(backend, kMinPoolBytes);
    chooseDevice(dialog, 0);
    auto* streams = control<QComboBox>(dialog, 1003);
    ASSERT_EQ(streams->count(), 3);
    EXPECT_EQ(streams->itemText(2), "#2");
    EXPECT_TRUE(streams->isEnabled());
    auto* modes = control<QListWidget>(dialog, 1004);
    ASSERT_EQ(modes->count(), 2);
    EXPECT_FALSE(control<QPushButton>(dialog, 1007)->isEnabled());

    auto* playback = control<QSlider>(dialog, 1006);
    chooseMode(dialog, 0);
    EXPECT_TRUE(control<QPushButton>(dialog, 1007)->isEnabled());
    EXPECT_EQ(playback->maximum(), 240);
    EXPECT_EQ(playback->value(), 240);
    EXPECT_EQ(playback->tickInterval(), 5);
    EXPECT_EQ(text(dialog, 1009), "240 FPS");
    chooseMode(dialog, 1);
    EXPECT_EQ(playback->maximum(), 30);
    EXPECT_EQ(playback->tickInterval(), 1);

    // Slow motion at 5 FPS of a 30 FPS mode: 200 ms between replayed frames.
    control<QCheckBox>(dialog, 1026)->click();
    playback->setValue(5);
    EXPECT_EQ(text(dialog, 1010), "200ms");
    EXPECT_EQ(dialog.slowMotionWindow()->interval(), 200);

    // Another device clears the modes and disables Launch until a mode is chosen.
    chooseDevice(dialog, 1);
    EXPECT_EQ(modes->currentRow(), -1);
    EXPECT_FALSE(control<QPushButton>(dialog, 1007)->isEnabled());
}

TEST(CquickcapDlg, OneStreamKeepsTheStreamListDisabledAndMjpgOnlyLeavesLaunchDisabled) {
    auto backend = cameras("modes=1280x720@30:MJPG");
    CquickcapDlg dialog(backend, kMinPoolBytes);
    chooseDevice(dialog, 0);
    EXPECT_EQ(control<QComboBox>(dialog, 1003)->count(), 1);
    EXPECT_FALSE(control<QComboBox>(dialog, 1003)->isEnabled());
    EXPECT_EQ(control<QListWidget>(dialog, 1004)->count(), 0);
    EXPECT_FALSE(control<QPushButton>(dialog, 1007)->isEnabled());
}

TEST(CquickcapDlg, LaunchShowsMovingFramesInBothWindowsAndTheStatistics) {
    auto backend = cameras("modes=320x240@240:YUY2");
    CquickcapDlg dialog(backend, kMinPoolBytes);
    chooseDevice(dialog, 0);
    chooseMode(dialog, 0);
    control<QPushButton>(dialog, 1007)->click();
    CCapPreviewRT* rt = dialog.realTimeWindow();
    CCapSlowMo* slow = dialog.slowMotionWindow();
    EXPECT_TRUE(rt->isVisible());
    EXPECT_TRUE(slow->isVisible());
    EXPECT_EQ(rt->size(), QSize(320, 240));  // matched to the video
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return rt->presenter().rendered() > 40 && slow->presenter().rendered() > 40; },
        20000));
    const QImage first = slow->presenter().snapshot();
    ASSERT_TRUE(QTest::qWaitFor([&] { return slow->presenter().snapshot() != first; }, 5000));
    // The window paints the converted frame: no navy at the centre once frames arrived.
    const QImage shown = rt->grab().toImage();
    EXPECT_NE(shown.pixel(160, 120), 0xFF000080u);

    dialog.updateStatistics();
    EXPECT_TRUE(text(dialog, 1017).startsWith("Get frame (sync mode): "));
    EXPECT_TRUE(text(dialog, 1018).startsWith("convert to RGBA32: "));
    EXPECT_TRUE(text(dialog, 1019).startsWith("RT frame total time: "));
    EXPECT_TRUE(text(dialog, 1023).startsWith("Slow-mo frame render time: "));
    EXPECT_EQ(text(dialog, 1024), "Dropped: 0");
    EXPECT_TRUE(text(dialog, 1011).contains(" (RT) + ")) << text(dialog, 1011).toStdString();
}

TEST(CquickcapDlg, DeviceLossIsReportedOnceAndLaunchRestartsCapture) {
    auto backend = cameras("modes=160x120@240:YUY2");
    CquickcapDlg dialog(backend, kMinPoolBytes);
    chooseDevice(dialog, 0);
    chooseMode(dialog, 0);
    control<QPushButton>(dialog, 1007)->click();
    FramePresenter& rt = dialog.realTimeWindow()->presenter();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rt.rendered() > 10; }, 20000));
    backend->camera(0)->unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.messages().isEmpty(); }, 5000));
    backend->camera(0)->replug();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.messages(), QStringList{"Lost the capture device."});
    const uint64_t before = rt.rendered();
    control<QPushButton>(dialog, 1007)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rt.rendered() > before + 10; }, 20000));
}

TEST(CquickcapDlg, PausedReplayStepsFrameByFrameWithTheKeys) {
    auto backend = cameras("modes=160x120@240:YUY2");
    CquickcapDlg dialog(backend, kMinPoolBytes);
    ASSERT_TRUE(launchSlowReplay(dialog));
    CCapSlowMo* slow = dialog.slowMotionWindow();
    QTest::keyClick(slow, Qt::Key_Space);
    ReplayStage& replay = dialog.pipeline().replay();
    ASSERT_TRUE(replay.paused());
    const int64_t first = replay.shownStamp().sequence;
    QTest::keyClick(slow, Qt::Key_Right);
    QTest::keyClick(slow, Qt::Key_Right);
    EXPECT_EQ(replay.shownStamp().sequence, first + 2);
    // 240 FPS: two frames are 8.333 ms apart.
    EXPECT_TRUE(
        text(dialog, 1025).startsWith(QStringLiteral("Frame %1 at +8.333ms").arg(first + 2)))
        << text(dialog, 1025).toStdString();
    QTest::keyClick(slow, Qt::Key_End);
    EXPECT_EQ(replay.position(), replay.heldCount() - 1);
    QTest::keyClick(slow, Qt::Key_Home);
    EXPECT_EQ(replay.shownStamp().sequence, first);
    QTest::keyClick(slow, Qt::Key_Space);
    EXPECT_FALSE(replay.paused());
}

TEST(CquickcapDlg, SaveBurstWritesTheBufferedFramesWhileCaptureGoesOn) {
    auto backend = cameras("modes=160x120@240:YUY2");
    CquickcapDlg dialog(backend, kMinPoolBytes);
    ASSERT_TRUE(launchSlowReplay(dialog));
    const QString folder = QDir::temp().filePath(
        QStringLiteral("quickcap-gui-burst-%1").arg(QCoreApplication::applicationPid()));
    QDir(folder).removeRecursively();
    const uint64_t shownBefore = dialog.realTimeWindow()->presenter().rendered();
    ASSERT_TRUE(dialog.saveBurstTo(folder, BurstFormat::kPng));
    EXPECT_TRUE(dialog.findChild<QWidget*>(QStringLiteral("saveProgress"))->isVisible());
    EXPECT_FALSE(control<QPushButton>(dialog, 1007)->isEnabled());  // no restart mid-save
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.saving(); }, 30000));
    ASSERT_TRUE(dialog.lastBurst().ok) << dialog.lastBurst().error;
    QStringList expected;
    for (int64_t n : dialog.lastBurstNumbers()) expected << QString::fromStdString(burstPngName(n));
    expected.sort();
    EXPECT_GT(expected.size(), 20);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
    // Saving stopped nothing: the real-time window kept drawing new frames.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dialog.realTimeWindow()->presenter().rendered() > shownBefore + 5; }, 5000));
    EXPECT_FALSE(dialog.pipeline().replay().paused());
    EXPECT_TRUE(control<QPushButton>(dialog, 1007)->isEnabled());
    QDir(folder).removeRecursively();
}

}  // namespace
}  // namespace OLK
