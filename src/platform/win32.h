// The Win32 names the program is written against: types, constants and the
// kernel, communications and user-interface functions it calls. On Linux they
// are provided by platform/kernel, platform/comm and platform/framework.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- types

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using ULONGLONG = std::uint64_t;
using LONGLONG = std::int64_t;
using PULONGLONG = ULONGLONG*;
using UINT = unsigned int;
using INT = int;
using CHAR = char;
using UINT_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using HRESULT = LONG;
using LPCSTR = const char*;
using LPSTR = char*;
using LPCTSTR = const char*;
using LPTSTR = char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using LPBOOL = BOOL*;

using HANDLE = void*;
struct HWND__;
using HWND = HWND__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HMENU__;
using HMENU = HMENU__*;
struct HDC__;
using HDC = HDC__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

constexpr WORD LOWORD(DWORD_PTR value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(DWORD_PTR value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr DWORD MAKELONG(WORD low, WORD high) { return static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return static_cast<WPARAM>(MAKELONG(low, high)); }
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return static_cast<LPARAM>(MAKELONG(low, high)); }
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lp))); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lp))); }

// ---------------------------------------------------------------- error codes

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_BAD_COMMAND = 22;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_BROKEN_PIPE = 109;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr DWORD ERROR_ALREADY_INITIALIZED = 1247;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_TIMEOUT = 1460;
constexpr LONG E_INVALIDARG = static_cast<LONG>(0x80070057u);

// ---------------------------------------------------------------- kernel objects

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD STILL_ACTIVE = 259;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

// Closing a port ends its pending I/O (ERROR_OPERATION_ABORTED) and returns at once; the rest runs on a thread of its
// own (a device whose firmware stopped answering takes seconds): after a FlushFileBuffers, letting the line send what
// it holds, then restoring the line settings it had before the open. It does not wait on a line that stopped taking
// data: what the line has not sent within a few tens of milliseconds is dropped, as the writes a Windows port still
// has queued are cancelled. The next open of the device waits up to 3 s for that close (then fails with
// ERROR_ACCESS_DENIED, "its last close has not finished"); the process waits for its closes as it ends.
BOOL CloseHandle(HANDLE object);
DWORD GetLastError();
void SetLastError(DWORD code);  // also clears the thread's last error text
// Not in Windows: the last error with the words of the call that failed, kept
// together per thread as the code is ("No such file or directory", "/dev/ttyUSB0
// cannot take 6 data bits, kept 9600 8N1"). The text is empty when the failing
// call gave none; any later SetLastError clears it.
void SetLastErrorText(DWORD code, LPCSTR text);
LPCSTR GetLastErrorText();

// Named events are refused (ERROR_NOT_SUPPORTED).
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Of creationFlags only CREATE_SUSPENDED counts; *threadId is a serial number from 1, not a Linux thread id.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
DWORD ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

// Only events and threads can be waited on (other handles: WAIT_FAILED, ERROR_INVALID_HANDLE), so WAIT_ABANDONED never
// comes back. A handle may appear twice in the array, which Windows refuses.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds);

void Sleep(DWORD milliseconds);  // Sleep(0) does not yield; INFINITE sleeps 49.7 days, not forever
DWORD GetTickCount();  // the monotonic clock, which stops while the machine is suspended; wraps after 49.7 days
struct LARGE_INTEGER {
    LONGLONG QuadPart;
};
// The monotonic clock of GetTickCount, in nanoseconds (the frequency is 1,000,000,000).
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;
// The real-time clock, UTC, in 100 ns units since 1601-01-01.
void GetSystemTimePreciseAsFileTime(LPFILETIME time);

// ---------------------------------------------------------------- files and serial devices
// Serial ports only: other handles fail with ERROR_INVALID_HANDLE. A failing CreateFileA also sets GetLastErrorText.

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

struct OVERLAPPED {
    ULONG_PTR Internal;      // status of the operation (ERROR_IO_PENDING while pending)
    ULONG_PTR InternalHigh;  // bytes transferred
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
using LPDCB = DCB*;
static_assert(sizeof(DCB) == 28, "DCB must keep the Win32 layout");

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;

struct COMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
};
using LPCOMSTAT = COMSTAT*;

