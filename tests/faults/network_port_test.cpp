// The program's console run on a port across the network: COM3 is
// rfc2217://127.0.0.1:PORT, the real ser2net serving a pseudo-terminal whose
// far side the test holds. ser2net killed and started again is an adapter
// pulled and plugged back. What ser2net never does (ask to suspend output,
// let its socket fill) the stand-in server does.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "e2e/file_watch.h"
#include "e2e/ser2net.h"
#include "faults/console_run.h"
#include "faults/process_probe.h"
#include "platform/comm/net/server_connection.h"
#include "platform/comm/tty/line_speed.h"
#include "platform/kernel/background_close.h"
#include "support/rfc2217_stand_in.h"
#include "support/silent_listener.h"
#include "transfer/dialog_on_pty.h"
#include "support/thread_count.h"

namespace {

constexpr DWORD kRate = 57600;  // not ser2net's 9600: it shows the program set the line

// Every byte value, as the far end sends them.
std::string AllByteValues() {
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
    return all;
}

// Every byte value a written file can carry: read as text, it ends at Ctrl-Z,
// and a NUL goes as no character. CR is not followed by LF, so it stays.
std::string WritableByteValues() {
    std::string values;
    for (int i = 1; i < 256; ++i)
        if (i != 0x1A) values += static_cast<char>(i);
    return values;
}

// A console run that can wait for what it says on its standard error.
class ToldRun : public faults::ConsoleRun {
protected:
    bool Told(const e2e::ChildProcess& zandrel, const std::string& text) {
        e2e::FileWatch written(PathOf(("run" + std::to_string(m_runs.size() - 1)).c_str()), IN_MODIFY);
        return written.WaitUntil([&] { return zandrel.Errors().find(text) != std::string::npos; }, faults::kTimeoutMs);
    }
};

class NetworkPort : public ToldRun {
protected:
    void SetUp() override {
        ToldRun::SetUp();
        ASSERT_TRUE(std::filesystem::exists(e2e::kSer2net)) << "ser2net is not installed (scripts/setup installs it)";
    }

    std::string Address() const { return m_scheme + "://127.0.0.1:" + m_server->Port(); }

    // ser2net speaking RFC 2217, or raw TCP, and the program on it.
    e2e::ChildProcess& StartOnTheServer(std::vector<std::string> switches, bool raw = false) {
        m_scheme = raw ? "tcp" : "rfc2217";
        m_server = std::make_unique<e2e::Ser2net>(raw ? "tcp" : "telnet(rfc2217),tcp", m_pty.SlavePath(), "9600n81",
                                                  m_dir);
        EXPECT_TRUE(m_server->Ready()) << m_server->Output();
        switches.insert(switches.end(), {"-c", "3", "-b", std::to_string(kRate)});
        return Start(switches, "", Address());
    }

    // ser2net gone and back at the same port; the program told each once.
    void RestartTheServer(const e2e::ChildProcess& zandrel, const char* job) {
        m_server->Kill();
        ASSERT_TRUE(Told(zandrel, Address() + " disconnected; waiting for it to come back"));
        ASSERT_TRUE(m_server->Start()) << m_server->Output();
        ASSERT_TRUE(Told(zandrel, Address() + " is back; " + job + " resumed"));
        EXPECT_EQ(zandrel.Errors(), "zandrel: " + Address() + " disconnected; waiting for it to come back\nzandrel: " +
                                        Address() + " is back; " + job + " resumed\n");
    }

    DWORD FarRate() const {
        DWORD rate = 0;
        comm::GetLineSpeed(m_pty.Master(), rate);
        return rate;
    }

    std::string Capture() const { return PathOf("cap.txt"); }

    bool Captured(size_t count) {
        e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
        return written.WaitUntil([&] { return e2e::ReadFile(Capture()).size() >= count; }, faults::kTimeoutMs);
    }

