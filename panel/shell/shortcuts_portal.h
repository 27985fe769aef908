#pragma once

// The desktop's global-shortcuts portal (org.freedesktop.portal.GlobalShortcuts on the session
// bus), the way to global keys on Wayland: one session with the five preset keys, bound with
// Ctrl+Alt+1..5 as their preferred triggers. The portal answers asynchronously; the results
// arrive as signals. User-interface thread only.

#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusObjectPath;

namespace TVR {

class ShortcutsPortal : public QObject {
    Q_OBJECT
public:
    explicit ShortcutsPortal(QObject* parent);

    // Whether the session bus offers the portal's interface.
    static bool available();
    // Asks for a session and binds the keys; false when the request could not be sent.
    bool start();

signals:
    // The keys were bound (ok) or refused with the portal's response code.
    void bound(bool ok, unsigned code);
    // Preset key n (1..5) was pressed.
    void activated(int n);

private slots:
    void onSessionResponse(uint code, const QVariantMap& results);
    void onBindResponse(uint code, const QVariantMap& results);
    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);

private:
    QString requestPath(const QString& token) const;
    bool call(const QString& method, const QList<QVariant>& arguments, const QString& token,
              const char* responseSlot);

    QString m_session;
    int m_tokens = 0;
};

}  // namespace TVR
