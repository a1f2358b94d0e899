// A capture whose pseudo-terminal's far end closed, and a new pty given the
// same number, as the next terminal opened (a new tab, an SSH login, sudo's)
// is: the job must not open it, make it raw and store what is typed there.
// Only a new pty made for the job's name (a symbolic link, as socat's link=
// makes) is taken up, and not while a process has it as its terminal.
#include <gtest/gtest.h>

#include <termios.h>

#include <memory>
#include <optional>
#include <ostream>

#include "faults/stable_name.h"
#include "faults/terminal_user.h"
#include "transfer/dialog_on_pty.h"

namespace {

using transfertest::ReadFile;

using faults::kWaitingStatus;

enum class Named { ByNode, ByLink };
enum class Link { LeftBehind, MadeAnew };
enum class Outcome { Resumed, NotOpened, PtyNeverBack, InUse };

struct Case {
    const char* what;
    Named named;
    Link link;  // what becomes of a link once the new pty is there
    bool controlled;  // the new pty is a process's controlling terminal
    Outcome outcome;
};

const Case kCases[] = {
    {"a node, then nobody's terminal at its number", Named::ByNode, Link::LeftBehind, false, Outcome::PtyNeverBack},
    {"a node, then a login's terminal at its number", Named::ByNode, Link::LeftBehind, true, Outcome::PtyNeverBack},
    {"a link left behind, a new pty at its number", Named::ByLink, Link::LeftBehind, false, Outcome::NotOpened},
    {"a link made anew to a pty given the same number", Named::ByLink, Link::MadeAnew, false, Outcome::Resumed},
    {"a link made anew to a login's terminal", Named::ByLink, Link::MadeAnew, true, Outcome::InUse},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.what; }

class PtyTakeover : public transfertest::DialogOnPty, public ::testing::WithParamInterface<Case> {};

TEST_P(PtyTakeover, OnlyANewPtyMadeForTheNameIsTakenUpAndNeverATerminalInUse) {
    const Case& c = GetParam();
    faults::StableName name(Path("ttyV0"));
    name.PointTo(m_pty);
    const std::string port = c.named == Named::ByLink ? name.Path() : m_pty.SlavePath();
    headless::Type(m_dlg, IDC_COM_PORT, port.c_str());
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto("before", Path("cap.txt"), 6));

    m_pty.CloseMaster();
    ASSERT_TRUE(headless::DispatchUntil([&] { return Status() == kWaitingStatus; }, 5000));
    auto next = faults::PtyAt(m_pty.SlavePath());
    ASSERT_NE(next, nullptr) << "another process took the number";
    std::optional<faults::TerminalUser> user;
    if (c.controlled) {
        ASSERT_GT(user.emplace(next->SlavePath()).Pid(), 0);
    }
    if (c.link == Link::MadeAnew) name.PointTo(*next);
    for (int i = 0; i < 3; ++i) headless::Advance(CZandrelDlg::RECONNECT_PERIOD);

    next->Send("secret-password\r");
    std::vector<std::string> notices{port + " disconnected; waiting for it to come back"};
    if (c.outcome == Outcome::Resumed) {
        EXPECT_TRUE(headless::DispatchUntil(
            [&] { return ReadFile(Path("cap.txt")) == "beforesecret-password\r"; }, 5000));
        notices.push_back(port + " is back; capture resumed");
    } else {
        DispatchFor(100);
        EXPECT_EQ(transfertest::OpenDescriptors(next->SlavePath()), 0);
        termios line{};
        ASSERT_EQ(tcgetattr(next->Master(), &line), 0);
        EXPECT_TRUE(line.c_lflag & ECHO);  // not made raw
        EXPECT_EQ(ReadFile(Path("cap.txt")), "before");
    }
    if (c.outcome == Outcome::PtyNeverBack)
        notices.push_back(port + " is a pseudo-terminal: it does not come back once its far end has closed, "
                                 "and another one given its number is not taken up; still waiting");
    if (c.outcome == Outcome::InUse)
        notices.push_back(port + " now leads to " + next->SlavePath() + ", a terminal in use (by process " +
                          std::to_string(user->Pid()) + "); still waiting");
    EXPECT_EQ(headless::TakeJobNotices(), notices);
    EXPECT_EQ(m_dlg.IsBusy(), true);
}

INSTANTIATE_TEST_SUITE_P(Cases, PtyTakeover, ::testing::ValuesIn(kCases));

}  // namespace
