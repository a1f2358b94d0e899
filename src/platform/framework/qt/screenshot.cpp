#include "platform/framework/qt/screenshot.h"

#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace qtui {

void ScreenshotWhenShown(QWidget& window) {
    const char* path = std::getenv("ZANDREL_SCREENSHOT");
    if (!path || !*path) return;
    QString file = QString::fromLocal8Bit(path);
    // A zero timer fires once the modal loop has dispatched what was already
    // queued, the command-line message among it.
    QTimer::singleShot(0, &window, [&window, file] {
        if (!window.grab().save(file, "PNG"))
            std::fprintf(stderr, "zandrel: cannot write the screenshot to %s\n", file.toLocal8Bit().constData());
        window.close();
    });
}

}  // namespace qtui
