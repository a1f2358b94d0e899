// The window as the user first sees it: the controls built from the template,
// their lists and defaults, the keyboard's way through them.
#include <QApplication>
#include <QFontMetrics>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <string>
#include <vector>

#include "gui/main_window.h"
#include "platform/framework/qt/qt_backend.h"
#include "platform/framework/window_registry.h"

namespace guitest {
namespace {

struct Shown {
    int id;
    std::string kind;
    std::string text;
    bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& shown, std::ostream* out) { *out << shown.id << ' ' << shown.kind << " \"" << shown.text << '"'; }

Shown Describe(QWidget* widget) {
    QString text;
    if (auto* button = qobject_cast<QPushButton*>(widget)) text = button->text();
    if (auto* check = qobject_cast<QCheckBox*>(widget)) text = check->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
    if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) text = edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) text = combo->currentText();
    return {widget->objectName().toInt(), widget->metaObject()->className(), text.toStdString()};
}

std::vector<std::string> Entries(const QComboBox* combo) {
    std::vector<std::string> entries;
    for (int i = 0; i < combo->count(); ++i) entries.push_back(combo->itemText(i).toStdString());
    return entries;
}

std::vector<std::string> PortNames() {
    std::vector<std::string> names;
    for (int n = 1; n <= 25; ++n) names.push_back("COM" + std::to_string(n));
    return names;
}

TEST_F(MainWindow, ShowsEveryControlOfTheTemplateInOrderWithTheDefaults) {
    EXPECT_EQ(IDOK, Run([&] {
        QWidget* window = Window();
        EXPECT_EQ("Zandrel", window->windowTitle());
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_EQ(window->minimumSize(), window->maximumSize());  // nothing to maximise either

        // The widgets of the dialog's controls, in the order of its records;
        // the window has no widget besides them.
        std::vector<Shown> shown;
        for (const afx::WindowNode* control : afx::FindWindowNode(m_dlg->m_hWnd)->children)
            shown.push_back(Describe(qtui::WidgetOf(control->hwnd)));
        EXPECT_EQ(shown.size(), window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size());
        const std::vector<Shown> expected = {
            {IDC_WRITE_TO_PORT, "QPushButton", "Write to Port"},
            {IDC_STOP, "QPushButton", "Stop"},
            {IDC_STATIC, "QLabel", "File Name"},
            {IDC_SEND_FILE, "QLineEdit", "SendDataFile.txt"},
            {IDC_BROWSE_SEND, "QPushButton", "..."},
            {IDC_STATIC, "QLabel", "COM port"},
            {IDC_COM_PORT, "QComboBox", "COM1"},
            {IDC_STATUS, "QLabel", ""},
            {IDC_STATIC, "QGroupBox", "Data Write"},
            {IDC_STATIC, "QGroupBox", "Port Details"},
            {IDC_BAUD, "QComboBox", "9600"},
            {IDC_PARITY, "QComboBox", "NOPARITY"},
            {IDC_DATA_BITS, "QComboBox", "8"},
            {IDC_STOP_BITS, "QComboBox", "1"},
            {IDC_FLOW_CONTROL, "QComboBox", "None"},
            {IDC_MODEM_LINES, "QComboBox", "Off"},
            {IDC_STATIC, "QLabel", "BAUD"},
            {IDC_STATIC, "QLabel", "Parity"},
            {IDC_STATIC, "QLabel", "Data"},
            {IDC_STATIC, "QLabel", "Stop Bits"},
            {IDC_STATIC, "QLabel", "Flow Control"},
            {IDC_STATIC, "QLabel", "Modem Lines"},
            {IDC_CAPTURE_TO_FILE, "QPushButton", "Capture To File"},
            {IDC_STATIC, "QLabel", "File Name"},
            {IDC_CAPTURE_FILE, "QLineEdit", "CaptureDataFile.txt"},
            {IDC_BROWSE_CAPTURE, "QPushButton", "..."},
            {IDC_STATIC, "QGroupBox", "Data Capture"},
            {IDC_STATIC, "QLabel", "Time Delay"},
            {IDC_TIME_DELAY, "QComboBox", "25"},
            {IDC_STATIC, "QLabel", "ms"},
            {IDC_LOOP, "QCheckBox", "Loop"},
            {IDC_ARRIVAL_TIMES, "QCheckBox", "Arrival Times"},
        };
        EXPECT_EQ(expected, shown);

        EXPECT_TRUE(Control<QCheckBox>(IDC_LOOP)->isChecked());
        EXPECT_TRUE(Control<QPushButton>(IDC_WRITE_TO_PORT)->isEnabled());
        EXPECT_TRUE(Control<QPushButton>(IDC_CAPTURE_TO_FILE)->isEnabled());
        m_dlg->EndDialog(IDOK);
    }));
}

