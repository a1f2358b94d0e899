#include "platform/framework/qt/dialog_widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/framework/default_window_proc.h"
#include "platform/framework/icons.h"
#include "platform/framework/message_loop.h"
#include "platform/framework/qt/controls.h"
#include "platform/framework/qt/dialog_units.h"
#include "platform/framework/qt/program_text.h"
#include "platform/framework/qt/qt_icons.h"
#include "platform/framework/user_input.h"

namespace qtui {
namespace {

QRect ToPixels(int x, int y, int cx, int cy, QSizeF unit) {
    return QRect(qRound(x * unit.width()), qRound(y * unit.height()), qRound(cx * unit.width()),
                 qRound(cy * unit.height()));
}

// The first entry a program added to the window's system menu (its About
// item), if any: system commands start at SC_SIZE.
std::optional<UINT> ProgramCommand(afx::WindowNode& window) {
    CMenu* menu = window.object ? window.object->GetSystemMenu(FALSE) : nullptr;
    afx::MenuRecord* record = menu ? afx::FindMenu(menu->m_hMenu) : nullptr;
    if (!record) return std::nullopt;
    for (const afx::MenuItem& item : record->items)
        if (!(item.flags & MF_SEPARATOR) && item.id < SC_SIZE) return static_cast<UINT>(item.id);
    return std::nullopt;
}

QWidget* WidgetOfNode(const afx::WindowNode& node) { return static_cast<QWidget*>(node.backendData); }

// The edit field or combo box a label names: on the same row, nearest beside it.
QWidget* BoxOfLabel(const afx::WindowNode& window, const QWidget& label) {
    QWidget* nearest = nullptr;
    int nearestGap = 0;
    for (const afx::WindowNode* control : window.children) {
        if (control->controlKind != ControlKind::Edit && !IsComboKind(control->controlKind)) continue;
        QWidget* box = WidgetOfNode(*control);
        QRect boxRect = box->geometry();
        QRect labelRect = label.geometry();
        if (boxRect.bottom() < labelRect.top() || boxRect.top() > labelRect.bottom()) continue;
        int gap = std::max(boxRect.left() - labelRect.right(), labelRect.left() - boxRect.right());
        if (!nearest || gap < nearestGap) {
            nearest = box;
            nearestGap = gap;
        }
    }
    return nearest;
}

bool Focusable(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::CheckBox || kind == ControlKind::Edit ||
           IsComboKind(kind);
}

}  // namespace

template <class Action>
void DialogWidget::ActOn(HWND control, Action action) {
    afx::WindowNode* node = afx::FindWindowNode(control);
    if (!node || m_syncing) return;
    action(*node);
}

DialogWidget::DialogWidget(afx::WindowNode& window) : m_hwnd(window.hwnd) {
    const DialogTemplate& tmpl = *window.dialogTemplate;
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (tmpl.style & DS_SYSMENU) flags |= Qt::WindowSystemMenuHint;
    if (tmpl.style & DS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);

    // The desktop's font, the same as in message boxes and tooltips.
    QSizeF unit = DialogUnits(tmpl, font(), *style());
    setFixedSize(ToPixels(0, 0, tmpl.cx, tmpl.cy, unit).size());
    window.clientWidth = width();
    window.clientHeight = height();

    QWidget* previous = nullptr;
    for (afx::WindowNode* control : window.children) {
        QWidget* widget = CreateControl(*control, unit);
        control->backendData = widget;
        SyncControl(*control);
        Connect(widget, *control);
        if (Focusable(control->controlKind)) {
            bool tabStop = control->controlTemplate->style & CTL_TABSTOP;
            widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
            if (previous && tabStop) setTabOrder(previous, widget);
            if (tabStop) previous = widget;
        }
    }
    CentreLabelsOnTheirBoxes(window);
    window.backendData = this;
    SyncWindow(window);

    // Alt+Space belongs to the window manager where there is one; Shift+F10
    // opens the menu there, and F1 opens the program's own entry (About).
    for (QKeySequence keys : {QKeySequence(Qt::ALT | Qt::Key_Space), QKeySequence(Qt::SHIFT | Qt::Key_F10)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &DialogWidget::ShowSystemMenu);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, [this] {
        afx::WindowNode* node = Node();
        std::optional<UINT> about = node ? ProgramCommand(*node) : std::nullopt;
        if (about) afx::UserSystemCommand(*node, *about);
    });
    // What the menu's Close item promises, also without a window manager.
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), this), &QShortcut::activated, this, [this] {
        if (afx::WindowNode* node = Node()) afx::UserCloseBox(*node);
    });
}