    std::string m_scheme;
    std::unique_ptr<e2e::Ser2net> m_server;
};

// How far the loop moved from one received byte to the next: 1 when nothing
// was lost, more for bytes lost, 0 or a step back for a byte sent twice.
size_t Step(const std::string& values, char from, char to) {
    const size_t a = values.find(from);
    const size_t b = values.find(to);
    return (b + values.size() - a) % values.size();
}

TEST_F(NetworkPort, CaptureTakesEveryByteValueAndTheLineRunsTheProgramsRate) {
    e2e::ChildProcess& zandrel = StartOnTheServer({"-r", Capture()});
    const std::string all = AllByteValues();
    m_pty.Send(all + all);
    ASSERT_TRUE(Captured(2 * all.size()));
    EXPECT_EQ(FarRate(), kRate);
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    EXPECT_TRUE(e2e::ReadFile(Capture()) == all + all);
    EXPECT_TRUE(e2e::ReadFile(PathOf("cap_asci.txt")) == faults::CodesOf(all + all));
}

TEST_F(NetworkPort, LoopWriteAtFiveMsSendsEveryWritableValueOnceAndEndsAtSigterm) {
    const std::string values = WritableByteValues();
    std::ofstream(PathOf("send.bin"), std::ios::binary) << values;
    e2e::ChildProcess& zandrel = StartOnTheServer({"-m", "5", "-l", "y", "-w", PathOf("send.bin")});
    EXPECT_EQ(m_pty.Receive(2 * values.size(), faults::kTimeoutMs), values + values);
    EXPECT_EQ(FarRate(), kRate);
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
}

TEST_F(NetworkPort, RawTcpCarriesEveryByteValueUntouchedAndLeavesTheSettingsToTheServer) {
    e2e::ChildProcess& zandrel = StartOnTheServer({"-r", Capture()}, true);
    const std::string all = AllByteValues();
    m_pty.Send(all);
    ASSERT_TRUE(Captured(all.size()));
    EXPECT_EQ(FarRate(), 9600u);
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    EXPECT_TRUE(e2e::ReadFile(Capture()) == all);

    const std::string values = WritableByteValues();
    std::ofstream(PathOf("send.bin"), std::ios::binary) << values;
    e2e::ChildProcess& writer = Start({"-c", "3", "-m", "5", "-l", "n", "-w", PathOf("send.bin")}, "", Address());
    EXPECT_EQ(m_pty.Receive(values.size(), faults::kTimeoutMs), values);
    EXPECT_EQ(writer.WaitForExit(faults::kTimeoutMs), 0);
}

// ser2net serves one client a port: a second one, naming the server with -c,
// is told what ser2net says as it turns it away. ser2net closes with the
// client's negotiation unread, which makes its kernel reset the connection and
// drop what it still held back to send: on a loaded machine now and then the
// words themselves. Three tries, then, of which one must show them.
TEST_F(NetworkPort, ASecondClientIsToldTheServersOwnWords) {
    e2e::ChildProcess& first = StartOnTheServer({"-r", Capture()});
    m_pty.Send("one");
    ASSERT_TRUE(Captured(3));
    const std::string turnedAway = "zandrel: cannot open " + Address() + ": the server closed the connection";
    std::string told;
    for (int tries = 0; tries < 3 && told != turnedAway + ", saying: Port already in use\n"; ++tries) {
        e2e::ChildProcess& second = Launch({"-c", Address(), "-r", PathOf("two.txt")}, "", Address());
        EXPECT_EQ(second.WaitForExit(faults::kTimeoutMs), 1);
        told = second.Errors();
        EXPECT_TRUE(told.starts_with(turnedAway)) << told;
    }
    EXPECT_EQ(told, turnedAway + ", saying: Port already in use\n");
    first.Signal(SIGTERM);
    EXPECT_EQ(first.WaitForExit(faults::kTimeoutMs), 0);
}

TEST_F(NetworkPort, CaptureGoesOnAfterTheServerIsKilledAndStartedAgain) {
    e2e::ChildProcess& zandrel = StartOnTheServer({"-r", Capture()});
    const std::string all = AllByteValues();
    m_pty.Send(all);
    ASSERT_TRUE(Captured(all.size()));
    RestartTheServer(zandrel, "capture");
    m_pty.Send(all);
    ASSERT_TRUE(Captured(2 * all.size()));
    EXPECT_EQ(FarRate(), kRate);  // the line set again on the server started anew
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    EXPECT_TRUE(e2e::ReadFile(Capture()) == all + all);
}

TEST_F(NetworkPort, LoopWriteGoesOnAfterTheServerIsKilledAndStartedAgainSendingNothingTwice) {
    const std::string values = WritableByteValues();
    std::ofstream(PathOf("send.bin"), std::ios::binary) << values;
    e2e::ChildProcess& zandrel = StartOnTheServer({"-m", "5", "-l", "y", "-w", PathOf("send.bin")});
    std::string far = m_pty.Receive(100, faults::kTimeoutMs);
    ASSERT_EQ(far, values.substr(0, 100));
    RestartTheServer(zandrel, "write");
    far += m_pty.Receive(300, faults::kTimeoutMs);
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    far += m_pty.ReceiveFor(200);
    ASSERT_GE(far.size(), 400u);
    EXPECT_EQ(FarRate(), kRate);
    // What was in flight when ser2net died may be lost (a character or two);
    // nothing may come twice.
    for (size_t i = 1; i < far.size(); ++i) {
        const size_t step = Step(values, far[i - 1], far[i]);
        ASSERT_TRUE(step >= 1 && step <= 3) << "at " << i << ": a step of " << step;
    }
}

class NetworkPortOnAStandIn : public ToldRun {
protected:
    e2e::ChildProcess& StartWriting(testsupport::Rfc2217StandIn& server) {
        std::ofstream(PathOf("send.txt")) << "abcdefghijklmnopqrstuvwxyz";
        e2e::ChildProcess& zandrel = Launch({"-c", "3", "-m", "5", "-l", "y", "-w", PathOf("send.txt")}, "", server.Address());
        EXPECT_GE(server.Received(10).size(), 10u);
        return zandrel;
    }
    static std::string NotTaking(const std::string& address) { return address + " is not taking data"; }
};

TEST_F(NetworkPortOnAStandIn, SuspendHoldsTheWriteAndSaysWhyAndResumeLetsItGoOn) {
    testsupport::Rfc2217StandIn server;
    e2e::ChildProcess& zandrel = StartWriting(server);
    server.Notify({108});
    ASSERT_TRUE(Told(zandrel, NotTaking(server.Address()) + " (XOFF received); holding the file at character "));
    const size_t held = server.Received(10).size();
    server.Notify({109});
    // The write goes on; a log (no terminal) was told of the hold once, as it began.
    EXPECT_GE(server.Received(held + 20).size(), held + 20);
    const std::string told = zandrel.Errors();
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
}

TEST_F(NetworkPortOnAStandIn, AnOverrunTheServerTellsIsToldAsALocalPortsIs) {
    testsupport::Rfc2217StandIn server;
    e2e::ChildProcess& zandrel = Launch({"-c", "3", "-r", PathOf("cap.txt")}, "", server.Address());
    server.SendData("up");  // once it is captured, the job runs
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(PathOf("cap.txt")) == "up"; }, faults::kTimeoutMs));
    server.Notify({106, 0x02});  // NOTIFY-LINESTATE: overrun
    ASSERT_TRUE(Told(zandrel, server.Address() + " overran: received bytes were lost by the line (at least 1)"));
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 1);  // a fault the run went on through
}

