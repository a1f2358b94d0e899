// Capture to File under load: 64 MiB of random bytes pushed through a
// pseudo-terminal as fast as the sender can, captured by the real dialog code
// on the real clock, checked byte for byte (capture file and companion), and
// compared with cat reading a pseudo-terminal; the same capture once more
// across the network, COM9 being rfc2217:// to the real ser2net in front of
// the pseudo-terminal. Then the latency from a byte written at the far end to
// that byte being in the capture file.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "e2e/ser2net.h"
#include "raw_peer.h"
#include "platform/framework/headless/headless.h"
#include "ui/port_settings.h"
#include "ui/zandrel_dlg.h"

extern char** environ;

CWinApp theBenchApp;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
constexpr size_t TOTAL = 64u << 20;
constexpr size_t BLOCK = 64u << 10;
constexpr int COM_NUMBER = 9;
constexpr double MIB = 1024.0 * 1024.0;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Writes everything to the master as fast as it is taken; returns the thread's own CPU time.
std::thread StartSender(const testsupport::Pty& pty, const std::string& data, double& senderCpu,
                        std::atomic<bool>& sent) {
    return std::thread([&pty, &data, &senderCpu, &sent] {
        for (size_t done = 0; done < data.size(); done += BLOCK) pty.Send(data.substr(done, BLOCK));
        senderCpu = ThreadCpuSeconds();
        sent = true;
    });
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Companion(const std::string& data) {
    std::string codes;
    codes.reserve(data.size() * 4);
    for (unsigned char byte : data) codes += std::to_string(byte & 0x7F) + '|';
    return codes;
}

struct Capture {
    testsupport::Pty pty;
    std::unique_ptr<e2e::Ser2net> server;  // across the network: ser2net in front of the pty
    CZandrelDlg dlg;
    fs::path file;

    Capture(const fs::path& path, bool network) : file(path) {
        pty.MapAs(COM_NUMBER);
        if (network) {
            pty.MakeRaw();
            server = std::make_unique<e2e::Ser2net>("telnet(rfc2217),tcp", pty.SlavePath(), "9600n81",
                                                    path.parent_path());
            if (!server->Ready()) {
                std::fprintf(stderr, "cannot start ser2net (Debian package ser2net): %s\n", server->Output().c_str());
                std::exit(1);
            }
            setenv(("ZANDREL_COM" + std::to_string(COM_NUMBER)).c_str(),
                   ("rfc2217://127.0.0.1:" + server->Port()).c_str(), 1);
        }
        headless::Create(dlg);
        headless::RunUntilIdle();
        headless::Type(dlg, IDC_COM_PORT, ("COM" + std::to_string(COM_NUMBER)).c_str());
        headless::Type(dlg, IDC_CAPTURE_FILE, file.c_str());
        headless::Click(dlg, IDC_CAPTURE_TO_FILE);
    }
    ~Capture() {
        headless::Click(dlg, IDC_STOP);
        headless::Destroy(dlg);
    }
    // The file is looked at only once everything has been sent, so that the
    // measurement does not pay for a file-system query per notification.
    bool WaitForSize(size_t size, DWORD timeoutMs, const std::atomic<bool>& sent) {
        return headless::DispatchUntil(
            [&] {
                if (!sent) return false;
                std::error_code ec;
                auto got = fs::file_size(file, ec);
                return !ec && got >= size;
            },
            timeoutMs);
    }
};

// who: "zandrel" on the pty, "network" through ser2net.
bool RunOurs(const fs::path& dir, const std::string& data, const char* who) {
    const bool network = std::string(who) == "network";
    Capture capture(dir / (std::string(who) + ".bin"), network);
    double senderCpu = 0;
    std::atomic<bool> sent = false;
    double cpuBefore = ProcessCpuSeconds();
    auto start = Clock::now();
    std::thread sender = StartSender(capture.pty, data, senderCpu, sent);
    bool complete = capture.WaitForSize(data.size(), 600000, sent);
    double elapsed = Seconds(Clock::now() - start);
    sender.join();
    double cpu = ProcessCpuSeconds() - cpuBefore - senderCpu;

    std::string got = ReadAll(capture.file);
    bool same = got == data;
    bool companionSame = ReadAll(CompanionFileName(capture.file.c_str()).str()) == Companion(data);
    std::printf("%-8s %zu bytes in %.2f s: %.1f MB/s (%.1f MiB/s), CPU %.4f s/MiB; capture %s, companion %s\n",
                who, got.size(), elapsed, data.size() / elapsed / 1e6, data.size() / elapsed / MIB, cpu / (TOTAL / MIB),
                same ? "identical" : "DIFFERS", companionSame ? "identical" : "DIFFERS");
    return complete && same && companionSame;
}

bool RunCat(const std::string& data) {
    testsupport::Pty pty;
    int slave = OpenRawPeer(pty);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::string path = pty.SlavePath();
    const char* argv[] = {"cat", path.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "cat", &actions, nullptr, const_cast<char**>(argv), environ) != 0) return false;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    double senderCpu = 0;
    std::atomic<bool> sent = false;
    auto start = Clock::now();
    std::thread sender = StartSender(pty, data, senderCpu, sent);
    size_t received = 0;
    bool same = true;
    std::vector<char> buf(BLOCK);
    while (received < data.size()) {
        ssize_t n = ::read(out[0], buf.data(), buf.size());
        if (n <= 0) break;
        same = same && std::memcmp(buf.data(), data.data() + received, static_cast<size_t>(n)) == 0;
        received += static_cast<size_t>(n);
    }
    double elapsed = Seconds(Clock::now() - start);
    sender.join();
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    ::close(out[0]);
    ::close(slave);
    std::printf("cat      %zu bytes in %.2f s: %.1f MB/s (%.1f MiB/s), CPU %.4f s/MiB; %s\n", received, elapsed,
                data.size() / elapsed / 1e6, data.size() / elapsed / MIB, cpu / (TOTAL / MIB),
                same ? "identical" : "DIFFERS");
    return received == data.size() && same;
}