// A label takes its box's height and centres its text in it, so the two line
// up whatever the natural heights of the font and the box.
void DialogWidget::CentreLabelsOnTheirBoxes(const afx::WindowNode& window) {
    for (const afx::WindowNode* control : window.children) {
        if (control->controlKind != ControlKind::Static || control->id != IDC_STATIC) continue;
        auto* label = static_cast<QLabel*>(WidgetOfNode(*control));
        if (QWidget* box = BoxOfLabel(window, *label)) {
            label->setGeometry(label->x(), box->y(), label->width(), box->height());
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
}

QWidget* DialogWidget::CreateControl(afx::WindowNode& control, QSizeF unit) {
    const DialogControl& tmpl = *control.controlTemplate;
    QRect geometry = ToPixels(tmpl.x, tmpl.y, tmpl.cx, tmpl.cy, unit);
    QWidget* widget = nullptr;
    switch (control.controlKind) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(this);
        button->setAutoDefault(true);  // Enter clicks the focused button, as on Windows
        widget = button;
        break;
    }
    case ControlKind::CheckBox:
        widget = new QCheckBox(this);
        break;
    case ControlKind::GroupBox: {
        auto* group = new QGroupBox(this);
        group->setAttribute(Qt::WA_TransparentForMouseEvents);  // it frames, it takes no clicks
        widget = group;
        break;
    }
    case ControlKind::Static:
        widget = new StaticText(this);
        break;
    case ControlKind::StaticIcon:
        widget = new QLabel(this);
        break;
    case ControlKind::Edit:
        widget = new QLineEdit(this);
        break;
    case ControlKind::DropDownCombo:
    case ControlKind::DropDownList: {
        auto* combo = new DropDownCombo(
            this, [this, handle = control.hwnd] { ActOn(handle, [](afx::WindowNode& node) { afx::UserOpeningList(node); }); });
        if (control.controlKind == ControlKind::DropDownCombo) {
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            // No inline completion: the box shows exactly the text the dialog reads.
            combo->setCompleter(nullptr);
        }
        // The template height includes the drop-down list; the box itself keeps its natural height.
        geometry.setHeight(combo->sizeHint().height());
        widget = combo;
        break;
    }
    }
    widget->setGeometry(geometry);
    widget->setObjectName(QString::number(control.id));
    if (control.controlKind == ControlKind::GroupBox) widget->lower();
    return widget;
}

void DialogWidget::Connect(QWidget* widget, afx::WindowNode& control) {
    HWND handle = control.hwnd;
    auto clicked = [this, handle] { ActOn(handle, [](afx::WindowNode& node) { afx::UserClicked(node); }); };
    auto typed = [this, handle](const QString& text) {
        ActOn(handle, [&text](afx::WindowNode& node) { afx::UserTyped(node, ToText(text).c_str()); });
    };
    if (auto* button = qobject_cast<QPushButton*>(widget)) connect(button, &QPushButton::clicked, this, clicked);
    if (auto* check = qobject_cast<QCheckBox*>(widget)) connect(check, &QCheckBox::clicked, this, clicked);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) connect(edit, &QLineEdit::textEdited, this, typed);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // Typing and picking are told apart as Windows does: CBN_EDITCHANGE or CBN_SELCHANGE.
        if (combo->isEditable()) connect(combo->lineEdit(), &QLineEdit::textEdited, this, typed);
        connect(combo, &QComboBox::activated, this, [this, handle](int index) {
            ActOn(handle, [index](afx::WindowNode& node) { afx::UserPicked(node, index); });
        });
    }
}