// What GetCommProperties tells of a port. Ours fills wPacketLength,
// wPacketVersion, dwServiceMask and dwProvSubType (PST_RS232 for a tty,
// PST_TCPIP_TELNET for a port server across the network); the rest is 0.
struct COMMPROP {
    WORD wPacketLength;
    WORD wPacketVersion;
    DWORD dwServiceMask;
    DWORD dwReserved1;
    DWORD dwMaxTxQueue;
    DWORD dwMaxRxQueue;
    DWORD dwMaxBaud;
    DWORD dwProvSubType;
    DWORD dwProvCapabilities;
    DWORD dwSettableParams;
    DWORD dwSettableBaud;
    WORD wSettableData;
    WORD wSettableStopParity;
    DWORD dwCurrentTxQueue;
    DWORD dwCurrentRxQueue;
    DWORD dwProvSpec1;
    DWORD dwProvSpec2;
    std::uint16_t wcProvChar[1];
};
using LPCOMMPROP = COMMPROP*;
constexpr DWORD SP_SERIALCOMM = 0x00000001;
constexpr DWORD PST_RS232 = 0x00000001;
constexpr DWORD PST_TCPIP_TELNET = 0x00000102;

constexpr DWORD MAXDWORD = 0xFFFFFFFF;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;

constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;

constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;

constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

// \\.\COMn is $ZANDREL_COMn, else /dev/ttyS<n-1>; \\.\ + an absolute path is that path; others: ERROR_FILE_NOT_FOUND.
// Exclusive (busy: ERROR_ACCESS_DENIED); OPEN_EXISTING (ERROR_INVALID_PARAMETER), overlapped (ERROR_NOT_SUPPORTED).
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
// ReadFile, WriteFile and WaitCommEvent need an OVERLAPPED. After a hang-up, pending ones end (a read with its bytes,
// else ERROR_OPERATION_ABORTED); queued input and events can still be taken, then ERROR_DEVICE_NOT_CONNECTED.
// Running out of COMMTIMEOUTS time succeeds with a short count, 0 included.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
// Out of COMMTIMEOUTS time it succeeds short and the rest is never sent; EIO from the tty is a hang-up.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
// wait=TRUE waits on the device, not on hEvent: pass the handle the operation was started on.
BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred, BOOL wait);
BOOL CancelIo(HANDLE file);

