// The entry points of the window module: the program loads the Qt back-end
// with dlopen only when it shows a window (see entry/window_module.h).
#include <cstring>
#include <memory>
#include <string>

#include "platform/framework/qt/qt_backend.h"

extern "C" {

// Null when no window can be shown; `reason` (of `reasonSize` bytes) then says why.
[[gnu::visibility("default")]] void* ZandrelOpenWindowSession(const char* programName, char* reason,
                                                              size_t reasonSize) {
    std::string why;
    std::unique_ptr<qtui::Session> session = qtui::Session::Start(programName, why);
    if (!session && reasonSize > 0) {
        std::strncpy(reason, why.c_str(), reasonSize - 1);
        reason[reasonSize - 1] = '\0';
    }
    return session.release();
}

[[gnu::visibility("default")]] void ZandrelCloseWindowSession(void* session) {
    delete static_cast<qtui::Session*>(session);
}

}
