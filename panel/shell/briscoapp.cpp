#include "briscoapp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QProcess>
#include <QTextStream>

#include "apilog.h"
#include "brisco_dlg.h"
#include "brisco_pages.h"
#include "brisco_startup.h"
#include "briscostatusbar.h"
#include "camera_session.h"
#include "preferences.h"
#include "preferences_storage.h"
#include "usb_backend.h"
#include "user_dialogs.h"

namespace TVR {
namespace {

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

    QtUserDialogs dialogs;
    PreferencesStorage storage;
    storage.migrateGeometry();
    Preferences& preferences = Preferences::instance();
    readPreferencesReporting(storage, preferences, dialogs);
    ApiLog& log = ApiLog::instance();
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
        MainWindowSetup setup{backends,
                              log,
                              preferences,
                              storage,
                              dialogs,
                              briscoPageFactory(),
                              kSessionControlTimeoutMs,
                              CBriscoStatusBar::kMsPerCharacter,
                              restartProgram};
        CbriscoDlg window(std::move(setup));
        registerBriscoTools(window);
        window.exec();
    }
    // OK and Cancel both end a normal run.
    storage.writeAll(preferences, &log);
    return 0;
}

}  // namespace TVR