// Only inQueue counts: the input queue (64 KiB at open) grows to it, never shrinks. outQueue is ignored.
BOOL SetupComm(HANDLE comm, DWORD inQueue, DWORD outQueue);
// The line as found at open (with XON/XOFF 0x11/0x13, limits 2048/512, DTR on); after a SetCommState, its DCB whole.
BOOL GetCommState(HANDLE comm, LPDCB dcb);
BOOL GetCommProperties(HANDLE comm, LPCOMMPROP properties);
// All or nothing: a rate (held within 3 %) or frame the driver refuses or does not hold leaves the line as it was and
// fails (ERROR_INVALID_PARAMETER, a "cannot take" text); so does RTS/CTS on a driver that ignores CRTSCTS (ch341, cdc_acm).
// Of the rest only these apply: fOutxCtsFlow or RTS_CONTROL_HANDSHAKE (CRTSCTS); fOutX (XonChar/XoffChar taken out of
// received data, output held between them; not IXON); fInX (XOFF by tcflow when the queue's free room falls to
// XoffLim, XON when it holds XonLim); fOutxDsrFlow (output held while DSR is off, read at each write offered and at
// ClearCommError); DTR on unless DTR_CONTROL_DISABLE, RTS on unless RTS_CONTROL_DISABLE; EvtChar. A pty has no modem
// lines: CTS and DSR count as on.
BOOL SetCommState(HANDLE comm, LPDCB dcb);
// The mask is EV_RXCHAR after the open (Windows: 0). EV_CTS, EV_DSR, EV_RLSD and EV_RING never happen; EV_TXEMPTY
// comes when the tty has taken the last queued byte, not when it has left the line.
BOOL GetCommMask(HANDLE comm, LPDWORD mask);
BOOL SetCommMask(HANDLE comm, DWORD mask);
BOOL GetCommTimeouts(HANDLE comm, LPCOMMTIMEOUTS timeouts);  // all zero after the open
BOOL SetCommTimeouts(HANDLE comm, LPCOMMTIMEOUTS timeouts);
// One pending per handle: a second, or one while the mask is 0, fails with ERROR_INVALID_PARAMETER.
BOOL WaitCommEvent(HANDLE comm, LPDWORD eventMask, LPOVERLAPPED overlapped);
// COMSTAT: fXoffHold while the far end's XOFF holds output, fXoffSent while our XOFF stands, fCtsHold and fDsrHold while
// that handshake is on and the line, read now, is off; fRlsdHold, fEof and fTxim are always 0. cbInQue leaves out what
// the tty still holds, cbOutQue counts what pending writes have not handed to it and what the tty and its driver hold
// but have not sent (a pty tells none of that). CE_RXOVER means the kernel's buffer overflowed (a full queue pauses
// reading).
BOOL ClearCommError(HANDLE comm, LPDWORD errors, LPCOMSTAT status);
// Not in Windows: how many received bytes the line has dropped since the open, as its driver counts them (the UART's
// overruns, each at least one byte, and the kernel buffer's). FALSE with ERROR_NOT_SUPPORTED where the driver keeps no
// counts; a pty drops nothing, it holds its writer back.
BOOL GetCommLostCount(HANDLE comm, PULONGLONG lost);
// Not in Windows: arrival times. While keep is TRUE the port notes when each piece of received data left the kernel's
// queue (its first byte; bytes queued before count as arriving now), and lowers the latency of a line that batches
// what it receives (an FTDI chip's timer to 1 ms; put back when keep is FALSE or at the close).
BOOL SetCommArrivalTimes(HANDLE comm, BOOL keep);
// Not in Windows: the driver's running counts of received characters with a framing or a parity error (TIOCGICOUNT),
// for telling how many there were between two reads. FALSE with ERROR_NOT_SUPPORTED where the driver keeps none (a pty,
// a network port).
BOOL GetCommErrorCounts(HANDLE comm, PULONGLONG framing, PULONGLONG parity);
struct COMMARRIVAL {
    DWORD dwOffset;    // where the piece starts in the buffer read
    LONGLONG llTime;   // when it was read from the line, in QueryPerformanceCounter's units
};
// Not in Windows: reads what has arrived without waiting, as ReadFile with non-blocking time-outs does, and the pieces
// it took: the first starts at offset 0 (or the rest of a piece an earlier read took in part); a read takes at most
// maxArrivals pieces. Fails with ERROR_INVALID_FUNCTION unless SetCommArrivalTimes is on, ERROR_BUSY while a ReadFile
// is pending, and ERROR_DEVICE_NOT_CONNECTED as ReadFile does after a hang-up.
BOOL ReadCommArrivals(HANDLE comm, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, COMMARRIVAL* arrivals,
                      DWORD maxArrivals, LPDWORD arrivalCount);
// PURGE_TXABORT or PURGE_TXCLEAR also cancel a FlushFileBuffers.
BOOL PurgeComm(HANDLE comm, DWORD flags);
// On a port it does not wait (Windows waits until the line has sent what it holds): the port's close lets the line
// send it before the settings are put back, bounded by the time that takes at the line's rate, on the close's own
// thread. Where the driver does not wait for its chip's buffer (ch341, pl2303, cdc_acm), the time what was written
// may still take there is waited too.
BOOL FlushFileBuffers(HANDLE file);

