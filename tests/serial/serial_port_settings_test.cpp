// Line settings, handshaking, read time-outs, event mask and event character:
// each setter changes its own fields of the device's records and nothing else.
#include "port_probes.h"
#include "support/pty.h"

namespace {

class SerialPortSettings : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(m_port.Open(m_pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0); }

    // Gives the fields no setter here writes values a device would not default to.
    void MarkUntouchedFields() {
        DCB dcb = m_port.State();
        dcb.fDsrSensitivity = 1;
        dcb.fTXContinueOnXoff = 1;
        dcb.XonLim = 111;
        dcb.XoffLim = 222;
        dcb.XonChar = 0x21;
        dcb.XoffChar = 0x22;
        dcb.EvtChar = 0x23;
        m_port.SetState(dcb);
    }

    testsupport::Pty m_pty;
    ProbedPort m_port;
};

void ExpectSameFields(const DCB& a, const DCB& b) {
    EXPECT_EQ(a.XonLim, b.XonLim);
    EXPECT_EQ(a.XoffLim, b.XoffLim);
    EXPECT_EQ(a.XonChar, b.XonChar);
    EXPECT_EQ(a.XoffChar, b.XoffChar);
    EXPECT_EQ(a.ErrorChar, b.ErrorChar);
    EXPECT_EQ(a.EofChar, b.EofChar);
    EXPECT_EQ(a.EvtChar, b.EvtChar);
}

TEST_F(SerialPortSettings, LineSettingsReadBackAndParityDrivesParityFlag) {
    MarkUntouchedFields();
    const DCB before = m_port.State();

    EXPECT_EQ(m_port.SetLineSettings(19200, 7, EVENPARITY, TWOSTOPBITS), 0);
    DCB after = m_port.State();
    EXPECT_EQ(after.BaudRate, 19200u);
    EXPECT_EQ(after.ByteSize, 7);
    EXPECT_EQ(after.Parity, EVENPARITY);
    EXPECT_EQ(after.StopBits, TWOSTOPBITS);
    EXPECT_EQ(after.fParity, 1u);
    EXPECT_EQ(FlagsWord(after), FlagsWord(before) | 0x2u);
    ExpectSameFields(after, before);
    EXPECT_EQ(m_port.GetBaudRate(), 19200u);
    EXPECT_EQ(m_port.GetDataBits(), 7);
    EXPECT_EQ(m_port.GetParity(), EVENPARITY);
    EXPECT_EQ(m_port.GetStopBits(), TWOSTOPBITS);

    EXPECT_EQ(m_port.SetLineSettings(115200, 8, NOPARITY, ONESTOPBIT), 0);
    after = m_port.State();
    EXPECT_EQ(after.fParity, 0u);
    EXPECT_EQ(FlagsWord(after), FlagsWord(before) & ~0x2u);
    EXPECT_EQ(m_port.GetParity(), NOPARITY);
    EXPECT_EQ(m_port.GetBaudRate(), 115200u);
}