// The server resets the connection right after its last byte arrived: the
// capture holds every byte, and the run says once that it disconnected.
TEST_F(NetworkPortOnAStandIn, ACaptureKeepsAllThatArrivedBeforeAResetAndSaysDisconnectedOnce) {
    testsupport::Rfc2217StandIn server;
    e2e::ChildProcess& zandrel = Launch({"-c", "3", "-r", PathOf("cap.txt")}, "", server.Address());
    std::string sent(200000, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i % 251);  // no 0xFF
    server.SendData(sent.substr(0, 2));  // once it is captured, the job runs
    e2e::FileWatch opened(m_dir.string(), IN_CLOSE_WRITE);
    ASSERT_TRUE(opened.WaitUntil([&] { return e2e::ReadFile(PathOf("cap.txt")).size() == 2; }, faults::kTimeoutMs));
    server.SendData(sent.substr(2));
    ASSERT_TRUE(server.Drop(true));
    const std::string disconnected = server.Address() + " disconnected; waiting for it to come back";
    ASSERT_TRUE(Told(zandrel, disconnected));
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    EXPECT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(PathOf("cap.txt")).size() >= sent.size(); }, faults::kTimeoutMs));
    zandrel.Signal(SIGTERM);
    EXPECT_TRUE(zandrel.WaitForExit(faults::kTimeoutMs).has_value());
    EXPECT_TRUE(e2e::ReadFile(PathOf("cap.txt")) == sent);
    const std::string told = zandrel.Errors();
    size_t times = 0;
    for (size_t at = told.find(disconnected); at != std::string::npos; at = told.find(disconnected, at + 1)) ++times;
    EXPECT_EQ(times, 1u) << told;
}

TEST_F(NetworkPortOnAStandIn, AServerThatStopsReadingIsToldAndSigtermEndsTheRunAtOnce) {
    testsupport::Rfc2217StandIn server(true);
    e2e::ChildProcess& zandrel = StartWriting(server);
    server.StopReading();
    ASSERT_TRUE(Told(zandrel, NotTaking(server.Address()) + "; holding the file at character "));
    const auto signalled = std::chrono::steady_clock::now();
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
}

