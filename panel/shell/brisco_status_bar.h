#pragma once

// CBriscoStatusBar: the main window's one-pane status bar. Log and help texts show for a while
// (75 ms per character, five times longer for errors) before the default text comes back; an
// error paints the pane orange until the next information text, and a newer release turns the
// default text into a blue download notice. User-interface thread only.

#include <QColor>
#include <QStatusBar>
#include <QString>
#include <functional>
#include <optional>

class QLabel;
class QTimer;

namespace TVR {

class CBriscoStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kMsPerCharacter = 75;
    static constexpr int kErrorFactor = 5;
    static constexpr int kUpdateNoticeDelayMs = 7000;
    static constexpr const char* kReady = "Ready";
    static constexpr const char* kUpdateNotice =
        "There's a newer version available, click here to download";
    static inline const QColor kErrorColour{255, 124, 45};
    static inline const QColor kUpdateColour{0, 123, 245};

    // `msPerCharacter` scales every timer of the bar (75 is the real speed; tests use less).
    explicit CBriscoStatusBar(QWidget* parent, int msPerCharacter = kMsPerCharacter);

    // A log message: shown with its error flag until its timer runs out.
    void showLogMessage(const QString& text, bool error);
    // A menu item's help string; the error flag stays as it is.
    void showHelp(const QString& text);
    // Becomes the default text and shows at once.
    void showDefault(const QString& text);
    // Becomes the default text; a message on show keeps its time.
    void setDefaultText(const QString& text);
    // A newer release: the download notice becomes the default text after a while; a click
    // then opens `downloadUrl`.
    void notifyUpdate(const QString& downloadUrl);
    // Opens the download page; the desktop's browser unless replaced.
    void setUrlOpener(std::function<void(const QString&)> opener);

    QString paneText() const;
    QString defaultText() const { return m_defaultText; }
    bool errorShown() const { return m_error; }
    bool defaultShowing() const { return m_defaultShowing; }
    bool updateAvailable() const { return m_updateAvailable; }
    // The pane's background; none for the normal colour.
    std::optional<QColor> paneColour() const;
    // The running message timer's length; 0 when none runs.
    int messageTimeoutMs() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void showTimed(const QString& text);
    void showDefaultNow();
    void applyColour();

    int m_msPerCharacter;
    QLabel* m_pane = nullptr;
    QTimer* m_timer = nullptr;
    QTimer* m_updateTimer = nullptr;
    QString m_defaultText = QString::fromLatin1(kReady);
    QString m_downloadUrl;
    bool m_error = false;
    bool m_updateAvailable = false;
    bool m_defaultShowing = true;
    std::function<void(const QString&)> m_openUrl;
};

}  // namespace TVR
