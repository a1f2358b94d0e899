#include "transfer/arrival_rows.h"

#include <chrono>
#include <cstdio>

size_t CutRecords(const COMMARRIVAL* pPieces, size_t nPieces, DWORD nBytes, ArrivalRecord* pOut) {
    if (nBytes == 0 || nPieces == 0) return 0;
    size_t nRecords = 0;
    for (size_t i = 0; i < nPieces; ++i) {
        const COMMARRIVAL& piece = pPieces[i];
        const bool bJoins = nRecords > 0 && piece.llTime - pPieces[i - 1].llTime <= RECORD_PAUSE_NS &&
                            piece.llTime - pOut[nRecords - 1].llTime < RECORD_SPAN_NS;
        if (!bJoins) pOut[nRecords++] = {piece.dwOffset, 0, piece.llTime};
    }
    for (size_t r = 0; r < nRecords; ++r) {
        const DWORD dwEnd = r + 1 < nRecords ? pOut[r + 1].dwStart : nBytes;
        pOut[r].dwBytes = dwEnd - pOut[r].dwStart;
    }
    return nRecords;
}

CArrivalClock CArrivalClock::Start() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const LONGLONG llStart = Now();
    constexpr unsigned long long kUnixEpoch = 116'444'736'000'000'000ULL;  // 1601 to 1970 in 100 ns units
    const unsigned long long nUnits = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return CArrivalClock(static_cast<long long>((nUnits - kUnixEpoch) / 10), llStart);
}

LONGLONG CArrivalClock::Now() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

long long CArrivalClock::UtcMicros(LONGLONG llTime) const {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const long long nTicksPerMicro = frequency.QuadPart / 1'000'000;
    const LONGLONG llSince = llTime - m_llStart;
    // Floor, not truncation toward zero: a piece read just before the start stays before it.
    const long long nMicros = llSince >= 0 ? llSince / nTicksPerMicro : -((-llSince + nTicksPerMicro - 1) / nTicksPerMicro);
    return m_nStartMicros + nMicros;
}

std::string UtcText(long long nMicros) {
    using namespace std::chrono;
    const sys_time<microseconds> time{microseconds(nMicros)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<microseconds> clock{time - day};
    char szText[40];
    std::snprintf(szText, sizeof szText, "%04d-%02u-%02uT%02d:%02d:%02d.%06lldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<long long>(clock.subseconds().count()));
    return szText;
}

std::string TimeRow(long long nMicros, ULONGLONG nOffset, ULONGLONG nBytes, const std::string& strEvent) {
    std::string strRow = UtcText(nMicros);
    strRow += ',' + std::to_string(nOffset) + ',' + std::to_string(nBytes) + ',';
    if (strEvent.find_first_of(",\"\r\n") == std::string::npos) {
        strRow += strEvent;
    } else {
        strRow += '"';
        for (char ch : strEvent) {
            if (ch == '"') strRow += '"';
            strRow += ch;
        }
        strRow += '"';
    }
    return strRow + '\n';
}