// The device a DOS device name ("COM3", or a device path typed as a port)
// stands for, as a NUL-terminated path: "/dev/ttyUSB0" where Windows gives
// "\Device\Serial2". Returns the characters stored, NUL included (Windows
// ends the list with a second NUL; there is only ever one target here), or 0
// with ERROR_FILE_NOT_FOUND or ERROR_INSUFFICIENT_BUFFER; a null name or
// buffer fails with ERROR_INVALID_PARAMETER (Windows lists every device for a
// null name).
DWORD QueryDosDeviceA(LPCSTR deviceName, LPSTR targetPath, DWORD max);
// Not in Windows: where a port name leads, for telling a user: "COM3 ->
// /dev/ttyUSB0 through ZANDREL_COM3", "COM1 -> /dev/ttyS0", "/dev/ttyACM0",
// control characters written as escapes ("\x1B"). Returns and fails as
// QueryDosDeviceA does.
DWORD DescribeCommDeviceA(LPCSTR deviceName, LPSTR description, DWORD max);
// Not in Windows: which physical device a port name (as QueryDosDeviceA takes it) leads to now, read without
// opening it, so that a job can tell its adapter plugged back from another device that took the name. key compares
// equal for the same device only: a USB one by vendor, product, interface and serial number, wherever it is plugged
// ("usb 0403:6001 if00 serial=A50285BI"), any other by its device number ("char 4:65"); every pseudo-terminal is
// the same ("pty"), as a pty's number goes to whichever one is made next. text names it for a user: "FTDI FT232R
// USB UART A50285BI", "ttyS1 (device 4:65)", "a pseudo-terminal", its control characters written as escapes
// ("\x1B") and cut to at most 200 bytes; key is whole, however long. Both NUL-terminated. *keySize and *textSize give
// the buffers' sizes and receive the sizes the two need, NUL included, as the call succeeds or fails with
// ERROR_INSUFFICIENT_BUFFER (then nothing is written, and a call with that much room reads the whole identity; a
// null buffer with size 0 asks only the sizes). A network port is its server's address ("rfc2217://bench:2217");
// once its connection has ended it is away (ERROR_DEVICE_NOT_CONNECTED) until a try in the background reaches the
// server again, and the next open takes that try's line. Fails with the open's codes and words (ERROR_FILE_NOT_FOUND
// where nothing is), or ERROR_INVALID_PARAMETER for a null name or size, or a null buffer with room.
BOOL GetCommDeviceIdentityA(LPCSTR deviceName, LPSTR key, LPDWORD keySize, LPSTR text, LPDWORD textSize);
// Not in Windows: the environment variable that chooses the device a COMn name (as QueryDosDeviceA takes it) opens,
// "ZANDREL_COM3", NUL-terminated, and whether it is set (else the name opens /dev/ttyS<n-1>). Fails with
// ERROR_FILE_NOT_FOUND for a name no variable chooses (a device path, or not a port name), ERROR_INSUFFICIENT_BUFFER,
// or ERROR_INVALID_PARAMETER for a null pointer.
BOOL GetCommDeviceVariableA(LPCSTR deviceName, LPSTR variable, DWORD size, LPBOOL isSet);
// Not in Windows: which pseudo-terminal a port name (as QueryDosDeviceA takes it) leads to now, for a pty has no
// identity of its own (its number goes to whichever one is made next). One reached through a symbolic link (socat's
// link=) is told apart by the link, made anew with each pty: instance names it, NUL-terminated. For a pty named by its
// own node instance is empty: nothing tells it from the next one given that number. Fails with ERROR_NOT_SUPPORTED
// for a device that is not a pty, ERROR_FILE_NOT_FOUND where nothing is, ERROR_INSUFFICIENT_BUFFER, or
// ERROR_INVALID_PARAMETER for a null pointer.
BOOL GetCommPtyInstanceA(LPCSTR deviceName, LPSTR instance, DWORD size);
// Not in Windows, where a port is never a terminal someone types on: the device node a port name leads to now
// ("/dev/pts/4"), NUL-terminated, and the process whose session has it as its controlling terminal (the session's
// leader), 0 when none. Fails as GetCommDeviceIdentityA does.
BOOL GetCommTerminalSessionA(LPCSTR deviceName, LPSTR node, DWORD nodeSize, LPDWORD processId);

