// ZANDREL_SCREENSHOT=FILE.png: once the main window is up and the command line
// has been handled, its picture is saved to FILE.png and the window is closed
// as its close box would; on an X server the picture includes the window
// manager's frame. scripts/screenshot renders the README's picture so.
#pragma once

#include <QWidget>

namespace qtui {

// Arranges the picture when the variable is set; does nothing otherwise.
void ScreenshotWhenShown(QWidget& window);

}  // namespace qtui
