#include "platform/framework/signal_watch.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>

#include "platform/framework/backend.h"
#include "platform/framework/window_registry.h"

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
}

SignalWatch::SignalWatch() {
    afx::CreateWindowNode(afx::WindowKind::Message, &m_receiver, nullptr);
    sigset_t set = WatchedSignals();
    m_signalFd = signalfd(-1, &set, SFD_CLOEXEC);
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    if (m_signalFd >= 0 && m_stopFd >= 0) m_thread = std::thread(&SignalWatch::Watch, this);
}

SignalWatch::~SignalWatch() {
    if (m_thread.joinable()) {
        std::uint64_t one = 1;
        ssize_t written = write(m_stopFd, &one, sizeof one);
        (void)written;  // an eventfd write of 1 cannot fail short of overflow
        m_thread.join();
    }
    if (m_signalFd >= 0) close(m_signalFd);
    if (m_stopFd >= 0) close(m_stopFd);
}

void SignalWatch::Watch() {
    for (;;) {
        pollfd fds[2] = {{m_signalFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;  // EINTR
        if (fds[1].revents) return;
        if (fds[0].revents) {
            signalfd_siginfo info;
            if (read(m_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                PostMessageA(m_receiver.m_hWnd, kSignalMessage, info.ssi_signo, 0);
        }
    }
}

LRESULT SignalWatch::Receiver::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kSignalMessage) return CWnd::WindowProc(message, wParam, lParam);
    afx::CurrentBackend().CloseModalPieces();
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd) app->m_pMainWnd->PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
}
