// Displays from XRandR. libX11 and libXrandr are loaded at run time so that the library has
// no hard dependency on X.

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <dlfcn.h>

#include <set>

#include "capture/display_source.h"

namespace OLK {
namespace {

class Library {
public:
    explicit Library(const char* name) : m_handle(dlopen(name, RTLD_LAZY | RTLD_LOCAL)) {}
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library() {
        if (m_handle != nullptr) dlclose(m_handle);
    }
    bool loaded() const { return m_handle != nullptr; }
    template <typename F>
    bool get(const char* symbol, F* out) const {
        *out = reinterpret_cast<F>(dlsym(m_handle, symbol));
        return *out != nullptr;
    }

private:
    void* m_handle;
};

struct X11Api {
    decltype(&XOpenDisplay) openDisplay = nullptr;
    decltype(&XCloseDisplay) closeDisplay = nullptr;
    decltype(&XDefaultRootWindow) defaultRootWindow = nullptr;
    decltype(&XRRGetScreenResourcesCurrent) getResources = nullptr;
    decltype(&XRRFreeScreenResources) freeResources = nullptr;
    decltype(&XRRGetOutputInfo) getOutputInfo = nullptr;
    decltype(&XRRFreeOutputInfo) freeOutputInfo = nullptr;
    decltype(&XRRGetCrtcInfo) getCrtcInfo = nullptr;
    decltype(&XRRFreeCrtcInfo) freeCrtcInfo = nullptr;
    decltype(&XRRGetOutputPrimary) getOutputPrimary = nullptr;
};

uint32_t refreshOf(const XRRScreenResources* res, RRMode mode) {
    for (int i = 0; i < res->nmode; ++i) {
        const XRRModeInfo& m = res->modes[i];
        if (m.id == mode && m.hTotal != 0 && m.vTotal != 0) {
            return static_cast<uint32_t>((m.dotClock + (m.hTotal * m.vTotal) / 2) /
                                         (static_cast<unsigned long>(m.hTotal) * m.vTotal));
        }
    }
    return 0;
}

}  // namespace

bool xrandrCandidates(std::vector<DisplayCandidate>* out) {
    Library x11("libX11.so.6");
    Library xrandr("libXrandr.so.2");
    if (!x11.loaded() || !xrandr.loaded()) return false;
    X11Api api;
    if (!x11.get("XOpenDisplay", &api.openDisplay) ||
        !x11.get("XCloseDisplay", &api.closeDisplay) ||
        !x11.get("XDefaultRootWindow", &api.defaultRootWindow) ||
        !xrandr.get("XRRGetScreenResourcesCurrent", &api.getResources) ||
        !xrandr.get("XRRFreeScreenResources", &api.freeResources) ||
        !xrandr.get("XRRGetOutputInfo", &api.getOutputInfo) ||
        !xrandr.get("XRRFreeOutputInfo", &api.freeOutputInfo) ||
        !xrandr.get("XRRGetCrtcInfo", &api.getCrtcInfo) ||
        !xrandr.get("XRRFreeCrtcInfo", &api.freeCrtcInfo) ||
        !xrandr.get("XRRGetOutputPrimary", &api.getOutputPrimary)) {
        return false;
    }
    ::Display* dpy = api.openDisplay(nullptr);
    if (dpy == nullptr) return false;
    Window root = api.defaultRootWindow(dpy);
    XRRScreenResources* res = api.getResources(dpy, root);
    if (res == nullptr) {
        api.closeDisplay(dpy);
        return false;
    }
    const RROutput primary = api.getOutputPrimary(dpy, root);
    std::vector<DisplayCandidate> list;
    std::set<RRCrtc> seenCrtcs;
    bool primaryTaken = false;
    for (int i = 0; i < res->noutput; ++i) {
        XRROutputInfo* oi = api.getOutputInfo(dpy, res, res->outputs[i]);
        if (oi == nullptr) continue;
        DisplayCandidate c;
        c.device.deviceName.assign(oi->name, static_cast<size_t>(oi->nameLen));
        c.device.deviceString = "XRandR";
        if (oi->crtc != 0) {
            c.device.stateFlags |= kDisplayDeviceAttachedToDesktop;
            // A second output on the same CRTC shows a copy of the first.
            if (!seenCrtcs.insert(oi->crtc).second) {
                c.device.stateFlags |= kDisplayDeviceMirroringDriver;
            }
            if (XRRCrtcInfo* ci = api.getCrtcInfo(dpy, res, oi->crtc)) {
                c.hasMode = ci->width != 0 && ci->height != 0;
                c.mode.x = ci->x;
                c.mode.y = ci->y;
                c.mode.width = ci->width;
                c.mode.height = ci->height;
                c.mode.frequency = refreshOf(res, ci->mode);
                c.monitor = static_cast<uintptr_t>(oi->crtc);
                c.hasInfo = c.hasMode;
                c.info.monitor = {ci->x, ci->y, ci->x + static_cast<int32_t>(ci->width),
                                  ci->y + static_cast<int32_t>(ci->height)};
                c.info.work = c.info.monitor;
                c.info.deviceName = c.device.deviceName;
                const bool isPrimary = primary != 0 ? res->outputs[i] == primary : !primaryTaken;
                if (isPrimary && c.hasMode && !primaryTaken) {
                    primaryTaken = true;
                    c.info.flags |= kMonitorInfoPrimary;
                    c.device.stateFlags |= kDisplayDevicePrimaryDevice;
                }
                api.freeCrtcInfo(ci);
            }
        }
        api.freeOutputInfo(oi);
        list.push_back(std::move(c));
    }
    api.freeResources(res);
    api.closeDisplay(dpy);
    *out = std::move(list);
    return true;
}

}  // namespace OLK
