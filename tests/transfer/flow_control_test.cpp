// Flow control and modem lines chosen in the dialog, as the port of each job
// gets them, over a real pseudo-terminal.
#include <termios.h>

#include <gtest/gtest.h>

#include <string>

#include "dialog_on_pty.h"

namespace transfertest {
namespace {

using FlowControl = DialogOnPty;

bool HardwareFlowInTermios(const testsupport::Pty& pty) {
    termios line{};
    EXPECT_EQ(tcgetattr(pty.Master(), &line), 0);
    return (line.c_cflag & CRTSCTS) != 0;
}

// Both jobs set the mode chosen, where a capture used to force none and a
// write took the open's default.
TEST_F(FlowControl, BothJobsGiveThePortTheChosenMode) {
    struct Case {
        bool bCapture;
        const char* pszFlow;
        bool bHardware;
    };
    const Case cases[] = {
        {false, "RTS/CTS", true},  {true, "RTS/CTS", true},  {false, "RTS/CTS, DTR/DSR", true},
        {true, "None", false},     {false, "None", false},   {true, "RTS/CTS, DTR/DSR", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.bCapture ? "capture " : "write ") << c.pszFlow);
        headless::Type(m_dlg, IDC_FLOW_CONTROL, c.pszFlow);
        if (c.bCapture)
            StartCapture(Path("cap.txt"));
        else
            StartWrite("AB", "25", true);
        ASSERT_EQ(Status(), c.bCapture ? "" : WRITING);
        EXPECT_EQ(HardwareFlowInTermios(m_pty), c.bHardware);
        headless::Click(m_dlg, IDC_STOP);
    }
}

// With none, DC1 and DC3 are data like any other byte.
TEST_F(FlowControl, WithoutFlowControlACaptureKeepsXonAndXoffBytes) {
    const std::string bytes = "a\x11" "b\x13" "c\x11";
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto(bytes, Path("cap.txt"), bytes.size()));
    EXPECT_EQ(ReadFile(Path("cap.txt")), bytes);
}

}  // namespace
}  // namespace transfertest
