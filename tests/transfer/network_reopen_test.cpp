// A job on a port across the network (COM8, the stand-in server) whose
// server goes and comes back: the dialog's re-open of it.
#include <algorithm>
#include <cstdlib>

#include "dialog_on_pty.h"
#include "support/rfc2217_stand_in.h"

namespace {

using testsupport::Rfc2217StandIn;

class NetworkReopen : public transfertest::DialogOnPty {
protected:
    void SetUp() override {
        DialogOnPty::SetUp();
        setenv("ZANDREL_COM8", m_server.Address().c_str(), 1);
        headless::Type(m_dlg, IDC_COM_PORT, "COM8");
    }
    void TearDown() override {
        DialogOnPty::TearDown();
        unsetenv("ZANDREL_COM8");
    }

    // Capturing what the server sends, until it drops the connection; the
    // connections after are met as then says.
    void CaptureUntilDropped(const std::string& before, const Rfc2217StandIn::Manner& then) {
        StartCapture(Path("cap.txt"));
        m_server.SendData(before);
        ASSERT_TRUE(headless::DispatchUntil([&] { return transfertest::ReadFile(Path("cap.txt")) == before; }, 5000));
        m_server.MeetWith(then);
        ASSERT_TRUE(m_server.Drop(false));
        ASSERT_TRUE(headless::DispatchUntil([&] { return !headless::TakeJobNotices().empty(); }, 5000));
    }

    // The reconnect's timer, in steps, until the condition holds (a line a
    // try reached and the job did not take is let go after 5 s); its last value.
    bool ReconnectUntil(const std::function<bool()>& condition) {
        for (int step = 0; step < 60 && !condition(); ++step) {
            headless::Advance(1000);
            DispatchFor(200);
        }
        return condition();
    }

    // The notices told since the last call, gathered.
    bool Told(const std::string& notice) {
        for (const std::string& told : headless::TakeJobNotices()) m_notices.push_back(told);
        return std::find(m_notices.begin(), m_notices.end(), notice) != m_notices.end();
    }

    std::vector<std::string> m_notices;

    Rfc2217StandIn m_server;
};

// A server restarting as the re-open's first setting arrives: that open fails
// half-way, and the server back in earnest is taken up, its data captured.
TEST_F(NetworkReopen, AReopenThatFailsHalfWayLeavesNothingOpenAndTheServerBackIsTakenUp) {
    Rfc2217StandIn::Manner restarting;
    restarting.dropsAtFirstSetting = true;
    CaptureUntilDropped("AAAA", restarting);
    // The background try is met as usual; the job's open then fails at its first setting.
    ASSERT_TRUE(ReconnectUntil([&] { return m_server.Connections() >= 2 && !m_server.Connected(); }));
    m_server.MeetWith({});
    const std::string back = m_server.Address() + " is back; capture resumed";
    ASSERT_TRUE(ReconnectUntil([&] { return Told(back); })) << ::testing::PrintToString(m_notices);
    EXPECT_EQ(m_notices, std::vector<std::string>{back});
    m_server.SendData("BBBB");
    EXPECT_TRUE(headless::DispatchUntil([&] { return transfertest::ReadFile(Path("cap.txt")) == "AAAABBBB"; }, 5000));
}

}  // namespace

namespace {

// Two ports of one server at the same address, told apart by what each says
// it is: the other one is not taken up, and is told once; the job's own,
// back, is.
TEST_F(NetworkReopen, AnotherServerAtTheSameAddressIsToldOnceAndNotTakenUp) {
    Rfc2217StandIn::Manner press, oven;
    press.signature = "moxa port 1 (press)";
    oven.signature = "moxa port 2 (oven)";
    m_server.MeetWith(press);
    CaptureUntilDropped("AAAA", oven);
    const std::string address = m_server.Address();
    const std::string other = address + " is now a different device (" + address +
                              " (server: moxa port 1 (press)) was expected); still waiting";
    ASSERT_TRUE(ReconnectUntil([&] { return Told(other) || !m_notices.empty(); }));
    // Asked again and again meanwhile, it is told no more.
    ReconnectUntil([&] { return m_server.Connections() >= 3; });
    m_server.MeetWith(press);
    const std::string back = address + " is back; capture resumed";
    ASSERT_TRUE(ReconnectUntil([&] { return Told(back); })) << ::testing::PrintToString(m_notices);
    EXPECT_EQ(m_notices, (std::vector<std::string>{other, back}));
    m_server.SendData("CCCC");
    EXPECT_TRUE(headless::DispatchUntil([&] { return transfertest::ReadFile(Path("cap.txt")) == "AAAACCCC"; }, 5000));
}

}  // namespace