// Servers that fail the open at each of its steps: answering none of the
// settings or only the questions, flooding data or negotiation without
// reading, resetting the connection at its first request, at the questions
// or at the first setting. Each open says why within its time, the run
// bounded in memory and ended by SIGTERM at once, with nothing captured.
class NetworkPortFailingTheOpen : public ToldRun {
protected:
    using Manner = testsupport::Rfc2217StandIn::Manner;
    struct Fault {
        const char* name;
        Manner manner;
        const char* why;
    };
    static std::vector<Fault> Faults() {
        using Bytes = testsupport::Rfc2217StandIn::Bytes;
        Manner nothing, questionsOnly, data, negotiation, resetAtFirst, resetAtQuestions, resetAtSetting;
        nothing.answersQuestions = nothing.answersSettings = false;
        questionsOnly.answersSettings = false;
        data.flood = Bytes(4096, 'd');
        negotiation.flood = Bytes{255, 253, 1, 255, 253, 1, 255, 253, 1, 255, 253, 1};
        negotiation.reads = false;
        resetAtFirst.resetsAtRequest = 0;     // the line-state mask, right after the option is agreed
        resetAtQuestions.resetsAtRequest = 3;  // after the masks and the signature
        resetAtSetting.resetsAtRequest = 8;    // after the five questions
        const char* silent = "the server did not answer within 5 s";
        const char* flooded = "the server sent too much without answering";
        const char* reset = "the server closed the connection";
        return {{"answers nothing", nothing, silent},         {"answers only questions", questionsOnly, silent},
                {"floods data", data, flooded},                {"floods negotiation", negotiation, flooded},
                {"resets at its first request", resetAtFirst, reset}, {"resets at the questions", resetAtQuestions, reset},
                {"resets at the first setting", resetAtSetting, reset}};
    }

    // The peak of the run's resident memory so far.
    static long PeakResidentKiB(const e2e::ChildProcess& run) {
        std::ifstream status("/proc/" + std::to_string(run.Pid()) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
        return 0;
    }
};

TEST_F(NetworkPortFailingTheOpen, EachOpenSaysWhyWithinItsTimeBoundedInMemory) {
    for (const Fault& fault : Faults()) {
        // One that reads nothing is full after a little, not megabytes: its bound is reached as
        // soon on a sanitizer's slow build as on a fast one.
        testsupport::Rfc2217StandIn server(!fault.manner.reads);
        server.MeetWith(fault.manner);
        e2e::ChildProcess& zandrel = Launch({"-c", "3", "-r", PathOf("cap.txt")}, "", server.Address());
        // The open's time runs from its connection; a loaded machine may take a while to get there.
        ASSERT_TRUE(server.AwaitConnections(1)) << fault.name;
        const auto connected = std::chrono::steady_clock::now();
        const std::string why = "cannot open COM3 (" + server.Address() + "): " + fault.why;
        EXPECT_TRUE(Told(zandrel, why)) << fault.name << ": " << zandrel.Errors();
        EXPECT_LT(std::chrono::steady_clock::now() - connected, std::chrono::seconds(6)) << fault.name;
        EXPECT_LT(PeakResidentKiB(zandrel), 100 * 1024) << fault.name;
        zandrel.Signal(SIGTERM);
        EXPECT_TRUE(zandrel.WaitForExit(faults::kTimeoutMs).has_value()) << fault.name;
        EXPECT_EQ(e2e::ReadFile(PathOf("cap.txt")), "") << fault.name;
    }
}

TEST_F(NetworkPortFailingTheOpen, SigtermWhileTheOpenWaitsEndsTheRunAtOnce) {
    for (const Fault& fault : Faults()) {
        testsupport::Rfc2217StandIn server(!fault.manner.reads);
        server.MeetWith(fault.manner);
        e2e::ChildProcess& zandrel = Launch({"-c", "3", "-r", PathOf("cap.txt")}, "", server.Address());
        ASSERT_TRUE(server.AwaitConnections(1));
        std::this_thread::sleep_for(std::chrono::seconds(1));  // well into the waits of those that wait
        const auto signalled = std::chrono::steady_clock::now();
        zandrel.Signal(SIGTERM);
        EXPECT_TRUE(zandrel.WaitForExit(faults::kTimeoutMs).has_value()) << fault.name;
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1)) << fault.name << ": " << zandrel.Errors();
    }
}

// A server that drops away and then answers no connect at all: SIGTERM while
// the run tries to reach it ends the run at once, as during a local wait for
// a device, with what was captured whole.
class NetworkPortGoneSilent : public ToldRun {};

