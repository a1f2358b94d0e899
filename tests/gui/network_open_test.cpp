// A port across the network whose server does not answer: the open waits up
// to 5 s for it; meanwhile the window keeps painting, and Stop or the close
// box ends the wait.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdlib>

#include "gui/main_window.h"
#include "support/rfc2217_stand_in.h"

namespace guitest {
namespace {

constexpr char SILENT_PORT[] = "COM19";

// Counts the paints of a widget that come while the open still runs.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(const std::function<bool()>& opening) : m_opening(opening) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_opening()) ++paintsWhileOpening;
        return false;
    }
    int paintsWhileOpening = 0;

private:
    std::function<bool()> m_opening;
};

class NetworkOpen : public MainWindow {
protected:
    // A server that takes connections (the kernel does, from its backlog) and never says a word.
    void SetUp() override {
        MainWindow::SetUp();
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(bind(m_listener, reinterpret_cast<sockaddr*>(&address), length), 0);
        ASSERT_EQ(listen(m_listener, 1), 0);
        ASSERT_EQ(getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
        m_address = "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        setenv("ZANDREL_COM19", m_address.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("ZANDREL_COM19");
        close(m_listener);
        MainWindow::TearDown();
    }

    // Starts a capture on COM19, does `ask` half a second into its open, and
    // returns how long the open took.
    std::chrono::duration<double> OpenInterruptedBy(const std::function<void()>& ask) {
        TypeInto(IDC_COM_PORT, SILENT_PORT);
        TypeInto(IDC_CAPTURE_FILE, QString::fromStdString(Path("capture.txt").string()));
        QTimer::singleShot(500, Window(), ask);
        const auto start = std::chrono::steady_clock::now();
        Click(IDC_CAPTURE_TO_FILE);
        return std::chrono::steady_clock::now() - start;
    }

    int m_listener = -1;
    std::string m_address;
};

// The server would be waited for 5 s: the open ends soon after the user's
// request, which is then handled as any other.
constexpr std::chrono::duration<double> kSoonAfter{2.5};

// Stop or the close box while the open waits ends every wait at once, also
// where the open sets the line in several rounds, and is then handled as any
// other: Stop leaves the window ready for a job, the close box closes it.
TEST_F(NetworkOpen, StopOrTheCloseBoxEndsEveryWaitForTheServer) {
    testsupport::Rfc2217StandIn deafServer;
    testsupport::Rfc2217StandIn::Manner deaf;
    deaf.answersSettings = false;
    deafServer.MeetWith(deaf);
    struct Case {
        const char* name;
        std::string server;
        bool closeBox;
    };
    const Case cases[] = {{"Stop, a silent server", m_address, false},
                          {"Stop, a server that answers no setting", deafServer.Address(), false},
                          {"the close box, a silent server", m_address, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setenv("ZANDREL_COM19", c.server.c_str(), 1);
        m_dlg = std::make_unique<CZandrelDlg>();
        AfxGetApp()->m_pMainWnd = m_dlg.get();
        std::chrono::duration<double> open{};
        const INT_PTR ended = Run([&] {
            open = OpenInterruptedBy([&] {
                if (c.closeBox) Window()->close();
                else Click(IDC_STOP);
            });
            if (c.closeBox) return;
            EXPECT_TRUE(WaitFor([&] { return Status().isEmpty() && Control<QWidget>(IDC_CAPTURE_TO_FILE)->isEnabled(); }, 5000))
                << Status().toStdString();
            m_dlg->EndDialog(IDOK);
        });
        EXPECT_EQ(ended, c.closeBox ? IDCANCEL : IDOK);
        EXPECT_LT(open, kSoonAfter);
    }
}

TEST_F(NetworkOpen, TheWindowPaintsWhileTheServerIsWaitedFor) {
    EXPECT_EQ(IDOK, Run([&] {
        TypeInto(IDC_COM_PORT, SILENT_PORT);
        TypeInto(IDC_CAPTURE_FILE, QString::fromStdString(Path("capture.txt").string()));
        // A paint asked for a moment into the open, and done before it ended.
        bool asked = false;
        PaintWatch watch([&] { return asked && Status().isEmpty(); });
        Window()->installEventFilter(&watch);
        QTimer::singleShot(500, Window(), [&] {
            asked = true;
            Window()->update();
        });
        Click(IDC_CAPTURE_TO_FILE);
        ASSERT_TRUE(WaitFor([&] { return !Status().isEmpty(); }, 15000));
        Window()->removeEventFilter(&watch);
        EXPECT_EQ(Status().toStdString(), "Status:  Cannot open " + std::string(SILENT_PORT) + " (" + m_address +
                                              "): no answer to the RFC 2217 negotiation within 5 s; if the server gives the line as raw TCP, use " +
                                              "tcp" + m_address.substr(7));
        EXPECT_GT(watch.paintsWhileOpening, 0);
        m_dlg->EndDialog(IDOK);
    }));
}

}  // namespace
}  // namespace guitest
