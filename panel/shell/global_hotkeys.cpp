#include "global_hotkeys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include "apilog.h"

#ifdef TAVRO_HAVE_QTDBUS
#include "shell/shortcuts_portal.h"
#endif

#ifdef TAVRO_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace TVR {

#ifdef TAVRO_HAVE_XCB

namespace {

constexpr uint16_t kPresetModifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
// Num Lock (Mod2) and Caps Lock must not stop the key.
constexpr uint16_t kIgnoredModifiers[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                          XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr uint32_t kKeysymDigitOne = 0x31;  // XK_1; XK_2 .. XK_5 follow

xcb_connection_t* conn(void* c) { return static_cast<xcb_connection_t*>(c); }

}  // namespace

X11PresetKeys::X11PresetKeys(void* connection, uint32_t root)
    : m_connection(connection), m_root(root) {
    xcb_connection_t* c = conn(m_connection);
    const xcb_setup_t* setup = xcb_get_setup(c);
    const uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, first, static_cast<uint8_t>(count)), nullptr);
    if (map == nullptr) return;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    const int perCode = map->keysyms_per_keycode;
    const int total = xcb_get_keyboard_mapping_keysyms_length(map);
    for (int n = 1; n <= kPresetHotkeyCount; ++n) {
        const uint32_t wanted = kKeysymDigitOne + static_cast<uint32_t>(n - 1);
        for (int k = 0; perCode > 0 && k < count && k * perCode < total; ++k) {
            if (syms[k * perCode] == wanted) {
                m_keycodes[static_cast<size_t>(n - 1)] = static_cast<uint8_t>(first + k);
                break;
            }
        }
    }
    std::free(map);
}

X11PresetKeys::~X11PresetKeys() {
    xcb_connection_t* c = conn(m_connection);
    for (int n = 1; n <= kPresetHotkeyCount; ++n) {
        if (!grabbed(n)) continue;
        for (uint16_t extra : kIgnoredModifiers) {
            xcb_ungrab_key(c, m_keycodes[static_cast<size_t>(n - 1)], m_root,
                           static_cast<uint16_t>(kPresetModifiers | extra));
        }
    }
    xcb_flush(c);
}

unsigned X11PresetKeys::grab(int n) {
    if (n < 1 || n > kPresetHotkeyCount) return kHotkeyNotSupported;
    const auto i = static_cast<size_t>(n - 1);
    // A keyboard without the digit has nothing to grab.
    if (m_keycodes[i] == 0) return kHotkeyNotSupported;
    xcb_connection_t* c = conn(m_connection);
    unsigned failure = 0;
    for (uint16_t extra : kIgnoredModifiers) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(c, 1, m_root, static_cast<uint16_t>(kPresetModifiers | extra),
                                 m_keycodes[i], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* e = xcb_request_check(c, cookie)) {
            if (failure == 0) failure = e->error_code;
            std::free(e);
        }
    }
    if (failure != 0) {
        for (uint16_t extra : kIgnoredModifiers) {
            xcb_ungrab_key(c, m_keycodes[i], m_root,
                           static_cast<uint16_t>(kPresetModifiers | extra));
        }
        xcb_flush(c);
        return failure;
    }
    m_grabbed[i] = true;
    return 0;
}

bool X11PresetKeys::grabbed(int n) const {
    return n >= 1 && n <= kPresetHotkeyCount && m_grabbed[static_cast<size_t>(n - 1)];
}

int X11PresetKeys::presetOf(const void* event) {
    const auto* generic = static_cast<const xcb_generic_event_t*>(event);
    const uint8_t type = generic->response_type & 0x7F;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return 0;
    const auto* key = static_cast<const xcb_key_press_event_t*>(event);
    for (int n = 1; n <= kPresetHotkeyCount; ++n) {
        const auto i = static_cast<size_t>(n - 1);
        if (!m_grabbed[i] || key->detail != m_keycodes[i]) continue;
        if (type == XCB_KEY_RELEASE) {
            m_released[i] = key->time;
            return 0;
        }
        if ((key->state & kPresetModifiers) != kPresetModifiers) return 0;
        // Auto-repeat sends a release and a press with one time stamp.
        if (m_released[i] != 0 && m_released[i] == key->time) return 0;
        return n;
    }
    return 0;
}

#else

X11PresetKeys::X11PresetKeys(void* connection, uint32_t root)
    : m_connection(connection), m_root(root) {}
X11PresetKeys::~X11PresetKeys() = default;
unsigned X11PresetKeys::grab(int) { return kHotkeyNotSupported; }
bool X11PresetKeys::grabbed(int) const { return false; }
int X11PresetKeys::presetOf(const void*) { return 0; }

#endif

GlobalHotkeys::GlobalHotkeys(ApiLog& log, std::function<void(int)> pressed, QObject* parent)
    : QObject(parent), m_log(log), m_pressed(std::move(pressed)) {
#ifdef TAVRO_HAVE_XCB
    // The native interface is there on every platform; only the xcb one has a connection.
    auto* x11 = qGuiApp != nullptr && QGuiApplication::platformName() == QLatin1String("xcb")
                    ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                    : nullptr;
    if (xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        if (screen != nullptr) m_x11 = std::make_unique<X11PresetKeys>(c, screen->root);
    }
    if (m_x11) {
        for (int n = 1; n <= kPresetHotkeyCount; ++n) {
            if (const unsigned error = m_x11->grab(n)) {
                m_log.appendMessage(true, "Error %x registering preset key shortcut #%u", error,
                                    static_cast<unsigned>(n));
            }
        }
        QCoreApplication::instance()->installNativeEventFilter(this);
        return;
    }
#endif
#ifdef TAVRO_HAVE_QTDBUS
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
        ShortcutsPortal::available()) {
        // The portal answers later; until then (and after a refusal) the window's keys work.
        m_portal = new ShortcutsPortal(this);
        connect(m_portal, &ShortcutsPortal::bound, this, [this](bool ok, unsigned code) {
            if (m_portalBound) return;
            m_portalBound = ok;
            if (!ok) logFailures(code);
        });
        connect(m_portal, &ShortcutsPortal::activated, this, [this](int n) {
            if (m_pressed) m_pressed(n);
        });
        if (m_portal->start()) return;
    }
#endif
    logFailures(kHotkeyNotSupported);
}

void GlobalHotkeys::logFailures(unsigned error) {
    for (int n = 1; n <= kPresetHotkeyCount; ++n) {
        m_log.appendMessage(true, "Error %x registering preset key shortcut #%u", error,
                            static_cast<unsigned>(n));
    }
}

GlobalHotkeys::~GlobalHotkeys() {
    if (m_x11 && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool GlobalHotkeys::global(int n) const {
    if (m_x11) return m_x11->grabbed(n);
    return m_portalBound && n >= 1 && n <= kPresetHotkeyCount;
}

bool GlobalHotkeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_x11 || eventType != "xcb_generic_event_t") return false;
    const int n = m_x11->presetOf(message);
    if (n == 0) return false;
    // Loading a preset may ask questions; not from inside the event dispatch.
    QTimer::singleShot(0, this, [this, n] {
        if (m_pressed) m_pressed(n);
    });
    return true;
}

}  // namespace TVR
