// The _time companion's lowest layer: records cut from a pass's pieces, the
// rows' CSV text, and the schedule a replay reads back from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transfer/arrival_rows.h"
#include "transfer/arrival_schedule.h"

namespace {

constexpr LONGLONG MS = 1'000'000;

// A piece of one byte each millisecond.
std::vector<COMMARRIVAL> Stream(DWORD count) {
    std::vector<COMMARRIVAL> pieces;
    for (DWORD i = 0; i < count; ++i) pieces.push_back({i, i * MS});
    return pieces;
}

struct CutCase {
    const char* name;
    std::vector<COMMARRIVAL> pieces;
    DWORD bytes;
    std::vector<std::pair<DWORD, DWORD>> records;  // start, length
};

TEST(ArrivalRecords, APauseOverOneMillisecondOrAHundredMillisecondsFromTheFirstByteCutsARecord) {
    const CutCase cases[] = {
        {"nothing read", {}, 0, {}},
        {"one piece", {{0, 5 * MS}}, 10, {{0, 10}}},
        {"pieces 1 ms apart join", {{0, 0}, {4, 1 * MS}, {8, 2 * MS}}, 12, {{0, 12}}},
        {"a pause just over 1 ms cuts", {{0, 0}, {4, MS + 1}}, 6, {{0, 4}, {4, 2}}},
        {"packets 5 ms apart", {{0, 0}, {62, 5 * MS}, {124, 10 * MS}}, 186, {{0, 62}, {62, 62}, {124, 62}}},
        {"a stream of a piece each millisecond is cut 100 ms after its first byte", Stream(102), 102,
         {{0, 100}, {100, 2}}},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ArrivalRecord> out(c.pieces.size() + 1);
        const size_t n = CutRecords(c.pieces.data(), c.pieces.size(), c.bytes, out.data());
        std::vector<std::pair<DWORD, DWORD>> records;
        for (size_t i = 0; i < n; ++i) records.emplace_back(out[i].dwStart, out[i].dwBytes);
        EXPECT_EQ(records, c.records);
        if (n > 0) {
            EXPECT_EQ(out[0].llTime, c.pieces[0].llTime);
        }
    }
}

TEST(ArrivalRows, AreCsvWithUtcMicrosecondsAndTheEventQuotedOnlyWhenItMustBe) {
    constexpr long long AT = 1'796'855'400'123'456;  // 2026-12-09T22:30:00.123456Z
    const struct {
        long long micros;
        ULONGLONG offset, bytes;
        std::string event, row;
    } cases[] = {
        {AT, 0, 62, "", "2026-12-09T22:30:00.123456Z,0,62,\n"},
        {AT, 12345, 0, "start /dev/ttyUSB0 9600 8N1", "2026-12-09T22:30:00.123456Z,12345,0,start /dev/ttyUSB0 9600 8N1\n"},
        {0, 7, 0, "start /tmp/a,b 300 7E1.5", "1970-01-01T00:00:00.000000Z,7,0,\"start /tmp/a,b 300 7E1.5\"\n"},
        {AT, 0, 0, "start /tmp/\"q\" 9600 8N1", "2026-12-09T22:30:00.123456Z,0,0,\"start /tmp/\"\"q\"\" 9600 8N1\"\n"},
        {AT, 0, 0, "start /tmp/a\nb 9600 8N1", "2026-12-09T22:30:00.123456Z,0,0,\"start /tmp/a\nb 9600 8N1\"\n"},
        {951'782'400'000'001, 1, 1, "", "2000-02-29T00:00:00.000001Z,1,1,\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        EXPECT_EQ(TimeRow(c.micros, c.offset, c.bytes, c.event), c.row);
        long long parsed = 0;
        ASSERT_TRUE(ParseUtcText(c.row.substr(0, 27), parsed));
        EXPECT_EQ(parsed, c.micros);
    }
    EXPECT_STREQ(TIME_HEADER, "time,offset,bytes,event\n");
}

TEST(ArrivalClock, CarriesTheStartingWallClockOnTheMonotonicOne) {
    const CArrivalClock clock(1'000'000'000, 5'000'000'000);
    EXPECT_EQ(clock.UtcMicros(5'000'000'000), 1'000'000'000);
    EXPECT_EQ(clock.UtcMicros(5'000'001'999), 1'000'000'001);  // truncated
    EXPECT_EQ(clock.UtcMicros(4'999'999'999), 999'999'999);    // before the start, still in order
}

struct ScheduleCase {
    const char* name;
    std::string rows;  // after the header
    ULONGLONG fileSize;
    std::string why;   // empty: accepted
    std::vector<std::pair<ULONGLONG, long long>> records = {};  // bytes, micros
};

TEST(ReplaySchedule, TakesDataRowsThatCoverTheFileInOrderAndNamesWhatIsWrongOtherwise) {
    const std::string T0 = "2026-12-09T22:30:00.000000Z";
    const std::string T1 = "2026-12-09T22:30:00.005000Z";
    const std::string T2 = "2026-12-09T22:30:01.500001Z";
    const ScheduleCase cases[] = {
        {"data and events",
         T0 + ",0,0,start /dev/pts/3 9600 8N1\n" + T0 + ",0,62,\n" + T1 + ",62,0,break\n" + T1 + ",62,62,\n" +
             T2 + ",124,3,\n" + T2 + ",127,0,end\n",
         127, "", {{62, 0}, {62, 5000}, {3, 1'500'001}}},
        {"an event quoted across lines", T0 + ",0,0,\"start /tmp/a,\nb 9600 8N1\"\n" + T0 + ",0,1,\n", 1, "", {{1, 0}}},
        {"nothing recorded", T0 + ",0,0,start /dev/pts/3 9600 8N1\n", 0, "", {}},
        {"not starting at 0", T0 + ",5,62,\n", 67, "c_time.txt line 2: its data starts at 5, not at 0"},
        {"a gap", T0 + ",0,2,\n" + T1 + ",3,1,\n", 4,
         "c_time.txt line 3: a gap: its data starts at 3, the row before's ends at 2"},
        {"an overlap", T0 + ",0,2,\n" + T1 + ",1,1,\n", 3,
         "c_time.txt line 3: its data at 1 overlaps the row before's, which ends at 2"},
        {"past the end", T0 + ",0,2,\n" + T1 + ",2,9,\n", 5,
         "c_time.txt line 3: its data ends at 11, past the file's end at 5"},
        {"back in time", T1 + ",0,2,\n" + T0 + ",2,1,\n", 3,
         "c_time.txt line 3: its time " + T0 + " is before the row before's"},
        {"short of the end", T0 + ",0,2,\n", 3, "c_time.txt covers 2 of the file's 3 bytes"},
        {"not a row", T0 + ",0,x,\n", 0, "c_time.txt line 2: not a row of arrival times"},
        {"a bad time", "2026-13-09T22:30:00Z,0,1,\n", 1, "c_time.txt line 2: not a row of arrival times"},
        {"an open quote", T0 + ",0,0,\"start\n", 0, "c_time.txt line 2: not a row of arrival times"},
    };
    for (const ScheduleCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ReplayRecord> records;
        std::string why;
        const bool ok = ParseReplaySchedule(TIME_HEADER + c.rows, "c_time.txt", c.fileSize, records, why);
        EXPECT_EQ(ok, c.why.empty());
        EXPECT_EQ(why, c.why);
        std::vector<std::pair<ULONGLONG, long long>> got;
        for (const ReplayRecord& r : records) got.emplace_back(r.nBytes, r.nMicros);
        EXPECT_EQ(got, c.records);
    }
    std::vector<ReplayRecord> records;
    std::string why;
    EXPECT_FALSE(ParseReplaySchedule("time,offset\n", "c_time.txt", 0, records, why));
    EXPECT_EQ(why, "c_time.txt does not begin with the line time,offset,bytes,event");
}

}  // namespace
