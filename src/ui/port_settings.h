// Turning the dialog's setting texts into what the port and the jobs take.
// The combo boxes are editable, so any text can arrive here; nothing is
// validated (the port stores what it is given).
#pragma once

#include "platform/framework/afxwin.h"

struct LineSettings {
    DWORD dwBaudRate;
    int nDataBits;
    int nParity;    // DCB parity code, 0..4
    int nStopBits;  // DCB stop-bit code
};

// atoi as the original run-time library has it: a number out of range gives
// INT_MAX or INT_MIN, where narrowing a long would let 4294967297 pass as 1.
int TextToInt(const char* pszText);

// "NOPARITY" 0, "ODDPARITY" 1, "EVENPARITY" 2, "MARKPARITY" 3; any other text
// (SPACEPARITY, but also lower case or empty) 4.
int ParityCode(const char* pszParity);

// "1" 0, "1.5" 1; any other text its atoi value ("2" 2, "1.0" 1, "" 0).
int StopBitsCode(const char* pszStopBits);

// Baud rate and data bits through atoi, parity and stop bits as above.
LineSettings ConvertLineSettings(const char* pszBaud, const char* pszDataBits, const char* pszParity,
                                 const char* pszStopBits);

// The send timer's period: atoi of the text, but below 1 ms the timer's
// minimum of 10 ms, so a zero or negative text cannot become a busy timer or
// a period of several weeks.
UINT SendTimerPeriod(const char* pszTimeDelay);

// A capture companion's name: its tag ("_asci", "_time") inserted before the last four
// characters (in front when the name is shorter). Only the length counts.
CString CompanionFileName(const CString& strFileName, const char* pszTag = "_asci");

// The device name "\\.\" + port text, in the fixed buffer the port is opened
// with: room for a port text of 255 characters, enough for the stable names
// under /dev/serial/by-id. A longer text is refused (false), never cut.
constexpr int DEVICE_PREFIX_LENGTH = 4;  // "\\.\"
constexpr int MAX_PORT_TEXT_LENGTH = 255;
constexpr int DEVICE_NAME_SIZE = DEVICE_PREFIX_LENGTH + MAX_PORT_TEXT_LENGTH + 1;
bool FormatDeviceName(const char* pszPort, char (&szDevice)[DEVICE_NAME_SIZE]);

// The port box's own entries, COM1 to COM25, ahead of the devices present.
constexpr int LISTED_COM_PORTS = 25;
CString ListedComPort(int nNumber);
