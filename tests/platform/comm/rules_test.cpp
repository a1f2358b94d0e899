// COMMTIMEOUTS by the Win32 rules, and DCB validation.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/comm/dcb_rules.h"
#include "platform/comm/settings_refusal.h"
#include "platform/comm/timeout_rules.h"

namespace {

using namespace std::chrono_literals;
using comm::ReadRuleFor;

TEST(ReadRules, MaxIntervalWithZeroTotalsReturnsAtOnce) {
    auto rule = ReadRuleFor({MAXDWORD, 0, 0, 0, 0}, 500);
    EXPECT_TRUE(rule.atOnce);
    EXPECT_FALSE(rule.total);
}

TEST(ReadRules, AllZeroWaitsForTheFullCount) {
    auto rule = ReadRuleFor({0, 0, 0, 0, 0}, 500);
    EXPECT_FALSE(rule.atOnce);
    EXPECT_FALSE(rule.onFirstByte);
    EXPECT_FALSE(rule.total);
    EXPECT_FALSE(rule.interval);
}

TEST(ReadRules, TotalIsMultiplierTimesLengthPlusConstant) {
    auto rule = ReadRuleFor({0, 10, 100, 0, 0}, 5);
    ASSERT_TRUE(rule.total);
    EXPECT_EQ(*rule.total, 150ms);
    rule = ReadRuleFor({0, MAXDWORD, MAXDWORD, 0, 0}, MAXDWORD);  // no overflow
    EXPECT_GT(*rule.total, 0ms);
}

TEST(ReadRules, IntervalAppliesUnlessZeroOrMax) {
    EXPECT_EQ(*ReadRuleFor({20, 0, 0, 0, 0}, 5).interval, 20ms);
    EXPECT_FALSE(ReadRuleFor({MAXDWORD, 0, 100, 0, 0}, 5).interval);
}

TEST(ReadRules, MaxIntervalAndMultiplierReturnOnTheFirstByte) {
    auto rule = ReadRuleFor({MAXDWORD, MAXDWORD, 250, 0, 0}, 500);
    EXPECT_TRUE(rule.onFirstByte);
    EXPECT_EQ(*rule.total, 250ms);
    EXPECT_FALSE(comm::ValidTimeouts({MAXDWORD, MAXDWORD, MAXDWORD, 0, 0}));
    EXPECT_TRUE(comm::ValidTimeouts({MAXDWORD, MAXDWORD, 250, 0, 0}));
}

TEST(WriteRules, LimitOnlyWhenSet) {
    EXPECT_FALSE(comm::WriteRuleFor({0, 0, 0, 0, 0}, 10).total);
    EXPECT_EQ(*comm::WriteRuleFor({0, 0, 0, 3, 7}, 10).total, 37ms);
}

TEST(DcbRules, SoftwareHandshakeNeedsDistinctXonXoff) {
    DCB dcb{};
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.XonChar = dcb.XoffChar = 0x11;
    EXPECT_EQ(comm::ValidateDcb(dcb), ERROR_SUCCESS);
    dcb.fOutX = 1;
    EXPECT_EQ(comm::ValidateDcb(dcb), ERROR_INVALID_PARAMETER);
    dcb.XoffChar = 0x13;
    EXPECT_EQ(comm::ValidateDcb(dcb), ERROR_SUCCESS);
}

DCB Frame(DWORD baud, BYTE byteSize, BYTE parity, BYTE stopBits) {
    DCB dcb{};
    dcb.BaudRate = baud;
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    return dcb;
}

TEST(RefusalText, NamesTheRefusedPartsAsAskedThenWhatTheLineRuns) {
    using namespace comm;
    DCB kept = Frame(9600, 8, NOPARITY, ONESTOPBIT);
    EXPECT_EQ(DescribeRefusal("/dev/ttyUSB0", Frame(4800, 6, SPACEPARITY, ONESTOPBIT), kept, kPartDataBits),
              "/dev/ttyUSB0 cannot take 6 data bits, kept 9600 8N1");
    EXPECT_EQ(DescribeRefusal("/dev/ttyS1", Frame(256000, 5, MARKPARITY, ONE5STOPBITS), Frame(4800, 7, EVENPARITY, TWOSTOPBITS),
                              kPartBaud | kPartDataBits | kPartParity | kPartStopBits),
              "/dev/ttyS1 cannot take 256000 baud, 5 data bits, mark parity and 1.5 stop bits, kept 4800 7E2");
    EXPECT_EQ(DescribeRefusal("/dev/ttyS0", Frame(9600, 8, NOPARITY, ONESTOPBIT), Frame(9600, 5, SPACEPARITY, ONE5STOPBITS),
                              kPartStopBits),
              "/dev/ttyS0 cannot take 1 stop bit, kept 9600 5S1.5");
    EXPECT_EQ(DescribeRefusal("/dev/ttyS0", kept, kept, kPartOther), "/dev/ttyS0 cannot take these handshake settings, kept 9600 8N1");
    EXPECT_EQ(DescribeRefusal("/dev/ttyACM0", kept, kept, kPartRtsCts), "/dev/ttyACM0 cannot take RTS/CTS handshake, kept 9600 8N1");
}

TEST(DcbRules, InvalidPartsNameWhatIsWrong) {
    using namespace comm;
    EXPECT_EQ(InvalidParts(Frame(9600, 8, NOPARITY, ONESTOPBIT)), 0u);
    EXPECT_EQ(InvalidParts(Frame(0, 8, NOPARITY, ONESTOPBIT)), unsigned{kPartBaud});
    EXPECT_EQ(InvalidParts(Frame(9600, 9, 5, ONESTOPBIT)), unsigned{kPartDataBits | kPartParity});
    EXPECT_EQ(InvalidParts(Frame(9600, 8, NOPARITY, ONE5STOPBITS)), unsigned{kPartStopBits});
    EXPECT_EQ(InvalidParts(Frame(9600, 5, NOPARITY, TWOSTOPBITS)), unsigned{kPartStopBits});
    DCB sameXonXoff = Frame(9600, 8, NOPARITY, ONESTOPBIT);
    sameXonXoff.fOutX = 1;
    EXPECT_EQ(InvalidParts(sameXonXoff), unsigned{kPartOther});
}

}  // namespace
