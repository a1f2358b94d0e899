// One run of a program for the end-to-end tests: extra environment variables,
// standard output and standard error in files, the exit awaited with a
// deadline through a process descriptor (no polling).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace e2e {

// How long a test waits for what a child should do soon.
inline constexpr int kTimeoutMs = 10000;

class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // Starts `program` with these arguments (argv[0] is the program), its
    // environment being the test's with `extra` added or replaced. Output goes
    // to files in `outputDir`; standard error goes to `errorDevice` instead
    // when one is given (a terminal standing in for the user's).
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments, const Environment& extra,
                 const std::string& outputDir, const std::string& errorDevice = "");
    // A child still running is killed and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    void Signal(int signalNumber) const;
    // The exit status, or nothing when the child did not exit normally within
    // the time (it is then killed) or was ended by a signal.
    std::optional<int> WaitForExit(int timeoutMs);

    std::string Output() const;  // standard output so far
    std::string Errors() const;  // standard error so far, when it goes to a file

private:
    pid_t m_pid = -1;
    int m_pidfd = -1;
    bool m_reaped = false;
    std::optional<int> m_status;
    std::string m_outPath;
    std::string m_errPath;
};

}  // namespace e2e
