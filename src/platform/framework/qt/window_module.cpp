// The entry points of the window module: the program loads the Qt back-end
// with dlopen only when it shows a window (see entry/window_module.h).
#include "platform/framework/qt/qt_backend.h"

extern "C" {

[[gnu::visibility("default")]] void* ZandrelOpenWindowSession(int argc, char** argv) {
    return new qtui::Session(argc, argv);
}

[[gnu::visibility("default")]] void ZandrelCloseWindowSession(void* session) {
    delete static_cast<qtui::Session*>(session);
}

}
