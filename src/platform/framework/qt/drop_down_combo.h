// A combo box that tells the dialog its list is about to open, as Windows does
// with CBN_DROPDOWN, so that the list can be filled before it is shown.
#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QScrollBar>

#include <functional>
#include <utility>

namespace qtui {

class DropDownCombo : public QComboBox {
public:
    DropDownCombo(QWidget* parent, std::function<void()> opening) : QComboBox(parent), m_opening(std::move(opening)) {}

    void showPopup() override {
        m_opening();  // the list may change under it: shown only after
        // Wide enough for a long device name (/dev/serial/by-id/...), never narrower than the box.
        QAbstractItemView* list = view();
        list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() +
                              2 * list->frameWidth());
        QComboBox::showPopup();
    }

private:
    std::function<void()> m_opening;
};

}  // namespace qtui
