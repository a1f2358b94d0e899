// The editable combo boxes show exactly the text the dialog reads: typing is
// never completed from the list behind the user's back, and an opened list
// starts on the entry the text begins, as a Windows list finds it.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "gui/main_window.h"

namespace guitest {
namespace {

TEST_F(MainWindow, ComboBoxShowsExactlyWhatTheDialogReads) {
    struct Typing {
        int id;
        const char* text;
        bool enter;
        const char* completion;  // what an inline completion would make of it
    };
    const Typing typings[] = {
        {IDC_BAUD, "11", true, "110"},
        {IDC_TIME_DELAY, "1", false, "105"},
        {IDC_COM_PORT, "c", false, "COM1"},
        {IDC_DATA_BITS, "7", true, "7"},
    };
    EXPECT_EQ(IDOK, Run([&] {
        for (const Typing& typing : typings) {
            SCOPED_TRACE(typing.completion);
            auto* combo = Control<QComboBox>(typing.id);
            TypeInto(typing.id, typing.text);
            if (typing.enter) QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
            QTest::keyClick(combo->lineEdit(), Qt::Key_Tab);
            EXPECT_NE(typing.id, FocusedControl());
            CString read;
            m_dlg->GetDlgItemText(typing.id, read);
            EXPECT_STREQ(typing.text, read);
            EXPECT_EQ(typing.text, combo->currentText());
        }
        m_dlg->EndDialog(IDOK);
    }));
}

TEST_F(MainWindow, OpenedListStartsOnTheEntryTheTextBegins) {
    struct Opening {
        int id;
        const char* typed;  // null: the dialog's default
        const char* entry;  // null: no entry begins so
    };
    const Opening openings[] = {
        {IDC_BAUD, nullptr, "9600"},
        {IDC_BAUD, "192", "19200"},
        {IDC_PARITY, "evenparity", "EVENPARITY"},
        {IDC_STOP_BITS, "2", "2"},
        {IDC_BAUD, "12345", nullptr},
    };
    EXPECT_EQ(IDOK, Run([&] {
        for (const Opening& opening : openings) {
            auto* combo = Control<QComboBox>(opening.id);
            SCOPED_TRACE(opening.typed ? opening.typed : combo->currentText().toStdString());
            if (opening.typed) TypeInto(opening.id, opening.typed);
            QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
            ASSERT_TRUE(combo->view()->isVisible());
            const int expected = opening.entry ? combo->findText(opening.entry) : -1;
            EXPECT_EQ(expected, combo->view()->currentIndex().row());
            combo->hidePopup();
        }
        m_dlg->EndDialog(IDOK);
    }));
}

}  // namespace
}  // namespace guitest
