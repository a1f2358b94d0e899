// How evenly Write to Port paces its characters: 2,000 characters over a
// pseudo-terminal at 5 ms and at 25 ms through the real dialog code on the
// real clock, against minicom's ascii-xfr sending the same file; at 5 ms once
// more as the console run shows it on a terminal, drawing its progress line;
// and at 5 ms across the network, COM9 being rfc2217:// to the real ser2net
// in front of the pseudo-terminal.
//
// For each run: mean period error, p50 and p99 deviation of each arrival from
// the ideal schedule (anchored at the first arrival, so the fixed latency is
// left out), the deviation of the last arrival (drift), and the total time
// against (n + 1) x delay for our sender, whose end-of-file tick is one more.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/ser2net.h"
#include "raw_peer.h"
#include "platform/framework/headless/console_run.h"
#include "platform/framework/headless/headless.h"
#include "ui/zandrel_dlg.h"

extern char** environ;

CWinApp theBenchApp;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int CHARACTERS = 2000;
constexpr int COM_NUMBER = 9;

struct Figures {
    double meanPeriodErrorPct;
    double p50Ms;
    double p99Ms;
    double maxMs;
    double lastMs;
    double totalMs;
};

// Timestamps every byte that arrives at the master until `count` came.
std::vector<Clock::time_point> Collect(const testsupport::Pty& pty, int count, int timeoutMs) {
    std::vector<Clock::time_point> arrivals;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (static_cast<int>(arrivals.size()) < count && Clock::now() < deadline) {
        pollfd p{pty.Master(), POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char buf[256];
        ssize_t n = ::read(pty.Master(), buf, sizeof buf);
        auto now = Clock::now();
        for (ssize_t i = 0; i < n; ++i) arrivals.push_back(now);
    }
    return arrivals;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

Figures Analyse(const std::vector<Clock::time_point>& arrivals, int delayMs, Clock::duration total) {
    const size_t n = arrivals.size();
    std::vector<double> deviations;
    for (size_t i = 0; i < n; ++i)
        deviations.push_back(std::fabs(Ms(arrivals[i] - arrivals[0]) - static_cast<double>(i) * delayMs));
    double meanPeriod = Ms(arrivals[n - 1] - arrivals[0]) / static_cast<double>(n - 1);
    double last = Ms(arrivals[n - 1] - arrivals[0]) - static_cast<double>(n - 1) * delayMs;
    std::vector<double> sorted = deviations;
    std::sort(sorted.begin(), sorted.end());
    auto pct = [&](double p) { return sorted[std::min(n - 1, static_cast<size_t>(p * static_cast<double>(n)))]; };
    return Figures{100.0 * (meanPeriod - delayMs) / delayMs, pct(0.50), pct(0.99), sorted.back(), last, Ms(total)};
}

void Print(const char* who, int delayMs, const Figures& f, int ticks) {
    std::printf("%-10s %3d ms  mean period error %+7.3f %%  p50 %6.3f ms  p99 %6.3f ms  max %6.3f ms  "
                "last %+7.3f ms  total %8.1f ms (ideal %d x %d = %d ms, %+.3f %%)\n",
                who, delayMs, f.meanPeriodErrorPct, f.p50Ms, f.p99Ms, f.maxMs, f.lastMs, f.totalMs, ticks, delayMs,
                ticks * delayMs, 100.0 * (f.totalMs - ticks * delayMs) / (ticks * delayMs));
}

// COM9 leads to port, and the far end of the line is pty.
Figures RunZandrelOn(const testsupport::Pty& pty, const std::string& port, const std::filesystem::path& file,
                     int delayMs) {
    setenv(("ZANDREL_COM" + std::to_string(COM_NUMBER)).c_str(), port.c_str(), 1);
    CZandrelDlg dlg;
    headless::Create(dlg);
    headless::RunUntilIdle();
    headless::Type(dlg, IDC_COM_PORT, ("COM" + std::to_string(COM_NUMBER)).c_str());
    headless::Type(dlg, IDC_SEND_FILE, file.c_str());
    headless::Type(dlg, IDC_TIME_DELAY, std::to_string(delayMs).c_str());
    if (headless::ControlChecked(dlg, IDC_LOOP)) headless::Click(dlg, IDC_LOOP);

    std::vector<Clock::time_point> arrivals;
    std::thread reader([&] { arrivals = Collect(pty, CHARACTERS, (CHARACTERS + 50) * delayMs + 5000); });
    auto start = Clock::now();
    headless::Click(dlg, IDC_WRITE_TO_PORT);
    headless::DispatchUntil([&] { return !dlg.IsBusy(); }, static_cast<DWORD>((CHARACTERS + 50) * delayMs + 5000));
    auto total = Clock::now() - start;
    reader.join();
    headless::Click(dlg, IDC_STOP);
    headless::Destroy(dlg);
    if (static_cast<int>(arrivals.size()) != CHARACTERS) {
        std::fprintf(stderr, "zandrel: only %zu of %d characters arrived\n", arrivals.size(), CHARACTERS);
        std::exit(1);
    }
    return Analyse(arrivals, delayMs, total);
}

Figures RunZandrel(const std::filesystem::path& file, int delayMs) {
    testsupport::Pty pty;
    return RunZandrelOn(pty, pty.SlavePath(), file, delayMs);
}

Figures RunZandrelThroughSer2net(const std::filesystem::path& file, int delayMs) {
    testsupport::Pty pty;
    if (!pty.MakeRaw()) std::exit(1);
    e2e::Ser2net server("telnet(rfc2217),tcp", pty.SlavePath(), "9600n81", file.parent_path());
    if (!server.Ready()) {
        std::fprintf(stderr, "cannot start ser2net (Debian package ser2net): %s\n", server.Output().c_str());
        std::exit(1);
    }
    return RunZandrelOn(pty, "rfc2217://127.0.0.1:" + server.Port(), file, delayMs);
}

// Standard error is a pseudo-terminal for the run (its output read and
// dropped), so the console draws the progress line as a user would see it.
Figures RunZandrelOnTerminal(const std::filesystem::path& file, int delayMs) {
    testsupport::Pty terminal;
    int slave = ::open(terminal.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    std::fflush(stderr);
    int saved = dup(STDERR_FILENO);
    dup2(slave, STDERR_FILENO);
    ::close(slave);
    // Reads until the last descriptor of the terminal's slave side is closed.
    std::thread drain([&] {
        char buf[4096];
        while (::read(terminal.Master(), buf, sizeof buf) > 0) {
        }
    });
    headless::UseConsole();
    Figures figures = RunZandrel(file, delayMs);
    headless::Use(false);
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    ::close(saved);
    drain.join();
    return figures;
}

Figures RunAsciiXfr(const std::filesystem::path& file, int delayMs) {
    testsupport::Pty pty;
    int slave = OpenRawPeer(pty);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // As under minicom, the line is both its input and its output.
    posix_spawn_file_actions_adddup2(&actions, slave, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, slave, STDOUT_FILENO);
    std::string delay = std::to_string(delayMs);
    std::string path = file.string();
    const char* argv[] = {"ascii-xfr", "-s", "-c", delay.c_str(), path.c_str(), nullptr};

    std::vector<Clock::time_point> arrivals;
    std::thread reader([&] { arrivals = Collect(pty, CHARACTERS, (CHARACTERS + 50) * delayMs * 2 + 5000); });
    auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ascii-xfr", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
        std::fprintf(stderr, "cannot run ascii-xfr (Debian package minicom)\n");
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    auto total = Clock::now() - start;
    reader.join();
    posix_spawn_file_actions_destroy(&actions);
    ::close(slave);
    if (static_cast<int>(arrivals.size()) != CHARACTERS) {
        std::fprintf(stderr, "ascii-xfr: only %zu of %d characters arrived\n", arrivals.size(), CHARACTERS);
        std::exit(1);
    }
    return Analyse(arrivals, delayMs, total);
}

}  // namespace

int main() {
    headless::Use(false);
    char pattern[] = "/tmp/zandrel-pacing-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    std::filesystem::path file = std::filesystem::path(pattern) / "send.txt";
    {
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < CHARACTERS; ++i) out.put(static_cast<char>('A' + i % 26));
    }
    std::printf("%d characters, one per tick; deviations from the ideal schedule anchored at the first arrival\n",
                CHARACTERS);
    for (int delayMs : {5, 25}) {
        Figures ours = RunZandrel(file, delayMs);
        Figures theirs = RunAsciiXfr(file, delayMs);
        Print("zandrel", delayMs, ours, CHARACTERS + 1);
        Print("ascii-xfr", delayMs, theirs, CHARACTERS);
        std::printf("%-10s %3d ms  total time ours / ascii-xfr = %.3f, p99 ours / ascii-xfr = %.3f\n", "ratio",
                    delayMs, ours.totalMs / theirs.totalMs, ours.p99Ms / theirs.p99Ms);
    }
    Print("terminal", 5, RunZandrelOnTerminal(file, 5), CHARACTERS + 1);
    Print("network", 5, RunZandrelThroughSer2net(file, 5), CHARACTERS + 1);
    std::filesystem::remove_all(pattern);
    return 0;
}
