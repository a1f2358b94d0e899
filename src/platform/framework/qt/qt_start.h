// Starting Qt for a window run: on the platform that shows the window, and
// with none of the program's arguments (its switches look like Qt's own:
// "-platform n" is parity None, "-display 8" is 8 data bits).
#pragma once

#include <QApplication>

#include <memory>
#include <string>

namespace qtui {

// The application on the first platform that starts, of those chosen by
// QT_QPA_PLATFORM, else those of the displays in DISPLAY and WAYLAND_DISPLAY.
// Null, with Qt's reason, when none starts (an unreachable display).
std::unique_ptr<QApplication> StartApplication(const char* programName, std::string& reason);

}  // namespace qtui
