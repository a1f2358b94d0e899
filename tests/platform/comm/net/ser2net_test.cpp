// The network line against the real ser2net (Debian's, the engine most port
// servers run), serving a pseudo-terminal whose far side the test holds.
#include <filesystem>

#include "e2e/ser2net.h"
#include "platform/comm/tty/line_speed.h"
#include "server_connection_fixture.h"
#include "support/pty.h"
#include "support/test_directory.h"

namespace {

using namespace nettest;
using comm::net::LineResult;
using comm::net::NetAddress;

using e2e::kSer2net;
using e2e::Ser2net;

class Ser2netTest : public ::testing::Test {
protected:
    void Serve(const std::string& accepter, NetAddress::Protocol protocol, const std::string& settings = "9600n81") {
        ASSERT_TRUE(std::filesystem::exists(kSer2net)) << "ser2net is not installed (scripts/setup installs it)";
        ASSERT_TRUE(m_pty.MakeRaw());
        m_server = std::make_unique<Ser2net>(accepter, m_pty.SlavePath(), settings, m_dir);
        ASSERT_TRUE(m_server->Ready()) << m_server->Output();
        LineResult result;
        m_line = ServerConnection::Open({protocol, "127.0.0.1", m_server->Port()}, result);
        ASSERT_TRUE(m_line) << result.reason << "; ser2net: " << m_server->Output();
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // Everything the far tty receives until count bytes came.
    Bytes FarReceives(size_t count) {
        const std::string got = m_pty.Receive(count, 5000);
        return Bytes(got.begin(), got.end());
    }
    Bytes LineReceives(size_t count) {
        Bytes data;
        ReceiveUntil(*m_line, data, [&] { return data.size() >= count; });
        return data;
    }

    std::filesystem::path m_dir = testsupport::MakeTestDirectory("zandrel-ser2net");
    testsupport::Pty m_pty;
    std::unique_ptr<Ser2net> m_server;
    std::unique_ptr<ServerConnection> m_line;
};

TEST_F(Ser2netTest, Rfc2217SetsEveryRateOnTheFarTtyAndTheFrameAsAsked) {
    Serve("telnet(rfc2217),tcp", NetAddress::Protocol::Rfc2217);
    Bytes data;
    EXPECT_TRUE(ReceiveUntil(*m_line, data, [&] { return !m_line->Signature().empty(); })) << "no signature";
    EXPECT_EQ(m_line->Signature(), "ser2net");

    DCB kept = Frame(9600, 8, NOPARITY, ONESTOPBIT);
    // A pty keeps no data bits or parity: those show in ser2net's answers, which ApplyDcb checks.
    for (const DCB& asked : {Frame(14400, 7, EVENPARITY, TWOSTOPBITS), Frame(56000, 8, ODDPARITY, ONESTOPBIT),
                             Frame(128000, 6, MARKPARITY, TWOSTOPBITS), Frame(256000, 5, SPACEPARITY, ONESTOPBIT),
                             Frame(115200, 8, NOPARITY, ONESTOPBIT)}) {
        const LineResult result = m_line->ApplyDcb(asked, kept);
        EXPECT_EQ(result.error, ERROR_SUCCESS) << asked.BaudRate << ": " << result.reason;
        DWORD speed = 0;
        ASSERT_EQ(comm::GetLineSpeed(m_pty.Master(), speed), 0);
        EXPECT_EQ(speed, asked.BaudRate);
        kept = asked;
    }
}

TEST_F(Ser2netTest, Rfc2217ReadsTheSettingsTheServerRuns) {
    Serve("telnet(rfc2217),tcp", NetAddress::Protocol::Rfc2217, "19200e71");
    DCB found = Frame(9600, 8, NOPARITY, ONESTOPBIT);
    ASSERT_EQ(m_line->ReadSettings(found).error, ERROR_SUCCESS);
    EXPECT_EQ(found.BaudRate, 19200u);
    EXPECT_EQ(found.ByteSize, 7);
    EXPECT_EQ(found.Parity, EVENPARITY);
    EXPECT_EQ(found.StopBits, ONESTOPBIT);

    DCB asked = Frame(57600, 8, NOPARITY, TWOSTOPBITS);
    asked.fOutX = asked.fInX = 1;
    ASSERT_EQ(m_line->ApplyDcb(asked, found).error, ERROR_SUCCESS);
    ASSERT_EQ(m_line->ReadSettings(found).error, ERROR_SUCCESS);
    EXPECT_EQ(found.BaudRate, 57600u);
    EXPECT_EQ(found.ByteSize, 8);
    EXPECT_EQ(found.Parity, NOPARITY);
    EXPECT_EQ(found.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(found.fOutX && found.fInX);
}

TEST_F(Ser2netTest, Rfc2217TellsWhatTheServerLeavesUnansweredAndKeepsTheLine) {
    Serve("telnet(rfc2217),tcp", NetAddress::Protocol::Rfc2217);
    const DCB kept = Frame(9600, 8, NOPARITY, ONESTOPBIT);
    ASSERT_EQ(m_line->ApplyDcb(kept, kept).error, ERROR_SUCCESS);
    // ser2net cannot give a pty 1.5 stop bits and leaves the request unanswered.
    const LineResult result = m_line->ApplyDcb(Frame(57600, 5, NOPARITY, ONE5STOPBITS), kept);
    EXPECT_EQ(result.error, ERROR_TIMEOUT);
    EXPECT_EQ(result.reason, "rfc2217://127.0.0.1:" + m_server->Port() +
                                 " was asked for 1.5 stop bits: the server did not answer within 5 s; kept 9600 8N1");
    DWORD speed = 0;
    ASSERT_EQ(comm::GetLineSpeed(m_pty.Master(), speed), 0);
    EXPECT_EQ(speed, 9600u);
}

TEST_F(Ser2netTest, Rfc2217CarriesAllByteValuesBothWays) {
    Serve("telnet(rfc2217),tcp", NetAddress::Protocol::Rfc2217);
    const Bytes all = AllByteValues();
    ASSERT_TRUE(SendAll(*m_line, all));
    EXPECT_EQ(FarReceives(all.size()), all);
    EXPECT_EQ(m_pty.ReceiveFor(200), "");  // 0xFF arrived once: no doubled byte left over
    m_pty.Send(std::string(all.begin(), all.end()));
    EXPECT_EQ(LineReceives(all.size()), all);
}

TEST_F(Ser2netTest, RawTcpCarriesBytesUntouched) {
    Serve("tcp", NetAddress::Protocol::RawTcp);
    const Bytes all = AllByteValues();
    const Bytes framing{comm::net::kIac, comm::net::kWill, 44, comm::net::kIac, comm::net::kSb};
    for (const Bytes& bytes : {all, framing}) {
        ASSERT_TRUE(SendAll(*m_line, bytes));
        EXPECT_EQ(FarReceives(bytes.size()), bytes);
        m_pty.Send(std::string(bytes.begin(), bytes.end()));
        EXPECT_EQ(LineReceives(bytes.size()), bytes);
    }
    EXPECT_EQ(m_pty.ReceiveFor(200), "");
}

}  // namespace
