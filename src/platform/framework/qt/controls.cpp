#include "platform/framework/qt/controls.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <utility>

namespace qtui {

StaticText::StaticText(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);  // shown text may be received data: never markup
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void StaticText::paintEvent(QPaintEvent*) {
    // Qt breaks lines at LF only; Windows at CR LF, and at a CR or LF alone.
    QString lines = text();
    lines.replace("\r\n", "\n").replace('\r', '\n');
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()) | Qt::TextExpandTabs, palette(),
                          isEnabled(), lines, foregroundRole());
}

DropDownCombo::DropDownCombo(QWidget* parent, std::function<void()> opening)
    : QComboBox(parent), m_opening(std::move(opening)) {}

void DropDownCombo::showPopup() {
    m_opening();  // the list may change under it: shown only after
    // Wide enough for a long device name (/dev/serial/by-id/...), never narrower than the box.
    QAbstractItemView* list = view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() +
                          2 * list->frameWidth());
    QComboBox::showPopup();
    const QString typed = currentText();
    const int entry = typed.isEmpty() ? -1 : findText(typed, Qt::MatchStartsWith);
    view()->setCurrentIndex(model()->index(entry, modelColumn(), rootModelIndex()));
}

}  // namespace qtui
