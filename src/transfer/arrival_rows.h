// The _time companion of a capture: its CSV rows (time,offset,bytes,event,
// RFC 4180, LF line ends) and the records a pass's pieces make.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32.h"

// A record: a run of bytes with no pause of more than 1 ms between the
// pieces read from the line, at most 100 ms from its first byte to the
// start of its last piece.
struct ArrivalRecord {
    DWORD dwStart;    // in the pass's chunk
    DWORD dwBytes;
    LONGLONG llTime;  // its first byte's, in QueryPerformanceCounter units
};

constexpr LONGLONG RECORD_PAUSE_NS = 1'000'000;
constexpr LONGLONG RECORD_SPAN_NS = 100'000'000;

// Cuts a chunk of nBytes read as nPieces pieces (nPieces >= 1 when nBytes > 0)
// into records; out has room for nPieces. Returns how many.
size_t CutRecords(const COMMARRIVAL* pPieces, size_t nPieces, DWORD nBytes, ArrivalRecord* pOut);

constexpr char TIME_HEADER[] = "time,offset,bytes,event\n";

// The wall clock of a job's rows: the real-time clock read once at the job's
// start, carried on by the monotonic clock, so that a clock step during the
// job never reorders its rows.
class CArrivalClock {
public:
    CArrivalClock(long long nStartMicros, LONGLONG llStart) : m_nStartMicros(nStartMicros), m_llStart(llStart) {}
    static CArrivalClock Start();
    long long StartMicros() const { return m_nStartMicros; }
    LONGLONG StartTime() const { return m_llStart; }
    // The monotonic time now, in QueryPerformanceCounter units.
    static LONGLONG Now();
    // Microseconds since 1970-01-01 UTC of a monotonic time.
    long long UtcMicros(LONGLONG llTime) const;

private:
    long long m_nStartMicros;
    LONGLONG m_llStart;
};

// "2026-12-09T22:30:00.123456Z".
std::string UtcText(long long nMicros);
// One row, LF-terminated; the event quoted only when it holds a comma, a quote, CR or LF.
std::string TimeRow(long long nMicros, ULONGLONG nOffset, ULONGLONG nBytes, const std::string& strEvent);
