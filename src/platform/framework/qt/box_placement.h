// Where a message box stands and how wide it is. A window manager places a new
// window only some time after it is shown, so a box raised at start-up would
// be centred on where the owner was before it was placed; and a box sized to
// its text alone cuts its caption in the title bar.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>

namespace qtui {

// Keeps `box` centred on `owner` while the box lives: when the box is shown
// or resized, and whenever the owner is moved, placed or resized.
class CentreOnOwner : public QObject {
public:
    CentreOnOwner(QWidget& box, QWidget* owner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Centre();

    QWidget& m_box;
    QPointer<QWidget> m_owner;
};

// Makes the box at least as wide as its caption needs in a title bar, beside
// the window icon and the title bar's buttons.
void WidenForCaption(QMessageBox& box);

}  // namespace qtui