TEST_F(MainWindow, ComboBoxesHoldExactlyTheirListsAndOnlyTheFlowBoxesAreFixedLists) {
    EXPECT_EQ(IDOK, Run([&] {
        const std::vector<std::pair<int, std::vector<std::string>>> lists = {
            {IDC_COM_PORT, PortNames()},
            {IDC_BAUD,
             {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600",
              "115200", "128000", "256000"}},
            {IDC_PARITY, {"NOPARITY", "ODDPARITY", "EVENPARITY", "MARKPARITY", "SPACEPARITY"}},
            {IDC_DATA_BITS, {"5", "6", "7", "8"}},
            {IDC_STOP_BITS, {"1", "1.5", "2"}},
            {IDC_FLOW_CONTROL, {"None", "XON/XOFF", "RTS/CTS", "RTS/CTS, DTR/DSR"}},
            {IDC_MODEM_LINES, {"Off", "DTR on", "RTS on", "DTR and RTS on"}},
            {IDC_TIME_DELAY, {"25", "35", "45", "55", "65", "75", "85", "95", "105"}},
        };
        for (const auto& [id, entries] : lists) {
            auto* combo = Control<QComboBox>(id);
            ASSERT_NE(nullptr, combo) << id;
            // A click on Flow Control or Modem Lines opens the list; the others take typed text too.
            EXPECT_EQ(combo->isEditable(), id != IDC_FLOW_CONTROL && id != IDC_MODEM_LINES) << id;
            EXPECT_EQ(entries, Entries(combo)) << id;
        }
        // Port Details' boxes stand one row apart, without a gap above the flow boxes.
        const int ports[] = {IDC_COM_PORT, IDC_BAUD,   IDC_PARITY,      IDC_DATA_BITS,
                             IDC_STOP_BITS, IDC_FLOW_CONTROL, IDC_MODEM_LINES};
        const int pitch = Control<QWidget>(IDC_BAUD)->y() - Control<QWidget>(IDC_COM_PORT)->y();
        for (size_t i = 1; i < std::size(ports); ++i)
            EXPECT_NEAR(Control<QWidget>(ports[i])->y() - Control<QWidget>(ports[i - 1])->y(), pitch, 1) << ports[i];
        // A fixed list shows the entry its text names.
        m_dlg->SetDlgItemText(IDC_FLOW_CONTROL, "RTS/CTS");
        QApplication::processEvents();
        EXPECT_EQ(2, Control<QComboBox>(IDC_FLOW_CONTROL)->currentIndex());

        // Any text may be typed; the list stays as it was.
        TypeInto(IDC_BAUD, "9600 bps");
        QTest::keyClick(Control<QComboBox>(IDC_BAUD)->lineEdit(), Qt::Key_Return);
        CString baud;
        m_dlg->GetDlgItemText(IDC_BAUD, baud);
        EXPECT_STREQ("9600 bps", baud);
        EXPECT_EQ(15, Control<QComboBox>(IDC_BAUD)->count());
        m_dlg->EndDialog(IDOK);
    }));
}

TEST_F(MainWindow, TabGoesThroughTheTabStopsInTemplateOrderFromWriteToPort) {
    EXPECT_EQ(IDOK, Run([&] {
        EXPECT_EQ(IDC_WRITE_TO_PORT, FocusedControl());
        std::vector<int> reached;
        for (int i = 0; i < 17; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached.push_back(FocusedControl());
        }
        EXPECT_EQ((std::vector<int>{IDC_STOP, IDC_SEND_FILE, IDC_BROWSE_SEND, IDC_COM_PORT, IDC_BAUD, IDC_PARITY,
                                    IDC_DATA_BITS, IDC_STOP_BITS, IDC_FLOW_CONTROL, IDC_MODEM_LINES,
                                    IDC_CAPTURE_TO_FILE, IDC_CAPTURE_FILE,
                                    IDC_BROWSE_CAPTURE, IDC_TIME_DELAY, IDC_LOOP, IDC_ARRIVAL_TIMES,
                                    IDC_WRITE_TO_PORT}),
                  reached);
        m_dlg->EndDialog(IDOK);
    }));
}