// Not in Windows (where the Setup API lists the ports): a serial device this machine has, for a user to pick.
constexpr DWORD COMM_DEVICE_TEXT_SIZE = 256;
struct COMMDEVICEINFOA {
    // What to open as a port text: the stable /dev/serial/by-id/ name where there is one that fits and is shown as it
    // is (no control characters), else the node.
    CHAR szPath[COMM_DEVICE_TEXT_SIZE];
    CHAR szNode[COMM_DEVICE_TEXT_SIZE];         // "/dev/ttyUSB0"
    // "FTDI FT232R USB UART A50285BI", "16550A UART"; may be empty. Control characters are written as escapes ("\x1B"),
    // and a device's own strings are cut to 200 bytes ("...").
    CHAR szDescription[COMM_DEVICE_TEXT_SIZE];
};
// Not in Windows: the serial devices this machine has now, read without opening any: USB ones (ttyACM, ttyUSB)
// first, then the ttyS ports that have a UART behind them (the kernel makes ttyS0..3 whether or not one is there),
// each only when its node is in /dev. Fills up to max entries (devices may be null when max is 0) and returns how
// many there are: more than max, call again with more room. Never fails; 0 when there are none.
DWORD EnumCommDevicesA(COMMDEVICEINFOA* devices, DWORD max);

// ---------------------------------------------------------------- windows and messages

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ICONERASEBKGND = 0x0027;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_REGISTERED_FIRST = 0xC000;  // RegisterWindowMessageA hands out 0xC000..0xFFFF
constexpr UINT WM_REGISTERED_LAST = 0xFFFF;

constexpr UINT BN_CLICKED = 0;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_RESETCONTENT = 0x014B;  // empties the list and the edit field
constexpr UINT CBN_SELCHANGE = 1;   // the user picked a list entry
constexpr UINT CBN_EDITCHANGE = 5;  // the user changed the text of the edit field
constexpr UINT CBN_DROPDOWN = 7;    // the list is about to open

constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

constexpr UINT SC_SIZE = 0xF000;
constexpr UINT SC_MOVE = 0xF010;
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_MAXIMIZE = 0xF030;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_KEYMENU = 0xF100;
constexpr UINT SC_RESTORE = 0xF120;

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;

constexpr UINT MB_OK = 0x0000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;

struct POINT {
    LONG x;
    LONG y;
};

// Device arrival notices. Windows sends WM_DEVICECHANGE with a DEV_BROADCAST_HDR
// in lParam; here it is posted, with lParam 0, whenever a device node appears
// (or its permissions change, as they do right after it appears).
constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
constexpr DWORD DBT_DEVTYP_PORT = 3;
constexpr DWORD DEVICE_NOTIFY_WINDOW_HANDLE = 0;
struct DEV_BROADCAST_HDR {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
};
using HDEVNOTIFY = void*;
// Only DBT_DEVTYP_PORT filters (serial ports) and window recipients are taken;
// anything else fails with ERROR_INVALID_PARAMETER.
HDEVNOTIFY RegisterDeviceNotificationA(HANDLE recipient, LPVOID filter, DWORD flags);
// Stops the notices before it returns. A handle that is not a live registration fails with ERROR_INVALID_HANDLE.
BOOL UnregisterDeviceNotification(HDEVNOTIFY handle);

// The id is a hash of the name, the same in every process unless two names collide: then registration order decides.
UINT RegisterWindowMessageA(LPCSTR name);
// From any thread. A null window (a thread message) or a destroyed one fails with ERROR_INVALID_WINDOW_HANDLE.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// User-interface thread only: calls the window procedure directly. A dead window gives 0 and sets no error.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsWindow(HWND window);
int GetSystemMetrics(int index);  // only SM_CXICON and SM_CYICON (32); any other index gives 0
// Only on a CPaintDC of a live window; otherwise, or with no icon, FALSE without a last error.
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
// The arguments joined by spaces; only empty ones and ones with a space are quoted, and nothing is escaped.
LPSTR GetCommandLineA();

// The common Save dialog.
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;

struct OPENFILENAME {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCSTR lpTemplateName;
};
using LPOPENFILENAME = OPENFILENAME*;
// The size the program stores in lStructSize: the record of the original 32-bit platform
// without the extension fields that later versions added.
constexpr DWORD OPENFILENAME_SIZE_VERSION_400 = 76;

// Flags (so there is no overwrite prompt), the initial lpstrFile text and lpstrFileTitle are ignored. FALSE, setting
// no error, on cancel, in a console run, or when the path does not fit nMaxFile.
BOOL GetSaveFileNameA(LPOPENFILENAME record);

#ifndef MAX_PATH
#define MAX_PATH 260
#endif