void DialogWidget::SyncControl(const afx::WindowNode& control) {
    auto* widget = static_cast<QWidget*>(control.backendData);
    if (!widget) return;
    m_syncing = true;
    widget->setEnabled(control.enabled);
    widget->setToolTip(FromText(control.toolTip));
    QString text = FromText(control.text);
    switch (control.controlKind) {
    case ControlKind::PushButton:
        static_cast<QPushButton*>(widget)->setText(text);
        break;
    case ControlKind::CheckBox: {
        auto* check = static_cast<QCheckBox*>(widget);
        check->setText(text);
        check->setChecked(control.checked);
        break;
    }
    case ControlKind::GroupBox:
        static_cast<QGroupBox*>(widget)->setTitle(text);
        break;
    case ControlKind::Static:
        static_cast<QLabel*>(widget)->setText(text);
        break;
    case ControlKind::StaticIcon:
        if (const IconResource* icon = AfxFindIcon(static_cast<UINT>(std::atoi(control.text.c_str()))))
            static_cast<QLabel*>(widget)->setPixmap(PixmapFromResource(*icon, 32));
        break;
    case ControlKind::Edit: {
        auto* edit = static_cast<QLineEdit*>(widget);
        if (edit->text() != text) edit->setText(text);
        break;
    }
    case ControlKind::DropDownCombo:
    case ControlKind::DropDownList: {
        auto* combo = static_cast<QComboBox*>(widget);
        // Every change of the list is mirrored as it happens (a refill starts from CB_RESETCONTENT's empty list),
        // so its length tells whether it changed.
        if (combo->count() != static_cast<int>(control.list.size())) {
            combo->clear();
            for (const std::string& entry : control.list) combo->addItem(FromText(entry));
        }
        if (combo->currentText() == text) break;
        // A list shows the entry its text names, or nothing.
        if (combo->isEditable()) combo->setEditText(text);
        else combo->setCurrentIndex(combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive));
        break;
    }
    }
    m_syncing = false;
}

void DialogWidget::SyncWindow(const afx::WindowNode& window) {
    setWindowTitle(FromText(window.text));
    setToolTip(FromText(window.toolTip));
    setEnabled(window.enabled);
    HICON icon = window.bigIcon ? window.bigIcon : window.smallIcon;
    if (icon != m_shownIcon) {
        m_shownIcon = icon;
        const IconResource* resource = afx::IconOf(icon);
        setWindowIcon(resource ? IconFromResource(*resource) : QIcon());
    }
    if (window.iconic != isMinimized()) {
        if (window.iconic)
            showMinimized();
        else if (isVisible())
            showNormal();
    }
}

void DialogWidget::FocusFirstTabStop() {
    for (QWidget* widget : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (widget->focusPolicy() == Qt::StrongFocus && widget->isEnabled()) {
            widget->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void DialogWidget::ShowSystemMenu() {
    afx::WindowNode* window = Node();
    CMenu* menu = window ? window->object->GetSystemMenu(FALSE) : nullptr;
    afx::MenuRecord* record = menu ? afx::FindMenu(menu->m_hMenu) : nullptr;
    if (!record) return;
    m_systemMenu.clear();
    for (const afx::MenuItem& item : record->items) {
        if (item.flags & MF_SEPARATOR) {
            m_systemMenu.addSeparator();
            continue;
        }
        UINT command = static_cast<UINT>(item.id);
        QAction* action = m_systemMenu.addAction(FromText(item.text));
        action->setEnabled(afx::SystemCommandEnabled(*window, command));
        connect(action, &QAction::triggered, this, [this, command] {
            if (afx::WindowNode* node = Node()) afx::UserSystemCommand(*node, command);
        });
    }
    m_systemMenu.popup(mapToGlobal(QPoint(0, 0)));
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        if (afx::WindowNode* node = Node()) afx::UserEscape(*node);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        break;  // Enter never ends the dialog
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void DialogWidget::closeEvent(QCloseEvent* event) {
    // The close box asks; the dialog decides (WM_SYSCOMMAND SC_CLOSE).
    event->ignore();
    if (afx::WindowNode* node = Node()) afx::UserCloseBox(*node);
}

void DialogWidget::contextMenuEvent(QContextMenuEvent* event) {
    if (afx::WindowNode* node = Node()) afx::UserContextMenu(*node, event->globalPos().x(), event->globalPos().y());
}

void DialogWidget::paintEvent(QPaintEvent*) {
    m_drawn = true;
    QPainter painter(this);
    m_painter = &painter;
    afx::DispatchToWindow(m_hwnd, WM_PAINT, 0, 0);
    m_painter = nullptr;
}

void DialogWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    if (afx::WindowNode* node = Node()) afx::SetIconic(*node, isMinimized());
}

}  // namespace qtui
