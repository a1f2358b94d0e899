#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/framework/afxwin.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool IsOne(const char* name) {
    const char* value = std::getenv(name);
    return value && std::string_view(value) == "1";
}

// The first platform Qt would try from QT_QPA_PLATFORM ("vnc:size=800x600;xcb"
// tries vnc first), without its options.
std::string ChosenPlatform() {
    std::string_view list = std::getenv("QT_QPA_PLATFORM");
    std::string_view first = list.substr(0, list.find(';'));
    return std::string(first.substr(0, first.find(':')));
}

// Platforms that put the window on a screen, a framebuffer or a remote
// viewer; offscreen and minimal draw nowhere a user could answer a box.
bool DrawsForTheUser(std::string_view platform) {
    for (std::string_view shown : {"xcb", "wayland", "eglfs", "linuxfb", "vnc"})
        if (platform.substr(0, shown.size()) == shown) return true;
    return false;
}

}  // namespace

bool AfxIsHeadless() {
    if (IsOne("ZANDREL_HEADLESS")) return true;
    if (IsOne("ZANDREL_WINDOW")) return false;
    if (IsSet("QT_QPA_PLATFORM")) return !DrawsForTheUser(ChosenPlatform());
    return !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY");
}