// Single bytes, each sent a gap after the one before reached the file: 1 ms
// is a slow sender's stream, which the port tells in gathers growing from 4
// to 16 ms; 20 ms is a quiet line (16 ms or more), whose first byte is told
// at once.
void RunLatency(const fs::path& dir, int gapMs, int samples) {
    const std::atomic<bool> kSent = true;
    Capture capture(dir / ("latency-" + std::to_string(gapMs) + ".bin"), false);
    std::vector<double> latencies;
    for (int i = 0; i < samples; ++i) {
        auto sent = Clock::now();
        capture.pty.Send("x");
        if (!capture.WaitForSize(static_cast<size_t>(i) + 1, 2000, kSent)) break;
        latencies.push_back(Seconds(Clock::now() - sent) * 1000.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
    std::sort(latencies.begin(), latencies.end());
    size_t n = latencies.size();
    if (n == 0) return;
    std::printf("latency  %zu single bytes %d ms apart from the far end into the capture file: p50 %.3f ms, "
                "p99 %.3f ms, max %.3f ms\n",
                n, gapMs, latencies[n / 2], latencies[std::min(n - 1, n * 99 / 100)], latencies.back());
}

}  // namespace

int main() {
    headless::Use(false);
    char pattern[] = "/tmp/zandrel-capture-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    fs::path dir = pattern;

    std::string data(TOTAL, '\0');
    std::mt19937_64 random(20260101);
    for (size_t i = 0; i < TOTAL; i += 8) {
        uint64_t value = random();
        std::memcpy(&data[i], &value, 8);
    }

    bool ok = RunOurs(dir, data, "zandrel");
    ok = RunCat(data) && ok;
    ok = RunOurs(dir, data, "network") && ok;
    RunLatency(dir, 1, 1000);
    RunLatency(dir, 20, 300);
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
