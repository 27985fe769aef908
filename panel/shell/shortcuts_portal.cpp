#include "shortcuts_portal.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QList>

#include "shell/global_hotkeys.h"

namespace TVR {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kShortcutPrefix = QStringLiteral("preset");
// The portal's response code for "the request failed in another way".
constexpr unsigned kPortalOtherError = 2;

}  // namespace

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& out, const PortalShortcut& s) {
    out.beginStructure();
    out << s.id << s.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, PortalShortcut& s) {
    in.beginStructure();
    in >> s.id >> s.properties;
    in.endStructure();
    return in;
}

}  // namespace TVR

Q_DECLARE_METATYPE(TVR::PortalShortcut)

namespace TVR {

ShortcutsPortal::ShortcutsPortal(QObject* parent) : QObject(parent) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

bool ShortcutsPortal::available() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    if (!bus.interface()->isServiceRegistered(kService)) return false;
    const QDBusInterface portal(kService, kPath, kInterface, bus);
    return portal.isValid();
}

QString ShortcutsPortal::requestPath(const QString& token) const {
    // The portal names the request object after the caller's unique name and the token.
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

bool ShortcutsPortal::call(const QString& method, const QList<QVariant>& arguments,
                           const QString& token, const char* responseSlot) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Listening before the call, so that a quick answer is not missed.
    if (!bus.connect(kService, requestPath(token), kRequestInterface, QStringLiteral("Response"),
                     this, responseSlot)) {
        return false;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        if (w->isError()) emit bound(false, kPortalOtherError);
        w->deleteLater();
    });
    return true;
}

bool ShortcutsPortal::start() {
    const QString token = QStringLiteral("brisco_session%1").arg(++m_tokens);
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("session_handle_token"), token);
    return call(QStringLiteral("CreateSession"), {options}, token,
                SLOT(onSessionResponse(uint, QVariantMap)));
}

void ShortcutsPortal::onSessionResponse(uint code, const QVariantMap& results) {
    if (code != 0) {
        emit bound(false, code);
        return;
    }
    m_session = results.value(QStringLiteral("session_handle")).toString();
    if (m_session.isEmpty()) {
        emit bound(false, kPortalOtherError);
        return;
    }
    QDBusConnection::sessionBus().connect(
        kService, kPath, kInterface, QStringLiteral("Activated"), this,
        SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    QList<PortalShortcut> keys;
    for (int n = 1; n <= kPresetHotkeyCount; ++n) {
        PortalShortcut s;
        s.id = kShortcutPrefix + QString::number(n);
        s.properties.insert(QStringLiteral("description"),
                            QStringLiteral("Load quick preset #%1").arg(n));
        s.properties.insert(QStringLiteral("preferred_trigger"),
                            QStringLiteral("CTRL+ALT+%1").arg(n));
        keys.push_back(s);
    }
    const QString token = QStringLiteral("brisco_bind%1").arg(++m_tokens);
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    if (!call(QStringLiteral("BindShortcuts"),
              {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(keys),
               QString(), options},
              token, SLOT(onBindResponse(uint, QVariantMap)))) {
        emit bound(false, kPortalOtherError);
    }
}

void ShortcutsPortal::onBindResponse(uint code, const QVariantMap&) { emit bound(code == 0, code); }

void ShortcutsPortal::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                  const QVariantMap&) {
    if (session.path() != m_session || !id.startsWith(kShortcutPrefix)) return;
    bool ok = false;
    const int n = id.mid(kShortcutPrefix.size()).toInt(&ok);
    if (ok && n >= 1 && n <= kPresetHotkeyCount) emit activated(n);
}

}  // namespace TVR
