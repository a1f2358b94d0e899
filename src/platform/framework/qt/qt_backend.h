// The Qt back-end: the production window. This header stays free of Qt so
// that the entry point can select the back-end without including Qt.
#pragma once

#include <memory>
#include <string>

#include "platform/win32.h"

class QApplication;
class QWidget;

namespace qtui {

// Selects the Qt back-end for its lifetime, with the QApplication that
// exists or one started for it (see qt_start.h).
class Session {
public:
    // Null, with the reason, when Qt cannot start.
    static std::unique_ptr<Session> Start(const char* programName, std::string& reason);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

private:
    explicit Session(std::unique_ptr<QApplication> application);

    std::unique_ptr<QApplication> m_application;
};

// The widget that shows a window or control, or null (for tests).
QWidget* WidgetOf(HWND window);

}  // namespace qtui
