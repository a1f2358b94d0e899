// What a tty's driver takes of the settings asked.
#include <gtest/gtest.h>

#include "platform/comm/dcb_rules.h"
#include "platform/comm/tty/driver_traits.h"

namespace {

DCB EightN1() {
    DCB dcb{};
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return dcb;
}

// Either half of RTS/CTS asks for CRTSCTS, which a driver that keeps the flag
// without acting on it must refuse; the others take it.
TEST(DriverRules, RtsCtsIsBeyondADriverWithoutHardwareFlow) {
    using namespace comm;
    DriverTraits without;
    without.rtsCtsFlow = false;
    DCB cts = EightN1();
    cts.fOutxCtsFlow = 1;
    DCB rts = EightN1();
    rts.fRtsControl = RTS_CONTROL_HANDSHAKE;
    for (const DCB& dcb : {cts, rts}) {
        EXPECT_EQ(PartsBeyondDriver(without, dcb), unsigned{kPartRtsCts});
        EXPECT_EQ(PartsBeyondDriver(DriverTraits{}, dcb), 0u);
    }
    EXPECT_EQ(PartsBeyondDriver(without, EightN1()), 0u);
}

}  // namespace
