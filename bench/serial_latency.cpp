// How quickly a watched port notices a byte, and what watching an idle port
// costs. The watcher does what the notifying port's worker does: keeps one
// WaitCommEvent pending with its own event, waits for that event or a stop
// event, and starts the next wait. The far end is a pty master. Then how
// quickly a wait armed right after a large read (a burst taken by a reader
// on another thread) is served.
//
//   bench_serial_latency [samples] [idle seconds]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/kernel/background_close.h"
#include "platform/win32.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Watch {
    HANDLE port;
    HANDLE stop;
    HANDLE seen;  // set by the watcher once it has noticed and drained a byte
    std::atomic<Clock::rep> noticedAt{0};
};

DWORD WatchPort(LPVOID parameter) {
    auto* watch = static_cast<Watch*>(parameter);
    HANDLE waitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED record{};
    record.hEvent = waitEvent;
    HANDLE handles[2] = {watch->stop, waitEvent};
    DWORD bits = 0;
    for (;;) {
        if (!WaitCommEvent(watch->port, &bits, &record) && GetLastError() != ERROR_IO_PENDING) break;
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
        watch->noticedAt.store(Clock::now().time_since_epoch().count());
        // Drain as the capture does, with a non-blocking read.
        char buffer[500];
        DWORD count = 0;
        OVERLAPPED read{};
        ReadFile(watch->port, buffer, sizeof buffer, &count, &read);
        SetEvent(watch->seen);
    }
    CloseHandle(waitEvent);
    return 0;
}

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double Percentile(std::vector<double>& sorted, double fraction) {
    size_t index = std::min(sorted.size() - 1, static_cast<size_t>(fraction * static_cast<double>(sorted.size())));
    return sorted[index];
}

// A burst nobody waits for, taken by one large non-blocking read; then a wait
// is armed and one byte sent: how long until the wait completes.
bool WaitAfterLargeRead(HANDLE port, int master, double& micros) {
    std::string burst(3000, 'b');
    if (write(master, "s", 1) != 1) return false;
    Sleep(2);
    if (write(master, burst.data(), burst.size()) != static_cast<ssize_t>(burst.size())) return false;
    Sleep(2);
    char buffer[4096];
    DWORD count = 0;
    OVERLAPPED read{};
    ReadFile(port, buffer, sizeof buffer, &count, &read);
    HANDLE waitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED record{};
    record.hEvent = waitEvent;
    DWORD bits = 0;
    // Events remembered from the burst complete a wait at once: taken first.
    while (WaitCommEvent(port, &bits, &record)) {
    }
    bool served = GetLastError() == ERROR_IO_PENDING;
    auto sentAt = Clock::now();
    served = served && write(master, "x", 1) == 1 && WaitForSingleObject(waitEvent, 2000) == WAIT_OBJECT_0;
    micros = std::chrono::duration<double, std::micro>(Clock::now() - sentAt).count();
    CloseHandle(waitEvent);
    ReadFile(port, buffer, sizeof buffer, &count, &read);  // the byte, so the next round starts empty
    return served;
}

int Fail(const char* what) {
    std::fprintf(stderr, "serial_latency: %s (error %u)\n", what, GetLastError());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int samples = argc > 1 ? std::atoi(argv[1]) : 2000;
    int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    if (samples <= 0 || idleSeconds < 0) return Fail("usage: bench_serial_latency [samples] [idle seconds]");

    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return Fail("cannot create a pty");
    std::string device = std::string("\\\\.\\") + ptsname(master);
    HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) return Fail("cannot open the pty");
    COMMTIMEOUTS nonBlocking{MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(port, &nonBlocking);
    SetCommMask(port, EV_RXCHAR | EV_BREAK | EV_ERR);

    Watch watch{port, CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HANDLE watcher = CreateThread(nullptr, 0, WatchPort, &watch, 0, nullptr);
    if (!watcher) return Fail("cannot start the watcher");

    std::vector<double> latencies;
    latencies.reserve(static_cast<size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        ResetEvent(watch.seen);
        char byte = static_cast<char>('a' + i % 26);
        auto sentAt = Clock::now();
        if (write(master, &byte, 1) != 1) return Fail("cannot write to the pty master");
        if (WaitForSingleObject(watch.seen, 2000) != WAIT_OBJECT_0) return Fail("the watcher missed a byte");
        auto noticed = Clock::time_point(Clock::duration(watch.noticedAt.load()));
        latencies.push_back(std::chrono::duration<double, std::micro>(noticed - sentAt).count());
        Sleep(1);  // an idle line between bytes, as at a slow sender's pace
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("byte at the far end to wait completed, %d samples: median %.1f us, p99 %.1f us, max %.1f us\n",
                samples, Percentile(latencies, 0.5), Percentile(latencies, 0.99), latencies.back());

    double before = CpuMs();
    Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    double idleCpu = CpuMs() - before;
    std::printf("idle watched port: %.2f ms CPU over %d s\n", idleCpu, idleSeconds);

    SetEvent(watch.stop);
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);

    std::vector<double> afterRead;
    for (int i = 0; i < 100; ++i) {
        double micros = 0;
        if (!WaitAfterLargeRead(port, master, micros)) return Fail("a wait armed after a large read was not served");
        afterRead.push_back(micros);
    }
    std::sort(afterRead.begin(), afterRead.end());
    std::printf("wait armed after a 3,000-byte read to wait completed, 100 samples: median %.1f us, p99 %.1f us, "
                "max %.1f us\n",
                Percentile(afterRead, 0.5), Percentile(afterRead, 0.99), afterRead.back());
    CloseHandle(port);
    CloseHandle(watch.stop);
    CloseHandle(watch.seen);
    kernel::WaitForBackgroundCloses();  // the port's close runs on a thread of its own
    close(master);
    return 0;
}
