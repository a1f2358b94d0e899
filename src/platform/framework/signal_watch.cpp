#include "platform/framework/signal_watch.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "platform/framework/backend.h"
#include "platform/framework/window_registry.h"
#include "platform/kernel/ending.h"

namespace {

constexpr UINT kSignalMessage = WM_USER + 1;

sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void SignalWatch::BlockSignals() {
    sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A file size limit (ulimit -f, a service's LimitFSIZE=) would end the
    // process in the middle of a capture, the device left raw. Ignored, the
    // write that passes the limit fails with EFBIG, a write failure like a
    // full disk.
    signal(SIGXFSZ, SIG_IGN);
    // Standard error may be a pipe whose reader is gone (`2>&1 | head`, a
    // closed SSH channel): the notice is dropped, as on a terminal that never
    // reads, instead of the run ending mid-job with its device left raw.
    signal(SIGPIPE, SIG_IGN);
}

SignalWatch::SignalWatch() {
    afx::CreateWindowNode(afx::WindowKind::Message, &m_receiver, nullptr);
    sigset_t set = WatchedSignals();
    m_signalFd = signalfd(-1, &set, SFD_CLOEXEC);
    m_watch = std::make_unique<DescriptorWatch>(m_signalFd, [this] {
        signalfd_siginfo info;
        if (read(m_signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return;
        // Whatever the user-interface thread waits for across the network ends now.
        kernel::EndWaits();
        PostMessageA(m_receiver.m_hWnd, kSignalMessage, info.ssi_signo, 0);
    });
}

SignalWatch::~SignalWatch() {
    m_watch.reset();
    if (m_signalFd >= 0) close(m_signalFd);
}

LRESULT SignalWatch::Receiver::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kSignalMessage) return CWnd::WindowProc(message, wParam, lParam);
    afx::CurrentBackend().CloseModalPieces();
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd) app->m_pMainWnd->PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
}
