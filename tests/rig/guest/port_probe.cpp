// Runs inside the rig's guest: opens a serial device through the comm API and
// does what its arguments say, printing one "@@" line per step for the host.
//   set:BAUD:BITS:PARITY:STOP  SetCommState, then what GetCommState reports;
//                              then waits for a line on standard input, so
//                              the host can read QEMU's trace in between
//   watch:MS                   events, line errors and data for MS ms
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/kernel/background_close.h"
#include "platform/win32.h"

namespace {

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t colon; (colon = text.find(':', start)) != std::string::npos; start = colon + 1)
        parts.push_back(text.substr(start, colon - start));
    parts.push_back(text.substr(start));
    return parts;
}

DWORD Number(const std::string& text) { return static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10)); }

void Set(HANDLE port, const std::vector<std::string>& step) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = Number(step.at(1));
    dcb.ByteSize = static_cast<BYTE>(Number(step.at(2)));
    dcb.Parity = static_cast<BYTE>(Number(step.at(3)));
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.StopBits = static_cast<BYTE>(Number(step.at(4)));
    BOOL taken = SetCommState(port, &dcb);
    DWORD error = taken ? 0 : GetLastError();
    DCB now{};
    GetCommState(port, &now);
    std::printf("@@set %d %lu %lu %d %d %d\n", taken ? 1 : 0, static_cast<unsigned long>(error),
                static_cast<unsigned long>(now.BaudRate), now.ByteSize, now.Parity, now.StopBits);
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) std::exit(1);
}

void Watch(HANDLE port, DWORD milliseconds) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetCommMask(port, EV_RXCHAR | EV_BREAK | EV_ERR);
    COMMTIMEOUTS atOnce{MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(port, &atOnce);
    DWORD events = 0;
    DWORD errors = 0;
    std::string data;
    DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < milliseconds; elapsed = GetTickCount() - start) {
        OVERLAPPED record{};
        record.hEvent = event;
        ResetEvent(event);
        DWORD bits = 0;
        if (!WaitCommEvent(port, &bits, &record)) {
            if (WaitForSingleObject(event, milliseconds - elapsed) != WAIT_OBJECT_0) {
                SetCommMask(port, 0);  // ends the wait
                WaitForSingleObject(event, INFINITE);
            }
            DWORD unused;
            GetOverlappedResult(port, &record, &unused, FALSE);
        }
        events |= bits;
        DWORD cleared = 0;
        ClearCommError(port, &cleared, nullptr);
        errors |= cleared;
        char buffer[256];
        DWORD count = 0;
        OVERLAPPED read{};
        read.hEvent = event;
        ResetEvent(event);
        if (!ReadFile(port, buffer, sizeof buffer, &count, &read)) GetOverlappedResult(port, &read, &count, TRUE);
        data.append(buffer, count);
        SetCommMask(port, EV_RXCHAR | EV_BREAK | EV_ERR);
    }
    std::printf("@@watch events=%lx errors=%lx data=", static_cast<unsigned long>(events),
                static_cast<unsigned long>(errors));
    for (unsigned char byte : data) std::printf("%02x", byte);
    std::printf("\n");
    std::fflush(stdout);
    CloseHandle(event);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DEVICE STEP...\n", argv[0]);
        return 2;
    }
    HANDLE port = CreateFileA((std::string("\\\\.\\") + argv[1]).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::printf("@@open failed %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        std::vector<std::string> step = Split(argv[i]);
        if (step[0] == "set" && step.size() == 5) Set(port, step);
        else if (step[0] == "watch" && step.size() == 2) Watch(port, Number(step[1]));
        else {
            std::fprintf(stderr, "unknown step %s\n", argv[i]);
            return 2;
        }
    }
    CloseHandle(port);
    kernel::WaitForBackgroundCloses();  // the close runs on a thread of its own: the line is put back before the exit
    return 0;
}
