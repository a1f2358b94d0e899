#include "ui/flow_settings.h"

#include <gtest/gtest.h>

#include "serial/serial_port.h"

// Each entry of the two boxes, in any case, asks for its own setting; a typed
// text that is none of them runs as a job without the boxes did.
TEST(ConvertFlowSettings, EachEntryGivesItsModeAndLinesAndAnyOtherTextNone) {
    struct Case {
        const char* pszFlow;
        const char* pszLines;
        int nHandshake;
        bool bDtr;
        bool bRts;
    };
    const Case cases[] = {
        {"None", "Off", CSerialPort::HandshakeOff, false, false},
        {"XON/XOFF", "DTR on", CSerialPort::HandshakeSoftware, true, false},
        {"RTS/CTS", "RTS on", CSerialPort::HandshakeRtsCts, false, true},
        {"RTS/CTS, DTR/DSR", "DTR and RTS on", CSerialPort::HandshakeHardware, true, true},
        {"xon/xoff", "dtr ON", CSerialPort::HandshakeSoftware, true, false},
        {"XON", "DTR", CSerialPort::HandshakeOff, false, false},
        {"", "", CSerialPort::HandshakeOff, false, false},
        {"RTS/CTS ", "RTS on ", CSerialPort::HandshakeOff, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.pszFlow << "\" \"" << c.pszLines << '"');
        const FlowSettings flow = ConvertFlowSettings(c.pszFlow, c.pszLines);
        EXPECT_EQ(flow.nHandshake, c.nHandshake);
        EXPECT_EQ(flow.bDtrOn, c.bDtr);
        EXPECT_EQ(flow.bRtsOn, c.bRts);
    }
}
