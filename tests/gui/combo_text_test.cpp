// The editable combo boxes show exactly the text the dialog reads: typing is
// never completed from the list behind the user's back.
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

}  // namespace
}  // namespace guitest
