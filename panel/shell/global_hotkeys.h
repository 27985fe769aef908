#pragma once

// The preset keys Ctrl+Alt+1..5 as global hot keys, working while another application has the
// focus. On X11 they are passive key grabs on the root window, caught by a native event filter;
// on Wayland they are bound through the desktop's global-shortcuts portal where it exists;
// elsewhere the window's own application shortcuts stay the only way. Each key that could not be
// made global is logged as "Error %x registering preset key shortcut #%u".
// User-interface thread only.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace TVR {

class ApiLog;
class ShortcutsPortal;

inline constexpr int kPresetHotkeyCount = 5;
// The error a platform without global keys reports (ENOTSUP).
inline constexpr unsigned kHotkeyNotSupported = 95;

// Ctrl+Alt+"1".."5" grabbed on one X connection's root window. The connection must outlive it.
class X11PresetKeys {
public:
    // `connection` is an xcb_connection_t.
    X11PresetKeys(void* connection, uint32_t root);
    // Gives the grabs back.
    ~X11PresetKeys();
    X11PresetKeys(const X11PresetKeys&) = delete;
    X11PresetKeys& operator=(const X11PresetKeys&) = delete;

    // Grabs key n (1..5) with Ctrl+Alt, whatever Num Lock and Caps Lock say: 0, or the X error
    // code (10, BadAccess: another client holds the key).
    unsigned grab(int n);
    bool grabbed(int n) const;
    // The preset of a key event (an xcb_generic_event_t): 1..5 for the press of a grabbed key with
    // Ctrl+Alt, 0 for anything else, including the presses of auto-repeat.
    int presetOf(const void* event);

private:
    void* m_connection;
    uint32_t m_root;
    std::array<uint8_t, kPresetHotkeyCount> m_keycodes{};
    std::array<bool, kPresetHotkeyCount> m_grabbed{};
    std::array<uint32_t, kPresetHotkeyCount> m_released{};
};

class GlobalHotkeys : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // `pressed` gets the preset number, on the window thread after the key event was handled.
    GlobalHotkeys(ApiLog& log, std::function<void(int n)> pressed, QObject* parent = nullptr);
    ~GlobalHotkeys() override;

    // Whether key n works while another application has the focus.
    bool global(int n) const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void logFailures(unsigned error);

    ApiLog& m_log;
    std::function<void(int)> m_pressed;
    std::unique_ptr<X11PresetKeys> m_x11;
    ShortcutsPortal* m_portal = nullptr;
    bool m_portalBound = false;
};

}  // namespace TVR
