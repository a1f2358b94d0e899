// Qt widgets that behave as the Windows controls they stand for, where Qt's
// own would differ in what the user sees.
#pragma once

#include <QComboBox>
#include <QLabel>

#include <functional>

namespace qtui {

// A static text control: its lines drawn from the top left of its fixed
// rectangle and clipped to it. A line break in the text (CR LF, CR or LF)
// starts a new line; nothing else wraps, and no text moves the control.
class StaticText : public QLabel {
public:
    explicit StaticText(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A drop-down combo box that tells the dialog its list is about to open, as
// Windows does with CBN_DROPDOWN, so that the list can be filled before it is
// shown; the list is wide enough for its longest entry, and opens on the first
// entry that the box's text begins, ignoring case, as a Windows combo box
// finds it (on none when no entry does).
class DropDownCombo : public QComboBox {
public:
    DropDownCombo(QWidget* parent, std::function<void()> opening);

    void showPopup() override;

private:
    std::function<void()> m_opening;
};

}  // namespace qtui
