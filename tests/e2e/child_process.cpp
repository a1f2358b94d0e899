#include "e2e/child_process.h"
#include "e2e/file_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

namespace e2e {
namespace {

std::vector<std::string> MergedEnvironment(const ChildProcess::Environment& extra) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [extraName, value] : extra) replaced = replaced || extraName == name;
        if (!replaced) merged.push_back(text);
    }
    for (const auto& [name, value] : extra) merged.push_back(name + "=" + value);
    return merged;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const Environment& extra, const std::string& outputDir, const std::string& errorDevice)
    : m_outPath(outputDir + "/stdout"), m_errPath(errorDevice.empty() ? outputDir + "/stderr" : errorDevice) {
    std::vector<std::string> argv = arguments;
    std::vector<std::string> envp = MergedEnvironment(extra);
    std::vector<char*> argvPointers = PointersTo(argv);
    std::vector<char*> envpPointers = PointersTo(envp);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errorDevice.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    else
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_errPath.c_str(), O_WRONLY | O_NOCTTY, 0);
    const int error = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argvPointers.data(), envpPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
    // Through syscall: this C library declares pidfd_open without C linkage.
    m_pidfd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    if (m_pidfd < 0) throw std::runtime_error("pidfd_open failed");
}

ChildProcess::~ChildProcess() {
    if (!m_reaped) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    close(m_pidfd);
}

void ChildProcess::Signal(int signalNumber) const {
    if (!m_reaped) kill(m_pid, signalNumber);
}

std::optional<int> ChildProcess::WaitForExit(int timeoutMs) {
    if (!m_reaped) {
        pollfd ended{m_pidfd, POLLIN, 0};
        if (poll(&ended, 1, timeoutMs) != 1) kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_reaped = true;
        m_status = WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
    }
    return m_status;
}

std::string ChildProcess::Output() const { return ReadFile(m_outPath); }
std::string ChildProcess::Errors() const { return ReadFile(m_errPath); }

}  // namespace e2e