TEST_F(SerialPortSettings, RefusedLineSettingsReportTheDeviceErrorAndKeepThePrevious) {
    EXPECT_EQ(m_port.SetLineSettings(9600, 9, NOPARITY, ONESTOPBIT), static_cast<LONG>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(m_port.GetLastError(), static_cast<LONG>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(m_port.GetDataBits(), 8);
}

TEST_F(SerialPortSettings, ParityReadsAsNoneWhileParityCheckingIsOff) {
    DCB dcb = m_port.State();
    dcb.Parity = ODDPARITY;
    dcb.fParity = 0;
    m_port.SetState(dcb);
    EXPECT_EQ(m_port.GetParity(), NOPARITY);
}

TEST_F(SerialPortSettings, HandshakeModesRewriteOnlyFlowControlBits) {
    MarkUntouchedFields();
    struct Case {
        int nMode;
        DWORD dwAnd;
        DWORD dwOr;
    };
    const Case cases[] = {
        {CSerialPort::HandshakeHardware, 0xFFFFECEF, 0x0000202C},
        // CTS alone: RTS handshaking, DSR not consulted and DTR as with none.
        {CSerialPort::HandshakeRtsCts, 0xFFFFCCC3, 0x00002004},
        {CSerialPort::HandshakeSoftware, 0xFFFFCFC3, 0x00000300},
        {CSerialPort::HandshakeOff, 0xFFFFCCC3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nMode);
        const DCB before = m_port.State();
        EXPECT_EQ(m_port.SetHandshake(c.nMode), 0);
        const DCB after = m_port.State();
        EXPECT_EQ(FlagsWord(after), (FlagsWord(before) & c.dwAnd) | c.dwOr);
        ExpectSameFields(after, before);
        EXPECT_EQ(m_port.GetHandshake(), c.nMode);
    }
}

TEST_F(SerialPortSettings, HandshakeClassificationOfMixedFlags) {
    DCB dcb = m_port.State();
    dcb.fOutX = 1;
    dcb.fInX = 0;
    m_port.SetState(dcb);
    EXPECT_EQ(m_port.GetHandshake(), CSerialPort::HandshakeOff);

    // DTR and RTS handshaking decide alone; the CTS/DSR flags are not consulted.
    dcb.fInX = 1;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    m_port.SetState(dcb);
    EXPECT_EQ(m_port.GetHandshake(), CSerialPort::HandshakeHardware);
}

// Each line the mode leaves alone follows the request; a line the mode drives
// keeps its handshake, and the mode reads back unchanged.
TEST_F(SerialPortSettings, ModemLinesHeldOnOnlyWhereTheModeDoesNotDriveThem) {
    struct Case {
        int nMode;
        bool bDtr;
        bool bRts;
        DWORD dwDtrControl;
        DWORD dwRtsControl;
    };
    const Case cases[] = {
        {CSerialPort::HandshakeOff, false, false, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
        {CSerialPort::HandshakeOff, true, false, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},
        {CSerialPort::HandshakeOff, false, true, DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},
        {CSerialPort::HandshakeSoftware, true, true, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
        {CSerialPort::HandshakeRtsCts, true, true, DTR_CONTROL_ENABLE, RTS_CONTROL_HANDSHAKE},
        {CSerialPort::HandshakeRtsCts, false, false, DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE},
        {CSerialPort::HandshakeHardware, true, true, DTR_CONTROL_HANDSHAKE, RTS_CONTROL_HANDSHAKE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nMode << ' ' << c.bDtr << ' ' << c.bRts);
        ASSERT_EQ(m_port.SetHandshake(c.nMode), 0);
        EXPECT_EQ(m_port.SetModemLines(c.bDtr, c.bRts), 0);
        const DCB dcb = m_port.State();
        EXPECT_EQ(dcb.fDtrControl, c.dwDtrControl);
        EXPECT_EQ(dcb.fRtsControl, c.dwRtsControl);
        EXPECT_EQ(m_port.GetHandshake(), c.nMode);
    }
}

TEST_F(SerialPortSettings, UnknownModesAreRefusedWithoutWritingTheDevice) {
    MarkUntouchedFields();
    const DCB dcbBefore = m_port.State();
    const COMMTIMEOUTS timeoutsBefore = m_port.Timeouts();

    EXPECT_EQ(m_port.SetHandshake(4), E_INVALIDARG);
    EXPECT_EQ(m_port.GetLastError(), E_INVALIDARG);
    EXPECT_EQ(m_port.SetHandshake(-1), E_INVALIDARG);
    EXPECT_EQ(m_port.SetReadTimeoutMode(2), E_INVALIDARG);
    EXPECT_EQ(m_port.GetLastError(), E_INVALIDARG);
    EXPECT_LT(m_port.GetLastError(), 0);

    const DCB dcbAfter = m_port.State();
    EXPECT_EQ(FlagsWord(dcbAfter), FlagsWord(dcbBefore));
    ExpectSameFields(dcbAfter, dcbBefore);
    const COMMTIMEOUTS timeoutsAfter = m_port.Timeouts();
    EXPECT_EQ(timeoutsAfter.ReadIntervalTimeout, timeoutsBefore.ReadIntervalTimeout);

    // The next operation starts from a clear last error.
    EXPECT_EQ(m_port.GetBaudRate(), 9600u);
    EXPECT_EQ(m_port.GetLastError(), 0);
}

TEST_F(SerialPortSettings, ReadTimeoutModesSetReadFieldsAndKeepWriteTimeouts) {
    m_port.SetTimeouts({5, 6, 7, 11, 13});

    EXPECT_EQ(m_port.SetReadTimeoutMode(CSerialPort::ReadBlocking), 0);
    COMMTIMEOUTS timeouts = m_port.Timeouts();
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 11u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 13u);

    EXPECT_EQ(m_port.SetReadTimeoutMode(CSerialPort::ReadNonBlocking), 0);
    timeouts = m_port.Timeouts();
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 11u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 13u);
}

TEST_F(SerialPortSettings, EventMaskIsReplacedWhole) {
    EXPECT_EQ(m_port.SetEventMask(EV_RXFLAG | EV_TXEMPTY), 0);
    EXPECT_EQ(m_port.GetEventMask(), EV_RXFLAG | EV_TXEMPTY);
    EXPECT_EQ(m_port.SetEventMask(0), 0);
    EXPECT_EQ(m_port.GetEventMask(), 0u);
    EXPECT_EQ(m_port.GetLastError(), 0);
}

TEST_F(SerialPortSettings, EventCharacterIsSetAndOptionallyAddedToTheMask) {
    EXPECT_EQ(m_port.SetEventChar('\r', false), 0);
    EXPECT_EQ(m_port.GetEventChar(), '\r');
    EXPECT_EQ(m_port.GetEventMask(), EV_RXCHAR | EV_BREAK | EV_ERR);

    EXPECT_EQ(m_port.SetEventChar('\n', true), 0);
    EXPECT_EQ(m_port.GetEventChar(), '\n');
    EXPECT_EQ(m_port.GetEventMask(), EV_RXCHAR | EV_RXFLAG | EV_BREAK | EV_ERR);

    // A false flag never takes EV_RXFLAG away.
    EXPECT_EQ(m_port.SetEventChar('x', false), 0);
    EXPECT_EQ(m_port.GetEventChar(), 'x');
    EXPECT_EQ(m_port.GetEventMask(), EV_RXCHAR | EV_RXFLAG | EV_BREAK | EV_ERR);
}

}  // namespace
