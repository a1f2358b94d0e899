// The Qt back-end: the production window. This header stays free of Qt so
// that the entry point can select the back-end without including Qt.
#pragma once

#include <memory>

#include "platform/win32.h"

class QApplication;
class QWidget;

namespace qtui {

// Selects the Qt back-end for its lifetime, with a QApplication made from the
// program's arguments (or the one that already exists).
class Session {
public:
    Session(int argc, char** argv);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

private:
    int m_argc;
    char** m_argv;
    std::unique_ptr<QApplication> m_application;
};

// The widget that shows a window or control, or null (for tests).
QWidget* WidgetOf(HWND window);

}  // namespace qtui
