#include "brisco_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QProcess>
#include <QTextStream>

#include "apilog.h"
#include "backend/usb_backend.h"
#include "session/camera_session.h"
#include "settings/preferences.h"
#include "settings/preferences_storage.h"
#include "shell/brisco_dlg.h"
#include "shell/brisco_pages.h"
#include "shell/brisco_startup.h"
#include "shell/brisco_status_bar.h"
#include "shell/global_hotkeys.h"
#include "shell/release_notice.h"
#include "tools/firmware/firmware_tools.h"
#include "shell/user_dialogs.h"

namespace TVR {
namespace {

constexpr double kSimulatedUpgradeTiming = 0.05;

bool restartProgram() {
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty()) arguments.removeFirst();
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
}

}  // namespace

int CbriscoApp::run(QApplication& /*app*/) {
    QCoreApplication::setOrganizationName(QStringLiteral("Tavro"));
    QCoreApplication::setApplicationName(QStringLiteral("Webcam tools"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.6.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(CbriscoDlg::kProgramTitle));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Run on simulated cameras (configured by the TAVRO_SIM variable)."));
    parser.addOption(simulate);
    if (!parser.parse(QCoreApplication::arguments())) {
        QTextStream(stderr) << parser.errorText() << '\n' << parser.helpText();
        return 2;
    }
    if (parser.isSet(help)) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }

    // The program's one API-call log: the window, the session, the camera and every batch record
    // into it, and it outlives all of them.
    ApiLog log;
    QtUserDialogs dialogs;
    PreferencesStorage storage;
    storage.migrateGeometry();
    Preferences& preferences = Preferences::instance();
    readPreferencesReporting(storage, preferences, dialogs);
    applyStartupPreferences(preferences, log);

    std::string error;
    Backends backends = openBackends(parser.isSet(simulate), error);
    if (!backends.usb) {
        MessageRequest r;
        r.icon = QMessageBox::Critical;
        r.title = QStringLiteral("Fatal error");
        r.text = QStringLiteral("Failed to initialize the camera backends: %1")
                     .arg(QString::fromStdString(error));
        dialogs.message(nullptr, r);
        return 1;
    }

    {
        MainWindowSetup setup{backends,          log,
                              preferences,       storage,
                              dialogs,           briscoPageFactory(),
                              kControlTimeoutMs, CBriscoStatusBar::kMsPerCharacter,
                              restartProgram};
        CbriscoDlg window(std::move(setup));
        registerBriscoTools(window);
        FirmwareToolsOptions firmware;
        firmware.followCamera = true;
        // The simulated camera re-enumerates and configures in a fraction of the time.
        if (parser.isSet(simulate)) {
            firmware.timing = UpgradeTiming::scaled(kSimulatedUpgradeTiming);
        }
        registerFirmwareTools(window, std::move(firmware));
        GlobalHotkeys hotkeys(log, [&window](int n) { window.loadPreset(n); });
        // Both checks ask the network on worker threads; the window does not wait for them.
        if (auto* notice = window.findChild<ReleaseNotice*>(
                QString::fromLatin1(ReleaseNotice::kObjectName))) {
            notice->checkAtStartup();
        }
        if (FirmwareTools* firmware = firmwareTools(window)) firmware->checkUpgradeLinks();
        window.exec();
    }
    // OK and Cancel both end a normal run.
    storage.writeAll(preferences, log);
    return 0;
}

}  // namespace TVR
