#include "brisco_dlg.h"

#include <fmt/format.h>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QShortcut>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "apilog.h"
#include "backend/usb_backend.h"
#include "sensor/img_sensor.h"
#include "session/camera_session.h"
#include "settings/camera_transfer.h"
#include "settings/preferences.h"
#include "settings/preferences_storage.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_status_bar.h"
#include "shell/dlg_base.h"
#include "shell/media_source.h"
#include "shell/panel_models.h"
#include "shell/preferences_dialog_model.h"
#include "shell/preferences_dlg.h"
#include "shell/presets_dlg.h"
#include "shell/qt_prompter.h"
#include "shell/qt_text.h"
#include "shell/splash.h"
#include "shell/user_dialogs.h"

namespace TVR {
namespace {

constexpr const char* kDropErrorTitle = "File drag-n-drop error";
constexpr const char* kDropErrorText = "You can only drop one file at a time!";
constexpr const char* kDropInfoTitle = "File drag-n-drop info";
constexpr const char* kDropInfoText = "Unrecognized or unsupported file type";
constexpr const char* kResetQuestion =
    "This will attempt to reset the currently selected camera's FX3 module, causing a "
    "soft-reboot with full ground-up re-initialization.\nProceed with the reboot command?";
constexpr const char* kResetForceQuestion =
    "Failed to connect to any supported device. Try to fully unplug and re-plug it back or "
    "force the reset by clicking YES.\nWould you like to try to force the reset?";
constexpr const char* kRestartTitle = "Restart to apply changes";
constexpr const char* kRestartText =
    "The app will now restart to apply the changes.\nPress Cancel if you'd like to restart "
    "later.";

bool isPreset(int id) { return id >= MenuId::kPresetFirst && id <= MenuId::kPresetLast; }

}  // namespace

// The window as queued work from other threads finds it: the pointer is read and cleared on the
// window thread only.
struct CbriscoDlg::Anchor {
    QPointer<CbriscoDlg> window;
};

// The pages' way to the selected camera's UVC properties: the session's capture side.
struct CbriscoDlg::SessionMedia : CameraMediaSource {
    explicit SessionMedia(CameraSession& session) : session(session) {}
    std::unique_ptr<UvcPropertySource> open() override { return session.openUvc(); }
    CameraSession& session;
};

struct CbriscoDlg::Menus {
    std::vector<QMenu*> top;  // by TopMenu
    std::vector<QMenu*> submenus;
};

CbriscoDlg::CbriscoDlg(MainWindowSetup setup, QWidget* parent)
    : CDlgBase(&setup.storage, parent),
      m_setup(std::move(setup)),
      m_anchor(std::make_shared<Anchor>()) {
    m_anchor->window = this;

    setWindowTitle(QString::fromLatin1(kGeometryTitle));
    setAcceptDrops(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Not resizable: the window keeps the size its pages ask for.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_menuBar = new QMenuBar(this);
    layout->setMenuBar(m_menuBar);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(controlName(kTabControlId));
    layout->addWidget(m_tabs);
    m_statusBar = new CBriscoStatusBar(this, m_setup.statusMsPerCharacter);
    layout->addWidget(m_statusBar);

    m_prompter = std::make_unique<QtPrompter>(m_setup.dialogs, this, m_statusBar);
    m_prompter->setTitleRefresh([this] { updateTitle(); });
    m_prompter->setCameraPageRefresh([this] { refreshCameraPage(); });
    // The panel starts on the first camera; the pages fill their models' controls themselves.
    CameraSession::Options options;
    options.controlTimeoutMs = m_setup.controlTimeoutMs;
    options.openFirst = true;
    options.windows = PanelModels::Windows::Attached;
    options.preferences = &m_setup.preferences;
    options.reapplyOnReturn = m_setup.preferences.number(PreferenceName::kReApply) != 0;
    m_session =
        std::make_unique<CameraSession>(m_setup.backends, m_setup.log, *m_prompter, options);
    m_media = std::make_unique<SessionMedia>(*m_session);
    m_context = std::make_unique<PanelContext>(
        PanelContext{*m_session, m_session->camera(), m_session->store(), m_session->models(),
                     m_session->transfer(), m_setup.preferences, m_setup.storage, m_setup.backends,
                     *m_media, m_setup.log, m_setup.dialogs, [this] { readAllFromCamera(); },
                     [this] { return confirmDiscard(); }, [this] { showCameraState(); }});

    // Store changes and log texts may come from a transfer's worker; the window handles them on
    // its own thread, and not at all once it is gone.
    auto anchor = m_anchor;
    store().setChangeCallback([anchor] {
        QMetaObject::invokeMethod(
            qApp,
            [anchor] {
                if (anchor->window) anchor->window->updateTitle();
            },
            Qt::QueuedConnection);
    });
    m_setup.log.setMessageSink([anchor](const std::string& text, bool error) {
        QMetaObject::invokeMethod(
            qApp,
            [anchor, t = QString::fromStdString(text), error] {
                if (anchor->window) anchor->window->m_statusBar->showLogMessage(t, error);
            },
            Qt::QueuedConnection);
    });
    m_setup.log.appendMessage(false, "Started log");

    m_presets.loadFrom(m_setup.preferences);

    if (m_setup.pages) m_pages = m_setup.pages(*m_context, m_tabs);
    for (const Page& page : m_pages) {
        if (page.widget != nullptr) m_tabs->addTab(page.widget, page.caption);
    }
    buildActions();
    buildMenus();
    rebuildMenu();
    if (m_tabs->count() > 0) m_tabs->setCurrentIndex(0);

    if (m_setup.preferences.number(PreferenceName::kDevNotify) != 0) setDeviceTracking(true);

    // The main window keeps its position under its own name; the title then carries the file.
    CDlgBase::initDialog();
    // In place before the first read, so that its splash shows over the window.
    restoreGeometry();
    updateTitle();
    readAllFromCamera();
}

CbriscoDlg::~CbriscoDlg() {
    m_anchor->window = nullptr;
    m_setup.log.setMessageSink({});
    store().setChangeCallback({});
    // Pages and tools refer to the models, which go before the widgets' own teardown.
    for (auto& [id, tool] : m_tools) delete tool;
    m_tools.clear();
    delete m_tabs;
    m_tabs = nullptr;
    m_pages.clear();
    m_context.reset();
    m_session.reset();
}

ImgSensor& CbriscoDlg::camera() { return m_session->camera(); }

bool CbriscoDlg::cameraBusy() {
    // A batch whose modal loop this runs in holds the camera; waiting for it would never end.
    if (!m_session->work().busy()) return false;
    m_setup.log.appendText(false, std::string(kCameraBusyText));
    return true;
}

void CbriscoDlg::showBatchFailure(const SessionResult& result) {
    if (result) return;
    // The batch's closing lines ("Batch end, ...") are still queued for the status bar and would
    // leave it showing an information line; this is queued after them, so the failure stays.
    auto anchor = m_anchor;
    QMetaObject::invokeMethod(
        qApp,
        [anchor, t = QString::fromStdString(result.message)] {
            if (anchor->window) anchor->window->m_statusBar->showLogMessage(t, true);
        },
        Qt::QueuedConnection);
}

SettingsStore& CbriscoDlg::store() { return m_session->store(); }
PanelModels& CbriscoDlg::models() { return m_session->models(); }
CameraTransfer& CbriscoDlg::transfer() { return m_session->transfer(); }

QString CbriscoDlg::titleFor(const std::string& filePath, bool dirty) {
    QString title;
    if (!filePath.empty()) {
        title = QFileInfo(QString::fromStdString(filePath)).fileName();
        if (dirty) title += QLatin1Char('*');
        title += QStringLiteral(" - ");
    }
    title += QString::fromLatin1(kProgramTitle);
    title += QString::fromStdString(
        fmt::format(" {}.{}.{}{}", kVersionMajor, kVersionMinor, kVersionPatch, ""));
    return title;
}

void CbriscoDlg::updateTitle() { setWindowTitle(titleFor(store().filePath(), store().dirty())); }

void CbriscoDlg::buildActions() {
    for (const MenuCommand& c : menuCommands()) {
        auto* a = new QAction(toQ(c.text), this);
        a->setObjectName(controlName(c.id));
        a->setStatusTip(toQ(c.help));
        a->setCheckable(c.checkable);
        if (isPreset(c.id)) {
            // The preset keys are the program's hot keys: they work wherever it has the focus and
            // whatever the menu last showed.
            auto* key = new QShortcut(QKeySequence(toQ(c.key)), this);
            key->setContext(Qt::ApplicationShortcut);
            key->setAutoRepeat(false);
            const int n = c.id - MenuId::kPresetFirst + 1;
            connect(key, &QShortcut::activated, this, [this, n] { loadPreset(n); });
        } else if (!c.key.empty()) {
            a->setShortcut(QKeySequence(toQ(c.key)));
        }
        const int id = c.id;
        connect(a, &QAction::triggered, this, [this, id](bool checked) { onCommand(id, checked); });
        connect(a, &QAction::hovered, this, [this, a] {
            if (!a->statusTip().isEmpty()) m_statusBar->showHelp(a->statusTip());
        });
        // The keys also work while the menu that holds the item is removed.
        addAction(a);
        m_actions[c.id] = a;
    }
}

void CbriscoDlg::buildMenus() {
    m_menus = std::make_unique<Menus>();
    auto fill = [this](QMenu* menu, const MenuLayout& layout) {
        for (int item : layout.items) {
            if (item == 0) {
                menu->addSeparator();
            } else if (item < 0) {
                menu->addMenu(m_menus->submenus.at(static_cast<size_t>(-item - 1)));
            } else if (QAction* a = action(item)) {
                menu->addAction(a);
            }
        }
        connect(menu, &QMenu::aboutToShow, this, &CbriscoDlg::updateMenuState);
    };
    for (const MenuLayout& layout : menuSubmenus()) {
        m_menus->submenus.push_back(new QMenu(toQ(layout.title), this));
    }
    for (size_t i = 0; i < menuSubmenus().size(); ++i) {
        fill(m_menus->submenus[i], menuSubmenus()[i]);
    }
    for (const MenuLayout& layout : menuLayouts()) {
        auto* menu = new QMenu(toQ(layout.title), this);
        fill(menu, layout);
        m_menus->top.push_back(menu);
    }
}

void CbriscoDlg::rebuildMenu() {
    m_menuBar->clear();
    const bool expert = m_setup.preferences.number(PreferenceName::kExpert) != 0;
    const bool beta = m_setup.preferences.number(PreferenceName::kBetaOn) != 0;
    for (size_t i = 0; i < m_menus->top.size(); ++i) {
        const auto which = static_cast<TopMenu>(i);
        if (which == TopMenu::Expert && !expert) continue;
        if (which == TopMenu::Playground && !beta) continue;
        m_menuBar->addMenu(m_menus->top[i]);
    }
    updateMenuState();
}

QAction* CbriscoDlg::action(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CbriscoDlg::updateMenuState() {
    const CameraMenuState state = m_session->menuState();
    const bool connected = state.connected;
    for (const MenuCommand& c : menuCommands()) {
        QAction* a = action(c.id);
        if (a == nullptr) continue;
        bool enabled = c.handled || m_toolFactories.count(c.id) != 0 || m_commands.count(c.id) != 0;
        if (c.needsCamera && !connected) enabled = false;
        if (c.minFx3Build > 0 && connected && !camera().versionFX3().buildAtLeast(c.minFx3Build)) {
            enabled = false;
        }
        a->setEnabled(enabled);
    }
    for (int n = 1; n <= Presets::kCount; ++n) {
        QAction* a = action(MenuId::kPresetFirst + n - 1);
        a->setText(QString::fromStdString(m_presets.menuText(n)));
        a->setEnabled(m_presets.menuEnabled(n, connected));
    }
    if (m_toolFactories.count(MenuId::kNoiseReduction) != 0 && connected) {
        action(MenuId::kNoiseReduction)->setEnabled(state.noiseReduction);
    }
    // The grading items are in the order of the curve tables: item k edits table k.
    for (int id = MenuId::kGradingFirst; id <= MenuId::kGradingLast; ++id) {
        if (m_toolFactories.count(id) != 0 && connected) {
            action(id)->setEnabled(camera().tableAvailable(id - MenuId::kGradingFirst));
        }
    }
    auto show = [this](int id, const MenuItemState& item) {
        QAction* a = action(id);
        a->setEnabled(item.enabled);
        a->setChecked(item.checked);
    };
    show(MenuId::kSdiOutput, state.sdiOutput);
    show(MenuId::kAutoExposure, state.autoExposure);
    show(MenuId::kAutoWhiteBalance, state.autoWhiteBalance);
}

bool CbriscoDlg::runCommand(int id) {
    QAction* a = action(id);
    if (a == nullptr || !a->isEnabled()) return false;
    a->trigger();
    return true;
}

void CbriscoDlg::onCommand(int id, bool checked) {
    using namespace MenuId;
    if (isPreset(id)) {
        loadPreset(id - kPresetFirst + 1);
        return;
    }
    switch (id) {
        case kOpen:
            openSettings();
            return;
        case kSave:
            m_session->saveFile();
            return;
        case kSaveAs:
            m_session->saveFileAs();
            return;
        case kPush: {
            // A failure is logged by the session and shown in the status bar.
            if (cameraBusy()) return;
            SessionResult pushed;
            {
                CSplash splash(this, m_setup.log);
                splash.run(
                    {{"Pushing current values to camera", [&] { pushed = m_session->pushAll(); }}});
            }
            showBatchFailure(pushed);
            refreshAfterPush();
            return;
        }
        case kExit:
            if (!confirmDiscard()) return;
            m_closeConfirmed = true;
            accept();
            return;
        case kRefresh:
            refreshCurrentPage();
            return;
        case kResetDevice:
            resetDevice();
            return;
        case kAutoExposure:
            toggleAutoExposure(!checked);
            break;
        case kAutoWhiteBalance:
            toggleAutoWhiteBalance(!checked);
            break;
        case kSdiOutput:
            toggleSdi(!checked);
            break;
        case kPreferences:
            showPreferences();
            return;
        case kConfigurePresets:
            showPresets();
            return;
        case kAbout:
            showAbout();
            return;
        default:
            if (const auto command = m_commands.find(id); command != m_commands.end()) {
                command->second();
                return;
            }
            showTool(id);
            return;
    }
    // A toggle's item shows what the camera now says, not what the click assumed.
    updateMenuState();
    refreshAfterPush();
}

QMessageBox::StandardButton CbriscoDlg::ask(QMessageBox::Icon icon, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) {
    MessageRequest r;
    r.icon = icon;
    r.title = title;
    r.text = text;
    r.buttons = buttons;
    r.defaultButton = defaultButton;
    return m_setup.dialogs.message(this, r);
}

void CbriscoDlg::openSettings() {
    if (m_session->loadSettingsAndPush({}).outcome == LoadOutcome::Pushed) refreshAfterPush();
}

void CbriscoDlg::loadPreset(int n) {
    const Preset preset = m_presets.preset(n);
    if (preset.fileName.empty()) return;
    if (m_session->loadSettingsAndPush(preset.fileName).outcome == LoadOutcome::Pushed) {
        refreshAfterPush();
    }
}

void CbriscoDlg::refreshAfterPush() {
    // A push changes more than the keys it names (a file, SDI output, the automatic controls),
    // and the camera may refuse some: the pages show what it holds, not what was sent.
    if (m_session->cameraUsable()) refreshCurrentPage();
    refreshCameraPage();
    showCameraState();
}

bool CbriscoDlg::confirmDiscard() {
    if (!store().dirty()) return true;
    const std::string path = store().filePath();
    const QString name = path.empty() ? QStringLiteral("Untitled")
                                      : QFileInfo(QString::fromStdString(path)).fileName();
    const auto answer = ask(QMessageBox::Warning, QString::fromLatin1(kProgramTitle),
                            QStringLiteral("Save changes to %1?").arg(name),
                            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                            QMessageBox::Save);
    if (answer == QMessageBox::Save) return static_cast<bool>(m_session->saveFile());
    return answer == QMessageBox::Discard;
}

void CbriscoDlg::showCameraState() {
    const bool usable = m_session->cameraUsable();
    for (const Page& page : m_pages) {
        if (auto* window = qobject_cast<CDlgBaseFX3*>(page.widget)) {
            window->setCameraValid(usable);
        } else if (page.widget != nullptr) {
            page.widget->setEnabled(usable);
        }
    }
    for (const auto& [id, tool] : m_tools) {
        if (auto* window = qobject_cast<CDlgBaseFX3*>(tool)) window->setCameraValid(usable);
    }
    updateMenuState();
    emit cameraAvailabilityChanged(usable);
}

void CbriscoDlg::keyPressEvent(QKeyEvent* event) {
    // A dialog closes on Escape; the panel is no dialog to its user.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    CDlgBase::keyPressEvent(event);
}

void CbriscoDlg::closeEvent(QCloseEvent* event) {
    if (!m_closeConfirmed && !confirmDiscard()) {
        event->ignore();
        return;
    }
    m_closeConfirmed = false;
    CDlgBase::closeEvent(event);
}

void CbriscoDlg::readAllFromCamera() {
    if (m_tabs->currentIndex() < 0) return;
    if (cameraBusy()) return;
    // The camera is read on the splash's worker; the pages are filled here afterwards.
    SessionResult read;
    {
        CSplash splash(this, m_setup.log);
        splash.run(
            {{"Reading all values from the camera", [&] { read = m_session->readAllValues(); }}});
    }
    m_session->readAllDone(read);
    showBatchFailure(read);
    showCameraState();
    // A camera answered, so "no cameras" no longer describes the system.
    if (read && m_statusBar->defaultText() ==
                    QString::fromUtf8(kNoCameraStatus.data(),
                                      static_cast<qsizetype>(kNoCameraStatus.size()))) {
        m_statusBar->setDefaultText(QString::fromLatin1(CBriscoStatusBar::kReady));
    }
    refreshCameraPage();
    updateMenuState();
}

void CbriscoDlg::refreshCurrentPage() {
    const int current = m_tabs->currentIndex();
    if (current < 0 || static_cast<size_t>(current) >= m_pages.size()) return;
    if (CDlgBaseTab* tab = m_pages[static_cast<size_t>(current)].tab) tab->refresh();
}

void CbriscoDlg::refreshCameraPage() {
    for (const Page& page : m_pages) {
        if (page.refreshFromDevice && page.widget != nullptr && page.widget->isVisible()) {
            page.refreshFromDevice();
        }
    }
}

void CbriscoDlg::setDeviceTracking(bool on) {
    for (const Page& page : m_pages) {
        if (page.deviceTracking) page.deviceTracking(on);
    }
}

void CbriscoDlg::resetDevice() {
    if (ask(QMessageBox::Question, QStringLiteral("Confirmation"),
            QString::fromLatin1(kResetQuestion),
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    const bool force = !m_session->connected();
    if (force && ask(QMessageBox::Critical, QStringLiteral("Fatal"),
                     QString::fromLatin1(kResetForceQuestion),
                     QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    m_session->resetDevice(force);
}

void CbriscoDlg::toggleAutoExposure(bool wasChecked) { m_session->toggleAutoExposure(wasChecked); }

void CbriscoDlg::toggleAutoWhiteBalance(bool wasChecked) {
    m_session->toggleAutoWhiteBalance(wasChecked);
}

void CbriscoDlg::toggleSdi(bool wasChecked) { m_session->toggleSdi(wasChecked); }

void CbriscoDlg::showPreferences() {
    const bool tracking = m_setup.preferences.number(PreferenceName::kDevNotify) != 0;
    // The notification registration is made again by the outcome, or below on Cancel.
    if (tracking) setDeviceTracking(false);
    CPreferencesDlg dialog(m_setup.preferences, &m_setup.storage, m_setup.log, m_setup.dialogs,
                           this);
    if (dialog.exec() == QDialog::Accepted && dialog.outcome()) {
        applyPreferencesOutcome(*dialog.outcome());
    } else if (tracking) {
        setDeviceTracking(true);
    }
}

void CbriscoDlg::applyPreferencesOutcome(const PreferencesDialogOutcome& outcome) {
    m_session->setReapplyOnReturn(outcome.reApply);
    if (outcome.menuChanged) rebuildMenu();
    setDeviceTracking(outcome.devNotify);
    if (!outcome.themeChanged) return;
    if (ask(QMessageBox::Question, QString::fromLatin1(kRestartTitle),
            QString::fromLatin1(kRestartText),
            QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
        return;
    }
    // The new program reads the camera afresh: what is not saved now is lost.
    if (!confirmDiscard()) return;
    if (m_setup.restart && m_setup.restart()) {
        m_closeConfirmed = true;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    } else {
        m_setup.log.appendMessage(true, "Failed to restart the application");
    }
}

void CbriscoDlg::showPresets() {
    CPgSetPresets dialog(m_presets, m_setup.preferences, m_setup.dialogs, &m_setup.storage, this);
    if (dialog.exec() == QDialog::Accepted) updateMenuState();
}

void CbriscoDlg::showAbout() {
    ask(QMessageBox::Information, QStringLiteral("About brisco"),
        titleFor({}, false) + QStringLiteral("\nCamera control panel for Tavro USB 3 cameras"),
        QMessageBox::Ok);
}

void CbriscoDlg::registerTool(int menuId, ToolFactory factory) {
    m_toolFactories[menuId] = std::move(factory);
    updateMenuState();
}

void CbriscoDlg::registerCommand(int menuId, std::function<void()> run) {
    if (run) {
        m_commands[menuId] = std::move(run);
    } else {
        m_commands.erase(menuId);
    }
    updateMenuState();
}

QWidget* CbriscoDlg::showTool(int menuId) {
    QWidget* tool = nullptr;
    if (const auto it = m_tools.find(menuId); it != m_tools.end()) {
        tool = it->second;
    } else {
        const auto factory = m_toolFactories.find(menuId);
        if (factory == m_toolFactories.end() || !factory->second) return nullptr;
        tool = factory->second(*m_context, this);
        if (tool == nullptr) return nullptr;
        m_tools[menuId] = tool;
    }
    tool->show();
    tool->raise();
    tool->activateWindow();
    return tool;
}

void CbriscoDlg::setFirmwareDropHandler(std::function<void(const QString&, bool)> handler) {
    m_firmwareDrop = std::move(handler);
}

void CbriscoDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CbriscoDlg::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        paths.push_back(url.isLocalFile() ? url.toLocalFile() : url.toString());
    }
    event->acceptProposedAction();
    dropFiles(paths);
}

void CbriscoDlg::dropFiles(const QStringList& paths) {
    if (paths.size() != 1) {
        ask(QMessageBox::Critical, QString::fromLatin1(kDropErrorTitle),
            QString::fromLatin1(kDropErrorText), QMessageBox::Ok);
        return;
    }
    const QString& path = paths.front();
    // Only the name's last three characters count, so "xqcf" is a settings file too.
    const QString name = QFileInfo(path).fileName();
    const QString type = name.size() >= 4 ? name.right(3).toLower() : QString();
    if (type == QLatin1String("qcf")) {
        if (m_session->loadSettingsAndPush(path.toStdString()).outcome == LoadOutcome::Pushed) {
            refreshAfterPush();
        }
    } else if ((type == QLatin1String("img") || type == QLatin1String("bin")) && m_firmwareDrop) {
        m_firmwareDrop(path, type == QLatin1String("bin"));
    } else {
        ask(QMessageBox::Information, QString::fromLatin1(kDropInfoTitle),
            QString::fromLatin1(kDropInfoText), QMessageBox::Ok);
    }
}

}  // namespace TVR
