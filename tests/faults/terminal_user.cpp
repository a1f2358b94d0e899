#include "faults/terminal_user.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

namespace faults {

std::unique_ptr<testsupport::Pty> PtyAt(const std::string& slavePath) {
    // A pty is given the lowest free number: the ones before it are held until
    // it comes. Another program's test may hold the number for a while.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::vector<std::unique_ptr<testsupport::Pty>> others;
        for (int i = 0; i < 256; ++i) {
            auto pty = std::make_unique<testsupport::Pty>();
            if (pty->SlavePath() == slavePath) return pty;
            others.push_back(std::move(pty));
        }
        others.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

TerminalUser::TerminalUser(const std::string& slavePath) {
    int ready[2], hold[2];
    if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(hold, O_CLOEXEC) != 0) return;
    const int terminal = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const pid_t child = terminal < 0 ? -1 : fork();
    if (child == 0) {
        // Only system calls here: the test process has other threads.
        char took = setsid() >= 0 && ioctl(terminal, TIOCSCTTY, 0) == 0 &&
                    prctl(PR_SET_NAME, ") S 1 1 1 0 0", 0, 0, 0) == 0;
        close(hold[1]);
        if (write(ready[1], &took, 1) == 1) (void)!read(hold[0], &took, 1);
        _exit(0);
    }
    if (terminal >= 0) close(terminal);
    close(ready[1]);
    close(hold[0]);
    m_hold = hold[1];
    char took = 0;
    if (child > 0 && read(ready[0], &took, 1) == 1 && took) m_pid = child;
    close(ready[0]);
    if (m_pid < 0) {
        close(m_hold);
        m_hold = -1;
        if (child > 0) waitpid(child, nullptr, 0);
    }
}

TerminalUser::~TerminalUser() {
    if (m_hold >= 0) close(m_hold);
    if (m_pid > 0) waitpid(m_pid, nullptr, 0);
}

}  // namespace faults
