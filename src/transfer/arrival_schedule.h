// The schedule a replay sends a capture on: its _time companion's data rows,
// checked against the capture file.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"
#include "ui/replay_record.h"

// "2026-12-09T22:30:00.123456Z" (1 to 9 digits of fraction, or none), in
// microseconds since 1970 UTC; false for anything else.
bool ParseUtcText(const std::string& strText, long long& nMicros);

// The data rows of a companion's text (strName names it in strWhy), which
// must cover the file of nFileSize bytes from 0 in order, without gaps or
// overlaps, and never go back in time; event rows are skipped. False, with
// what is wrong in strWhy ("capture_time.txt line 4: ...").
bool ParseReplaySchedule(const std::string& strText, const std::string& strName, ULONGLONG nFileSize,
                         std::vector<ReplayRecord>& records, std::string& strWhy);
