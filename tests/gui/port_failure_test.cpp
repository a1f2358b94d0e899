// A port that cannot be opened is named in the status line with its Linux
// device and the reason, until the next job or Stop.
#include <QPushButton>

#include <cstdlib>

#include "gui/main_window.h"
#include "transfer/dialog_on_pty.h"

namespace guitest {
namespace {

constexpr int MISSING_COM = 18;

class PortFailure : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        setenv(("ZANDREL_COM" + std::to_string(MISSING_COM)).c_str(), Missing().c_str(), 1);
    }
    void TearDown() override {
        unsetenv(("ZANDREL_COM" + std::to_string(MISSING_COM)).c_str());
        MainWindow::TearDown();
    }
    std::string Missing() const { return Path("no-such-port").string(); }
    QString Failure() const {
        return QString::fromStdString("Status:  Cannot open COM18 (" + Missing() + "): No such file or directory");
    }
};

TEST_F(PortFailure, StatusLineSaysWhyUntilStop) {
    EXPECT_EQ(IDOK, Run([&] {
        TypeInto(IDC_COM_PORT, "COM18");
        Click(IDC_WRITE_TO_PORT);
        EXPECT_EQ(Failure(), Status());
        EXPECT_TRUE(Control<QPushButton>(IDC_WRITE_TO_PORT)->isEnabled());
        Click(IDC_STOP);
        EXPECT_EQ("", Status());

        const QString tooLong = "/dev/serial/by-id/" + QString(240, 'x');
        TypeInto(IDC_COM_PORT, tooLong);
        Click(IDC_CAPTURE_TO_FILE);
        EXPECT_EQ("Status:  Cannot open " + tooLong + ": a port name is at most 255 characters", Status());
        m_dlg->EndDialog(IDOK);
    }));
}

TEST_F(PortFailure, StatusLineIsClearedByTheNextJob) {
    EXPECT_EQ(IDOK, Run([&] {
        TypeInto(IDC_COM_PORT, "COM18");
        Click(IDC_CAPTURE_TO_FILE);
        EXPECT_EQ(Failure(), Status());
        StartCapture();  // on the pty: a capture writes nothing to the status line itself
        EXPECT_FALSE(PortFree());
        EXPECT_EQ("", Status());
        Click(IDC_STOP);
        m_dlg->EndDialog(IDOK);
    }));
}

}  // namespace
}  // namespace guitest
