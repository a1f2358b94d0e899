#include "platform/framework/qt/box_placement.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QLocale>
#include <QScrollBar>
#include <QSpacerItem>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>

#include <algorithm>
#include <initializer_list>

namespace qtui {
namespace {

// The window icon and the minimise, maximise and close buttons.
constexpr int kTitleBarButtons = 4;

// The columns of QFileDialog's detail view.
constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;

// The width the view's items take for a text, measured as the style measures
// them (the text laid out with its fractions of a pixel, then the margins).
int ItemWidth(const QTreeView& view, const QString& text) {
    QStyleOptionViewItem item;
    item.initFrom(&view);
    item.font = view.font();
    item.fontMetrics = QFontMetrics(item.font);
    item.features = QStyleOptionViewItem::HasDisplay;
    item.text = text;
    return view.style()->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), &view).width();
}

// Grows a column to the widest of the texts.
void FitColumn(QTreeView& view, int column, std::initializer_list<QString> texts) {
    int width = view.header()->sectionSize(column);
    for (const QString& text : texts) width = std::max(width, ItemWidth(view, text));
    view.header()->resizeSection(column, width);
}

// Widens the dialog by what its view lacks for all its columns, once it is
// laid out for showing (the side bar takes its share only then) and before
// it reaches the screen.
class WidenOnShow : public QObject {
public:
    WidenOnShow(QWidget& dialog, QTreeView& view) : QObject(&dialog), m_dialog(dialog), m_view(view) {
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Show) return false;
        // Room for the scroll bar that a long folder brings, too.
        const QScrollBar& scrollBar = *m_view.verticalScrollBar();
        const int lacking = m_view.header()->length() + (scrollBar.isVisible() ? 0 : scrollBar.sizeHint().width()) -
                            m_view.viewport()->width();
        if (lacking > 0) m_dialog.resize(m_dialog.width() + lacking, m_dialog.height());
        return false;
    }

private:
    QWidget& m_dialog;
    QTreeView& m_view;
};

}  // namespace

CentreOnOwner::CentreOnOwner(QWidget& box, QWidget* owner) : QObject(&box), m_box(box), m_owner(owner) {
    box.installEventFilter(this);
    if (owner) owner->installEventFilter(this);
}

bool CentreOnOwner::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool boxChanged = watched == &m_box && (type == QEvent::Show || type == QEvent::Resize);
    const bool ownerChanged = watched == m_owner && (type == QEvent::Move || type == QEvent::Resize);
    if ((boxChanged || ownerChanged) && m_box.isVisible()) Centre();
    return false;
}

// Client area on client area: a box is placed before the window manager has
// framed it, but its frame matches its owner's, so the frames end up centred too.
void CentreOnOwner::Centre() {
    if (!m_owner || !m_owner->isVisible()) return;
    QRect placed(QPoint(), m_box.size());
    placed.moveCenter(m_owner->geometry().center());
    m_box.setGeometry(placed);
}

void WidenForCaption(QMessageBox& box) {
    auto* layout = qobject_cast<QGridLayout*>(box.layout());
    if (!layout) return;
    // Title bars commonly show the caption in bold.
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) +
                kTitleBarButtons * box.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    layout->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), layout->rowCount(), 0, 1,
                    layout->columnCount());
}


void WidenForDetails(QFileDialog& dialog) {
    auto* view = dialog.findChild<QTreeView*>("treeView");
    if (!view) return;
    // As QFileSystemModel writes them: the longest byte count before KiB,
    // and a date-time with the widest hours, either side of noon.
    const QLocale locale = QLocale::system();
    FitColumn(*view, kSizeColumn, {locale.formattedDataSize(1023), locale.formattedDataSize(1023 * 1024 + 1023)});
    const QDate date(2000, 12, 28);
    FitColumn(*view, kDateColumn, {locale.toString(QDateTime(date, QTime(10, 58)), QLocale::ShortFormat),
                                   locale.toString(QDateTime(date, QTime(22, 58)), QLocale::ShortFormat)});
    new WidenOnShow(dialog, *view);
}

}  // namespace qtui
