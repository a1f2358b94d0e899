// The program's main dialog in the real Qt window, on the offscreen platform.
// A test runs the dialog modally and acts inside its loop as a user would,
// with mouse clicks and key presses on the widgets. The port is a real
// pseudo-terminal typed in as COM17; the files live in a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "support/pty.h"
#include "ui/zandrel_dlg.h"

namespace guitest {

constexpr int COM_NUMBER = 17;
constexpr char PORT_TEXT[] = "COM17";
// What a dialog returns when its script was cut short by a fatal failure.
constexpr int SCRIPT_FAILED = -2;

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the dialog with `script` acting inside its modal loop and returns
    // what DoModal returned. A script cut short by a fatal failure ends the
    // dialog with SCRIPT_FAILED, so that no test hangs.
    INT_PTR Run(const std::function<void()>& script);

    QWidget* Window() const;
    // The widget of a control, found by the object name the window gives it (its id).
    template <class T>
    T* Control(int id) const {
        return Window()->findChild<T*>(QString::number(id), Qt::FindDirectChildrenOnly);
    }
    // The id of the control that holds the keyboard focus, 0 for none.
    int FocusedControl() const;
    QString Status() const;

    // A left click in the middle of the control.
    void Click(int id);
    // Clicks into an edit field (or a combo box's), selects all and types the text.
    void TypeInto(int id, const QString& text);

    // Types the port and the capture file name, then clicks Capture To File.
    void StartCapture();
    // Writes the send file, types the port and its name, then clicks Write
    // to Port; the delay and Loop keep their defaults (25 ms, ticked).
    void StartLoopWrite(const std::string& bytes);

    // Dispatches the dialog's messages until `done` holds or the time is up.
    static bool WaitFor(const std::function<bool()>& done, int milliseconds);

    std::filesystem::path Path(const std::string& name) const { return m_dir / name; }
    bool PortFree() const;

    testsupport::Pty m_pty;
    std::unique_ptr<CZandrelDlg> m_dlg;
    std::filesystem::path m_dir;
};

}  // namespace guitest
