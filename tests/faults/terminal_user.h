// Terminals as a user's: a new pseudo-terminal given a number a job's device
// had, as the next terminal opened would be, and a process that has a pty as
// its controlling terminal, as a login's shell has.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "support/pty.h"

namespace faults {

// Makes ptys until one is given this slave path (the others are let go); null
// when another process holds the number.
std::unique_ptr<testsupport::Pty> PtyAt(const std::string& slavePath);

// A forked child that starts a session and takes the pty as its controlling
// terminal (setsid, TIOCSCTTY). Its command name would pass for the end of
// the name and a line without a terminal, to a reader of /proc/PID/stat that
// took the first ')' for the end of the name.
class TerminalUser {
public:
    explicit TerminalUser(const std::string& slavePath);
    ~TerminalUser();  // ends and reaps the child
    TerminalUser(const TerminalUser&) = delete;
    TerminalUser& operator=(const TerminalUser&) = delete;

    // The child's process id; -1 when it could not take the terminal.
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_hold = -1;  // the child ends when this closes
};

}  // namespace faults