TEST_F(NetworkPortGoneSilent, SigtermWhileTheRunTriesToReachItEndsTheRunAtOnce) {
    testsupport::SilentListener server;
    const std::string address = server.Address("tcp");
    e2e::ChildProcess& zandrel = Launch({"-c", "3", "-r", PathOf("cap.txt")}, "", address);
    ASSERT_TRUE(server.Accept(faults::kTimeoutMs));
    ASSERT_TRUE(server.Send("kept"));
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(PathOf("cap.txt")) == "kept"; }, faults::kTimeoutMs));
    server.FallSilent();
    ASSERT_TRUE(Told(zandrel, address + " disconnected; waiting for it to come back"));
    ASSERT_TRUE(server.ConnectWaiting(faults::kTimeoutMs));  // a try to reach it is under way
    const auto signalled = std::chrono::steady_clock::now();
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 1);  // the job not done, as for a local device away
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(2));
    EXPECT_EQ(e2e::ReadFile(PathOf("cap.txt")), "kept");
    EXPECT_EQ(e2e::ReadFile(PathOf("cap_asci.txt")), faults::CodesOf("kept"));
}

// The same in the window: Stop while the job tries to reach a silent server
// is taken at once, and ends the job as it does while a local device is away.
class NetworkPortInTheDialog : public transfertest::DialogOnPty {
protected:
    void SetUp() override {
        DialogOnPty::SetUp();
        setenv("ZANDREL_COM8", m_server.Address("tcp").c_str(), 1);
        headless::Type(m_dlg, IDC_COM_PORT, "COM8");
    }
    void TearDown() override {
        DialogOnPty::TearDown();
        unsetenv("ZANDREL_COM8");
    }

    testsupport::SilentListener m_server;
};

TEST_F(NetworkPortInTheDialog, StopWhileTheJobTriesToReachASilentServerIsTakenAtOnce) {
    const std::string address = m_server.Address("tcp");
    const int threads = testsupport::Threads();
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(m_server.Accept(faults::kTimeoutMs));
    ASSERT_TRUE(m_server.Send("kept"));
    ASSERT_TRUE(headless::DispatchUntil([&] { return transfertest::ReadFile(Path("cap.txt")) == "kept"; }, 5000));
    m_server.FallSilent();
    ASSERT_TRUE(headless::DispatchUntil([&] { return headless::TakeJobNotices().size() == 1; }, 5000));

    const auto tried = std::chrono::steady_clock::now();
    headless::Advance(1000);  // the reconnect's time comes
    EXPECT_TRUE(m_server.ConnectWaiting(faults::kTimeoutMs));  // a try to reach it is under way
    headless::Click(m_dlg, IDC_STOP);
    EXPECT_LT(std::chrono::steady_clock::now() - tried, std::chrono::seconds(2));
    EXPECT_EQ(headless::TakeJobFaults(), std::vector<std::string>{address + " did not come back before the job ended"});
    EXPECT_FALSE(m_dlg.IsBusy());
    EXPECT_EQ(transfertest::ReadFile(Path("cap.txt")), "kept");
    EXPECT_EQ(transfertest::ReadFile(Path("cap_asci.txt")), faults::CodesOf("kept"));
    // The try under way runs on to its end in the background, within the server's time.
    kernel::WaitForBackgroundCloses();
    EXPECT_TRUE(testsupport::ThreadsReturnTo(threads, comm::net::kServerTimeout + std::chrono::seconds(1)));
}

}  // namespace

// A port server typed into the port box is opened as such, and once it is
// open the box's tip names the server as it calls itself.
class NetworkPortTyped : public transfertest::DialogOnPty {
protected:
    testsupport::Rfc2217StandIn m_server;
};

// Across the network what a write knows is what reached the server, and its summary says so.
TEST_F(NetworkPortTyped, AWriteSaysItsCharactersWentToTheServer) {
    headless::Type(m_dlg, IDC_COM_PORT, m_server.Address().c_str());
    StartWrite("abc", "10", false);
    headless::Advance(40);
    EXPECT_EQ(m_server.Received(3), (testsupport::Rfc2217StandIn::Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(headless::TakeJobSummaries(), std::vector<std::string>{"sent 3 characters to the server in 0.0 s"});
}

TEST_F(NetworkPortTyped, TheTipNamesTheServerOnceTheJobHasOpenedIt) {
    headless::Type(m_dlg, IDC_COM_PORT, m_server.Address().c_str());
    EXPECT_EQ(headless::ControlToolTip(m_dlg, IDC_COM_PORT), m_server.Address());
    StartCapture(Path("cap.txt"));
    EXPECT_EQ(headless::ControlToolTip(m_dlg, IDC_COM_PORT), m_server.Address() + " (server: stand-in\\x1B[2J)");
    headless::Click(m_dlg, IDC_STOP);
}
