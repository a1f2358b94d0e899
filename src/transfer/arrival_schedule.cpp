#include "transfer/arrival_schedule.h"

#include <chrono>
#include <cstring>

#include "transfer/arrival_rows.h"

namespace {

bool ParseDecimal(const std::string& strText, ULONGLONG& nValue) {
    if (strText.empty() || strText.size() > 19) return false;
    nValue = 0;
    for (char ch : strText) {
        if (ch < '0' || ch > '9') return false;
        nValue = nValue * 10 + static_cast<ULONGLONG>(ch - '0');
    }
    return true;
}

bool ParseDigits(const char*& p, int nCount, int& nValue) {
    nValue = 0;
    for (int i = 0; i < nCount; ++i, ++p) {
        if (*p < '0' || *p > '9') return false;
        nValue = nValue * 10 + (*p - '0');
    }
    return true;
}

bool Expect(const char*& p, char ch) { return *p++ == ch; }

// One CSV record from strText at nPos (RFC 4180: a quoted field may hold
// commas, doubled quotes and line ends); moves nPos past its LF. False for
// a quote that never closes or stray text after a closing quote.
bool NextRecord(const std::string& strText, size_t& nPos, std::vector<std::string>& fields, int& nLines) {
    fields.assign(1, std::string());
    nLines = 1;
    bool bQuoted = false;
    while (nPos < strText.size()) {
        const char ch = strText[nPos++];
        if (bQuoted) {
            if (ch == '"' && nPos < strText.size() && strText[nPos] == '"') {
                fields.back() += '"';
                ++nPos;
            } else if (ch == '"') {
                bQuoted = false;
                if (nPos < strText.size() && std::strchr(",\r\n", strText[nPos]) == nullptr) return false;
            } else {
                if (ch == '\n') ++nLines;
                fields.back() += ch;
            }
        } else if (ch == '"' && fields.back().empty()) {
            bQuoted = true;
        } else if (ch == ',') {
            fields.emplace_back();
        } else if (ch == '\n') {
            return true;
        } else if (ch != '\r' || (nPos < strText.size() && strText[nPos] != '\n')) {
            fields.back() += ch;
        }
    }
    return !bQuoted;
}

}  // namespace

bool ParseUtcText(const std::string& strText, long long& nMicros) {
    using namespace std::chrono;
    const char* p = strText.c_str();
    int nYear, nMonth, nDay, nHour, nMinute, nSecond;
    if (!ParseDigits(p, 4, nYear) || !Expect(p, '-') || !ParseDigits(p, 2, nMonth) || !Expect(p, '-') ||
        !ParseDigits(p, 2, nDay) || !Expect(p, 'T') || !ParseDigits(p, 2, nHour) || !Expect(p, ':') ||
        !ParseDigits(p, 2, nMinute) || !Expect(p, ':') || !ParseDigits(p, 2, nSecond))
        return false;
    long long nFraction = 0;
    if (*p == '.') {
        ++p;
        int nDigits = 0;
        for (; *p >= '0' && *p <= '9'; ++p, ++nDigits)
            if (nDigits < 6) nFraction = nFraction * 10 + (*p - '0');
        if (nDigits == 0 || nDigits > 9) return false;
        for (; nDigits < 6; ++nDigits) nFraction *= 10;
    }
    if (!Expect(p, 'Z') || *p != '\0') return false;
    const year_month_day date{year(nYear), month(static_cast<unsigned>(nMonth)), day(static_cast<unsigned>(nDay))};
    if (!date.ok() || nHour > 23 || nMinute > 59 || nSecond > 60) return false;
    const auto since = sys_days(date).time_since_epoch() + hours(nHour) + minutes(nMinute) + seconds(nSecond);
    nMicros = duration_cast<microseconds>(since).count() + nFraction;
    return true;
}

bool ParseReplaySchedule(const std::string& strText, const std::string& strName, ULONGLONG nFileSize,
                         std::vector<ReplayRecord>& records, std::string& strWhy) {
    records.clear();
    const size_t nHeader = sizeof TIME_HEADER - 1;
    if (strText.compare(0, nHeader, TIME_HEADER) != 0) {
        strWhy = strName + " does not begin with the line time,offset,bytes,event";
        return false;
    }
    size_t nPos = nHeader;
    int nLine = 2;
    ULONGLONG nCovered = 0;
    bool bAnyData = false;
    long long nFirst = 0, nLast = 0;
    std::vector<std::string> fields;
    auto fail = [&](const std::string& strWhat) {
        strWhy = strName + " line " + std::to_string(nLine) + ": " + strWhat;
        records.clear();
        return false;
    };
    while (nPos < strText.size()) {
        int nLines = 1;
        const bool bWhole = NextRecord(strText, nPos, fields, nLines);
        long long nMicros = 0;
        ULONGLONG nOffset = 0, nBytes = 0;
        if (!bWhole || fields.size() != 4 || !ParseUtcText(fields[0], nMicros) || !ParseDecimal(fields[1], nOffset) ||
            !ParseDecimal(fields[2], nBytes))
            return fail("not a row of arrival times");
        if (fields[3].empty()) {
            if (nOffset != 0 && !bAnyData)
                return fail("its data starts at " + std::to_string(nOffset) + ", not at 0");
            if (nOffset > nCovered)
                return fail("a gap: its data starts at " + std::to_string(nOffset) + ", the row before's ends at " +
                            std::to_string(nCovered));
            if (nOffset < nCovered)
                return fail("its data at " + std::to_string(nOffset) + " overlaps the row before's, which ends at " +
                            std::to_string(nCovered));
            if (nBytes > nFileSize - nOffset)
                return fail("its data ends at " + std::to_string(nOffset + nBytes) + ", past the file's end at " +
                            std::to_string(nFileSize));
            if (!bAnyData) nFirst = nLast = nMicros;
            bAnyData = true;
            if (nMicros < nLast) return fail("its time " + fields[0] + " is before the row before's");
            nLast = nMicros;
            nCovered += nBytes;
            if (nBytes > 0) records.push_back({nOffset, nBytes, nMicros - nFirst});
        }
        nLine += nLines;
    }
    if (nCovered != nFileSize) {
        records.clear();
        strWhy = strName + " covers " + std::to_string(nCovered) + " of the file's " + std::to_string(nFileSize) +
                 " bytes";
        return false;
    }
    return true;
}
