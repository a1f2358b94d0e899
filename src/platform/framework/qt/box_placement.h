// Where a box stands and how wide it is. A window manager places a new window
// only some time after it is shown, so a box raised at start-up would be
// centred on where the owner was before it was placed; a message box sized to
// its text alone cuts its caption in the title bar, and a file dialog at Qt's
// size cuts the sizes and dates of its files.
#pragma once

#include <QFileDialog>
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

// Makes the file dialog's detail columns wide enough for the widest sizes and
// dates that the desktop's locale writes, and the dialog wide enough for them all.
void WidenForDetails(QFileDialog& dialog);

}  // namespace qtui
