#include "ui/port_settings.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int DEFAULT_TIMER_PERIOD = 10;
constexpr int COMPANION_SUFFIX_LENGTH = 4;

}  // namespace

int TextToInt(const char* pszText) {
    const long nValue = std::strtol(pszText, nullptr, 10);
    return static_cast<int>(std::clamp<long>(nValue, INT_MIN, INT_MAX));
}

int ParityCode(const char* pszParity) {
    static const char* const parities[] = {"NOPARITY", "ODDPARITY", "EVENPARITY", "MARKPARITY"};
    for (int code = 0; code < 4; ++code)
        if (std::strcmp(pszParity, parities[code]) == 0) return code;
    return SPACEPARITY;
}

int StopBitsCode(const char* pszStopBits) {
    if (std::strcmp(pszStopBits, "1") == 0) return ONESTOPBIT;
    if (std::strcmp(pszStopBits, "1.5") == 0) return ONE5STOPBITS;
    return TextToInt(pszStopBits);
}

LineSettings ConvertLineSettings(const char* pszBaud, const char* pszDataBits, const char* pszParity,
                                 const char* pszStopBits) {
    return LineSettings{static_cast<DWORD>(TextToInt(pszBaud)), TextToInt(pszDataBits), ParityCode(pszParity),
                        StopBitsCode(pszStopBits)};
}

UINT SendTimerPeriod(const char* pszTimeDelay) {
    int nDelay = TextToInt(pszTimeDelay);
    return static_cast<UINT>(nDelay < 1 ? DEFAULT_TIMER_PERIOD : nDelay);
}

CString CompanionFileName(const CString& strFileName, const char* pszTag) {
    CString strCompanion = strFileName;
    int nPos = strFileName.GetLength() - COMPANION_SUFFIX_LENGTH;
    strCompanion.Insert(nPos < 0 ? 0 : nPos, pszTag);
    return strCompanion;
}

bool FormatDeviceName(const char* pszPort, char (&szDevice)[DEVICE_NAME_SIZE]) {
    int nLength = std::snprintf(szDevice, sizeof szDevice, "\\\\.\\%s", pszPort);
    if (nLength >= 0 && nLength < DEVICE_NAME_SIZE) return true;
    szDevice[0] = '\0';
    return false;
}

CString ListedComPort(int nNumber) {
    CString strPort;
    strPort.Format("COM%d", nNumber);
    return strPort;
}
