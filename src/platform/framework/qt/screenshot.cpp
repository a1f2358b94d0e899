#include "platform/framework/qt/screenshot.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace qtui {
namespace {

void SaveAndClose(QWidget& window, const QPixmap& picture, const QString& file) {
    if (!picture.save(file, "PNG"))
        std::fprintf(stderr, "zandrel: cannot write the screenshot to %s\n", file.toLocal8Bit().constData());
    window.close();
}

// On an X server the picture is taken from the screen, with the frame and
// title bar a window manager put around the window; it has done so by the
// time the window is activated.
class GrabWhenActive : public QObject {
public:
    GrabWhenActive(QWidget& window, QString file) : QObject(&window), m_window(window), m_file(std::move(file)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowActivate && !m_taken) {
            m_taken = true;
            QTimer::singleShot(0, this, [this] {
                QRect frame = m_window.frameGeometry();
                QPixmap picture =
                    m_window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
                SaveAndClose(m_window, picture, m_file);
            });
        }
        return false;
    }

private:
    QWidget& m_window;
    QString m_file;
    bool m_taken = false;
};

}  // namespace

void ScreenshotWhenShown(QWidget& window) {
    const char* path = std::getenv("ZANDREL_SCREENSHOT");
    if (!path || !*path) return;
    QString file = QString::fromLocal8Bit(path);
    if (QGuiApplication::platformName() == "xcb") {
        new GrabWhenActive(window, file);
        return;
    }
    // A zero timer fires once the modal loop has dispatched what was already
    // queued, the command-line message among it.
    QTimer::singleShot(0, &window, [&window, file] { SaveAndClose(window, window.grab(), file); });
}

}  // namespace qtui
