// The port box's list holds COM1 to COM25, then the serial devices there are
// when it opens, so that a user picks an adapter without setting a variable.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "gui/main_window.h"

namespace guitest {
namespace {

using Entries = std::vector<std::string>;

Entries EntriesOf(const QComboBox& combo) {
    Entries entries;
    for (int i = 0; i < combo.count(); ++i) entries.push_back(combo.itemText(i).toStdString());
    return entries;
}

Entries ComPortsThen(const Entries& devices) {
    Entries entries;
    for (int n = 1; n <= 25; ++n) entries.push_back("COM" + std::to_string(n));
    entries.insert(entries.end(), devices.begin(), devices.end());
    return entries;
}

TEST_F(MainWindow, OpeningThePortListAddsTheDevicesPresentAfterCom1ToCom25) {
    Entries devices;
    std::vector<COMMDEVICEINFOA> present(EnumCommDevicesA(nullptr, 0));
    present.resize(EnumCommDevicesA(present.data(), static_cast<DWORD>(present.size())));
    for (const COMMDEVICEINFOA& device : present) devices.push_back(device.szPath);

    EXPECT_EQ(IDOK, Run([&] {
        auto* combo = Control<QComboBox>(IDC_COM_PORT);
        TypeInto(IDC_COM_PORT, PORT_TEXT);
        const QString tip = combo->toolTip();
        EXPECT_EQ(EntriesOf(*combo), ComPortsThen({})) << "before the list opens, the template's own";

        for (int opening = 0; opening < 2; ++opening) {
            // The arrow, at the box's right end.
            QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(combo->width() - 4, combo->height() / 2));
            EXPECT_TRUE(WaitFor([&] { return combo->view()->isVisible(); }, 2000));
            EXPECT_EQ(EntriesOf(*combo), ComPortsThen(devices)) << "opened " << opening + 1 << " times";
            combo->hidePopup();
        }
        // Refilling the list keeps what the box holds.
        CString read;
        m_dlg->GetDlgItemText(IDC_COM_PORT, read);
        EXPECT_STREQ(PORT_TEXT, read);
        EXPECT_EQ(PORT_TEXT, combo->currentText());
        EXPECT_EQ(tip, combo->toolTip());
        for (const std::string& device : devices) std::cout << "listed after COM25: " << device << "\n";
        m_dlg->EndDialog(IDOK);
    }));
}

}  // namespace
}  // namespace guitest
