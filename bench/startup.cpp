// How long the program takes to come up and how much memory it takes doing so.
//
//   bench_startup [runs] [path of zandrel]   (default: 15 runs, the zandrel
//                                              next to this program's bench/)
//
// Console run: `ZANDREL_HEADLESS=1 zandrel -b 9600` initialises the dialog,
// handles its command line, finds nothing left to do and ends; the time is
// from starting the process to its end.
// Window (Qt's offscreen platform, and a real X server under Xvfb when it is
// installed): `zandrel -c 9 -w FILE -m 5 -l n` with COM9 a pseudo-terminal;
// the time is from starting the process to the first character arriving at
// the far end, less the 5 ms tick that sends it: by then the window is shown
// and its command line handled. The process is then ended with SIGTERM.
// Memory is the peak resident set size of the process over its whole life.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "../tests/support/pty.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int COM_NUMBER = 9;
constexpr int TICK_MS = 5;
constexpr int FIRST_CHARACTER_TIMEOUT_MS = 10000;

struct Run {
    double ms;
    double peakMiB;
};

struct Target {
    double ms;
    double mib;
};

// The parent's environment with `set` added (NAME=value) and the names in
// `unset` removed.
std::vector<std::string> Environment(const std::vector<std::string>& set, const std::vector<std::string>& unset) {
    std::vector<std::string> result;
    auto named = [](const std::string& entry, const std::string& name) { return entry.starts_with(name + "="); };
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        bool dropped = std::any_of(unset.begin(), unset.end(), [&](const std::string& n) { return named(text, n); }) ||
                       std::any_of(set.begin(), set.end(), [&](const std::string& s) {
                           return named(text, s.substr(0, s.find('=')));
                       });
        if (!dropped) result.push_back(text);
    }
    result.insert(result.end(), set.begin(), set.end());
    return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::optional<pid_t> Spawn(const std::string& program, std::vector<std::string> args, std::vector<std::string> env) {
    args.insert(args.begin(), program);
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);
    // The program's own messages would only garble the table.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return std::nullopt;
    return pid;
}

double PeakMiB(const rusage& usage) { return static_cast<double>(usage.ru_maxrss) / 1024.0; }

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::optional<Run> ConsoleRun(const std::string& zandrel) {
    std::vector<std::string> env = Environment({"ZANDREL_HEADLESS=1"}, {});
    Clock::time_point start = Clock::now();
    std::optional<pid_t> pid = Spawn(zandrel, {"-b", "9600"}, env);
    if (!pid) return std::nullopt;
    int status = 0;
    rusage usage{};
    wait4(*pid, &status, 0, &usage);
    Clock::time_point end = Clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return Run{Ms(end - start), PeakMiB(usage)};
}

std::optional<Run> WindowRun(const std::string& zandrel, const std::string& sendFile,
                             const std::vector<std::string>& display) {
    testsupport::Pty pty;
    std::vector<std::string> set = display;
    set.push_back("ZANDREL_COM" + std::to_string(COM_NUMBER) + "=" + pty.SlavePath());
    std::vector<std::string> env = Environment(set, {"ZANDREL_HEADLESS", "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"});
    Clock::time_point start = Clock::now();
    std::optional<pid_t> pid =
        Spawn(zandrel, {"-c", std::to_string(COM_NUMBER), "-w", sendFile, "-m", std::to_string(TICK_MS), "-l", "n"}, env);
    if (!pid) return std::nullopt;
    bool arrived = pty.Receive(1, FIRST_CHARACTER_TIMEOUT_MS).size() == 1;
    Clock::time_point shown = Clock::now() - std::chrono::milliseconds(TICK_MS);
    kill(*pid, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(*pid, &status, 0, &usage);
    if (!arrived) return std::nullopt;
    return Run{Ms(shown - start), PeakMiB(usage)};
}

// An X server of its own for the window runs; it tells its display number
// through a pipe once it accepts clients.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int ready[2];
        if (pipe(ready) != 0) return;
        std::vector<std::string> env = Environment({}, {});
        std::optional<pid_t> pid = Spawn("/usr/bin/Xvfb",
                                         {"-displayfd", std::to_string(ready[1]), "-screen", "0", "1280x800x24",
                                          "-nolisten", "tcp"},
                                         env);
        close(ready[1]);
        if (pid) {
            m_pid = *pid;
            char number[16] = {};
            ssize_t n = read(ready[0], number, sizeof number - 1);
            if (n > 0) m_display = ":" + std::string(number, static_cast<size_t>(n - (number[n - 1] == '\n')));
        }
        close(ready[0]);
    }
    ~VirtualDisplay() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const std::string& Display() const { return m_display; }  // empty when there is none

private:
    pid_t m_pid = -1;
    std::string m_display;
};

template <class Measure>
void Report(const char* label, int runs, Target target, Measure measure) {
    std::vector<double> times;
    std::vector<double> peaks;
    for (int i = 0; i < runs; ++i) {
        std::optional<Run> run = measure();
        if (!run) {
            std::printf("%-34s failed (run %d)\n", label, i + 1);
            return;
        }
        times.push_back(run->ms);
        peaks.push_back(run->peakMiB);
    }
    std::sort(times.begin(), times.end());
    std::sort(peaks.begin(), peaks.end());
    double medianMs = times[times.size() / 2];
    double medianMiB = peaks[peaks.size() / 2];
    bool met = times.back() < target.ms && peaks.back() < target.mib;
    std::printf("%-34s %7.1f %7.1f ms %7.1f %7.1f MiB   < %3.0f ms, < %2.0f MiB: %s\n", label, medianMs, times.back(),
                medianMiB, peaks.back(), target.ms, target.mib, met ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    std::string zandrel = argc > 2 ? argv[2]
                                   : (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() /
                                      "zandrel").string();
    if (access(zandrel.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "bench_startup: no program at %s\n", zandrel.c_str());
        return 1;
    }
    std::filesystem::path sendFile = std::filesystem::temp_directory_path() / "zandrel-startup.txt";
    std::ofstream(sendFile) << 'x';

    std::printf("%s, %d runs each: median and worst\n", zandrel.c_str(), runs);
    std::printf("%-34s %15s %19s\n", "", "time", "peak RSS");
    Report("console, -b 9600, to its end", runs, {50, 10}, [&] { return ConsoleRun(zandrel); });
    Report("window offscreen, to shown", runs, {300, 60},
           [&] { return WindowRun(zandrel, sendFile, {"QT_QPA_PLATFORM=offscreen", "ZANDREL_WINDOW=1"}); });
    if (access("/usr/bin/Xvfb", X_OK) == 0) {
        VirtualDisplay x;
        if (x.Display().empty())
            std::printf("%-34s Xvfb did not start\n", "window on Xvfb, to shown");
        else
            Report("window on Xvfb, to shown", runs, {300, 60},
                   [&] { return WindowRun(zandrel, sendFile, {"DISPLAY=" + x.Display()}); });
    } else {
        std::printf("%-34s skipped: no /usr/bin/Xvfb\n", "window on Xvfb, to shown");
    }
    std::filesystem::remove(sendFile);
    return 0;
}
