// The real window of a dialog: its controls laid out from the template in
// dialog units, mirroring the framework's records and reporting user input
// back as the messages Windows would send.
#pragma once

#include <QMenu>
#include <QWidget>

#include "platform/framework/window_registry.h"

class QPainter;

namespace qtui {

class DialogWidget : public QWidget {
public:
    explicit DialogWidget(afx::WindowNode& window);

    // Mirror the records into the widgets.
    void SyncControl(const afx::WindowNode& control);
    void SyncWindow(const afx::WindowNode& window);

    void FocusFirstTabStop();
    void ShowSystemMenu();
    // The painter of the paint in progress, or null outside a paint.
    QPainter* ActivePainter() const { return m_painter; }
    // Whether the window has been drawn on the screen: a window manager has
    // placed it by then.
    bool Drawn() const { return m_drawn; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* CreateControl(afx::WindowNode& control, QSizeF unit);
    void Connect(QWidget* widget, afx::WindowNode& control);
    void CentreLabelsOnTheirBoxes(const afx::WindowNode& window);
    afx::WindowNode* Node() const { return afx::FindWindowNode(m_hwnd); }
    // Hands a user's action on a control to the framework, unless the change
    // came from SyncControl itself.
    template <class Action>
    void ActOn(HWND control, Action action);

    HWND m_hwnd;
    bool m_syncing = false;  // changes made by SyncControl are not user input
    HICON m_shownIcon = nullptr;
    QPainter* m_painter = nullptr;
    bool m_drawn = false;
    QMenu m_systemMenu;
};

}  // namespace qtui
