#include "platform/framework/qt/controls.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyle>

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

DropDownCombo::DropDownCombo(QWidget* parent) : QComboBox(parent) {}

void DropDownCombo::showPopup() {
    QComboBox::showPopup();
    const QString typed = currentText();
    const int entry = typed.isEmpty() ? -1 : findText(typed, Qt::MatchStartsWith);
    view()->setCurrentIndex(model()->index(entry, modelColumn(), rootModelIndex()));
}

}  // namespace qtui
