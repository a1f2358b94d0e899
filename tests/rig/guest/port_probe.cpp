// Runs inside the rig's guest: opens a serial device through the comm API and
// does what its arguments say, printing one "@@" line per step for the host.
//   set:BAUD:BITS:PARITY:STOP  SetCommState, then what GetCommState reports;
//                              then waits for a line on standard input, so
//                              the host can read QEMU's trace in between
//   watch:MS                   events, line errors and data for MS ms
//   flow:MODE                  a handshake (n none, x XON/XOFF, h RTS/CTS, d RTS/CTS
//                              with DTR/DSR), then "@@flow TAKEN ERROR" and what
//                              GetCommState reports, then the refusal's text
//   modem:DTR:RTS              DTR and RTS held on (1) or off (0)
//   send:COUNT:MS              COUNT characters of 0123456789..., one per MS ms
//                              tick, each offered once the line has sent the one
//                              before, as the program does; "@@hold XOFF CTS DSR
//                              SENT" when what holds the line changes, "@@sent N"
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// Changes the DCB with edit; whether it was taken.
template <class Edit>
bool ChangeState(HANDLE port, Edit edit) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    edit(dcb);
    return SetCommState(port, &dcb);
}

void Flow(HANDLE port, char mode) {
    bool hardware = mode == 'h' || mode == 'd';
    BOOL taken = ChangeState(port, [&](DCB& dcb) {
        dcb.fOutX = dcb.fInX = mode == 'x';
        dcb.fOutxCtsFlow = hardware;
        dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        dcb.fOutxDsrFlow = mode == 'd';
        dcb.fDtrControl = mode == 'd' ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    });
    DWORD error = taken ? 0 : GetLastError();
    DCB now{};
    GetCommState(port, &now);
    std::printf("@@flow %d %lu cts=%u rts=%u dsr=%u dtr=%u outx=%u inx=%u\n@@text %s\n", taken ? 1 : 0,
                static_cast<unsigned long>(error), now.fOutxCtsFlow, now.fRtsControl, now.fOutxDsrFlow,
                now.fDtrControl, now.fOutX, now.fInX, taken ? "" : GetLastErrorText());
    std::fflush(stdout);
}

void Modem(HANDLE port, bool dtr, bool rts) {
    BOOL taken = ChangeState(port, [&](DCB& dcb) {
        dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        dcb.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    });
    std::printf("@@modem %d\n", taken ? 1 : 0);
    std::fflush(stdout);
}

void SendPaced(HANDLE port, DWORD count, DWORD tick) {
    constexpr DWORD kGiveUp = 120000;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED record{};
    char character = 0;  // the pending write's buffer
    bool pending = false;
    DWORD sent = 0;
    unsigned holds = ~0u;
    for (DWORD start = GetTickCount(); sent < count && GetTickCount() - start < kGiveUp; Sleep(tick)) {
        DWORD done = 0;
        if (pending && GetOverlappedResult(port, &record, &done, FALSE)) {
            pending = false;
            sent += done;
        }
        COMSTAT status{};
        DWORD errors = 0;
        ClearCommError(port, &errors, &status);
        unsigned now = status.fXoffHold | status.fCtsHold << 1 | status.fDsrHold << 2;
        if (now != holds) {
            holds = now;
            std::printf("@@hold %u %u %u %lu\n", status.fXoffHold, status.fCtsHold, status.fDsrHold,
                        static_cast<unsigned long>(sent));
            std::fflush(stdout);
        }
        if (pending || status.cbOutQue != 0) continue;
        character = static_cast<char>('0' + sent % 10);
        record = OVERLAPPED{};
        record.hEvent = event;
        if (WriteFile(port, &character, 1, &done, &record)) sent += done;
        else if (GetLastError() == ERROR_IO_PENDING) pending = true;
        else break;
    }
    if (pending) {
        CancelIo(port);
        DWORD done = 0;
        if (GetOverlappedResult(port, &record, &done, TRUE)) sent += done;
    }
    std::printf("@@sent %lu\n", static_cast<unsigned long>(sent));
    std::fflush(stdout);
    CloseHandle(event);
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
        else if (step[0] == "flow" && step.size() == 2 && step[1].size() == 1) Flow(port, step[1][0]);
        else if (step[0] == "modem" && step.size() == 3) Modem(port, Number(step[1]) != 0, Number(step[2]) != 0);
        else if (step[0] == "send" && step.size() == 3) SendPaced(port, Number(step[1]), Number(step[2]));
        else {
            std::fprintf(stderr, "unknown step %s\n", argv[i]);
            return 2;
        }
    }
    CloseHandle(port);
    return 0;
}
