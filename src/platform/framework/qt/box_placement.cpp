#include "platform/framework/qt/box_placement.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>
#include <QStyle>

namespace qtui {
namespace {

// The window icon and the minimise, maximise and close buttons.
constexpr int kTitleBarButtons = 4;

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

}  // namespace qtui
