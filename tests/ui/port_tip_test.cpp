// The port box's tip names the device its text opens, whether the text came
// from the defaults, the command line, typing or the list, or says why it opens none.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/framework/headless/headless.h"
#include "ui/zandrel_dlg.h"

namespace {

std::string TipOf(const CWnd& dialog) { return headless::ControlToolTip(dialog, IDC_COM_PORT); }

class PortTip : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Use(true);
        setenv("ZANDREL_COM3", "/dev/ttyUSB0", 1);
        unsetenv("ZANDREL_COM1");
        unsetenv("ZANDREL_COM2");
    }
    void TearDown() override {
        unsetenv("ZANDREL_COM3");
        const char* none[] = {"zandrel"};
        AfxSetCommandLine(1, none);
    }
};

TEST_F(PortTip, FollowsTheTextTypedOrPicked) {
    CZandrelDlg dialog;
    ASSERT_TRUE(headless::Create(dialog));
    headless::RunUntilIdle();
    EXPECT_EQ("COM1 -> /dev/ttyS0", TipOf(dialog));
    headless::Type(dialog, IDC_COM_PORT, "COM3");
    EXPECT_EQ("COM3 -> /dev/ttyUSB0 through ZANDREL_COM3", TipOf(dialog));
    headless::Type(dialog, IDC_COM_PORT, "/dev/ttyACM0");
    EXPECT_EQ("/dev/ttyACM0", TipOf(dialog));
    headless::Type(dialog, IDC_COM_PORT, "COM0");
    EXPECT_EQ("\"COM0\" is not a port name: COMn, a device path such as /dev/ttyUSB0, or rfc2217://HOST:PORT", TipOf(dialog));
    headless::Type(dialog, IDC_COM_PORT, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", TipOf(dialog));
    // The jobs open at most 255 characters of port text, so a longer path opens nothing.
    const std::string tooLong = "/dev/" + std::string(251, 'x');
    headless::Type(dialog, IDC_COM_PORT, tooLong.c_str());
    EXPECT_EQ("\"" + tooLong + "\" is too long for a port name (255 characters at most)", TipOf(dialog));
    headless::Pick(dialog, IDC_COM_PORT, 1);
    EXPECT_EQ("COM2 -> /dev/ttyS1", TipOf(dialog));
    headless::Destroy(dialog);
}

TEST_F(PortTip, FollowsThePortNamedOnTheCommandLine) {
    const char* argv[] = {"zandrel", "-c", "3"};
    AfxSetCommandLine(3, argv);
    CZandrelDlg dialog;
    ASSERT_TRUE(headless::Create(dialog));
    headless::RunUntilIdle();
    EXPECT_EQ("COM3", headless::ControlText(dialog, IDC_COM_PORT));
    EXPECT_EQ("COM3 -> /dev/ttyUSB0 through ZANDREL_COM3", TipOf(dialog));
    headless::Destroy(dialog);
}

}  // namespace