// The desktop's font everywhere: the window takes the size its texts need
// rather than shrinking them, and each text fits its box.
TEST_F(MainWindow, WindowUsesTheDesktopFontAndEveryTextFitsItsBox) {
    EXPECT_EQ(IDOK, Run([&] {
        EXPECT_EQ(QApplication::font(), Window()->font());
        const QStyle& style = *Window()->style();
        for (QWidget* widget : Window()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            QFontMetrics metrics(widget->font());
            int room = widget->width();
            QString text;
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                text = label->text();
                room = label->contentsRect().width();
            } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
                text = check->text();
                room -= style.pixelMetric(QStyle::PM_IndicatorWidth) + style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
            } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
                text = button->text();
                room -= 2 * style.pixelMetric(QStyle::PM_ButtonMargin);
            }
            EXPECT_LE(metrics.horizontalAdvance(text), room) << text.toStdString();
        }
        m_dlg->EndDialog(IDOK);
    }));
}

TEST_F(MainWindow, WindowGrowsWithTheDesktopFont) {
    QSize usual, larger;
    EXPECT_EQ(IDOK, Run([&] {
        usual = Window()->size();
        m_dlg->EndDialog(IDOK);
    }));
    const QFont desktop = QApplication::font();
    QFont bigger = desktop;
    bigger.setPointSizeF(desktop.pointSizeF() * 1.5);
    QApplication::setFont(bigger);
    m_dlg = std::make_unique<CZandrelDlg>();
    AfxGetApp()->m_pMainWnd = m_dlg.get();
    EXPECT_EQ(IDOK, Run([&] {
        larger = Window()->size();
        m_dlg->EndDialog(IDOK);
    }));
    QApplication::setFont(desktop);
    EXPECT_GT(larger.width(), usual.width() * 5 / 4);
    EXPECT_GT(larger.height(), usual.height() * 5 / 4);
}

// Each label stands centred on the row of the box it names.
TEST_F(MainWindow, LabelsAreCentredOnTheirBoxes) {
    EXPECT_EQ(IDOK, Run([&] {
        std::vector<QLabel*> labels;
        for (const afx::WindowNode* control : afx::FindWindowNode(m_dlg->m_hWnd)->children)
            if (auto* label = qobject_cast<QLabel*>(qtui::WidgetOf(control->hwnd)); label && control->id == IDC_STATIC)
                labels.push_back(label);
        auto label = [&](const QString& text, int nth = 0) -> QWidget* {
            for (QLabel* each : labels)
                if (each->text() == text && nth-- == 0) return each;
            return nullptr;
        };
        const std::vector<std::pair<QWidget*, int>> pairs = {
            {label("File Name"), IDC_SEND_FILE},   {label("File Name", 1), IDC_CAPTURE_FILE},
            {label("Time Delay"), IDC_TIME_DELAY}, {label("ms"), IDC_TIME_DELAY},
            {label("COM port"), IDC_COM_PORT},     {label("BAUD"), IDC_BAUD},
            {label("Parity"), IDC_PARITY},         {label("Data"), IDC_DATA_BITS},
            {label("Stop Bits"), IDC_STOP_BITS},   {label("Flow Control"), IDC_FLOW_CONTROL},
            {label("Modem Lines"), IDC_MODEM_LINES},
        };
        for (const auto& [text, id] : pairs) {
            ASSERT_NE(nullptr, text);
            QRect box = Control<QWidget>(id)->geometry();
            SCOPED_TRACE(static_cast<QLabel*>(text)->text().toStdString());
            EXPECT_EQ(box.center().y(), text->geometry().center().y());
            EXPECT_TRUE(static_cast<QLabel*>(text)->alignment() & Qt::AlignVCenter);
        }
        m_dlg->EndDialog(IDOK);
    }));
}

}  // namespace
}  // namespace guitest
