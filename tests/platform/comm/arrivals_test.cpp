// Arrival times: the marks kept beside the input queue, and a read that
// returns them, on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "comm_fixture.h"
#include "platform/comm/arrival_marks.h"

namespace commtest {
namespace {

using comm::ArrivalMarks;
using comm::Clock;

Clock::time_point At(int ms) { return Clock::time_point(std::chrono::milliseconds(ms)); }

struct Taken {
    size_t bytes;
    size_t maxPieces;
    std::vector<std::pair<size_t, int>> pieces;  // offset, ms
};

TEST(ArrivalMarks, EachReadGetsThePiecesItTakesAndAPieceTakenInPartKeepsItsTime) {
    const struct {
        const char* name;
        std::vector<std::pair<size_t, int>> noted;  // bytes, ms
        std::vector<Taken> reads;
    } cases[] = {
        {"whole pieces", {{3, 10}, {2, 20}}, {{5, 8, {{0, 10}, {3, 20}}}}},
        {"a piece cut by the read's length", {{3, 10}, {2, 20}}, {{2, 8, {{0, 10}}}, {3, 8, {{0, 10}, {1, 20}}}}},
        {"at most maxPieces", {{1, 1}, {1, 2}, {1, 3}}, {{3, 2, {{0, 1}, {1, 2}}}, {3, 2, {{0, 3}}}}},
        {"none asked", {{4, 1}}, {{4, 0, {}}, {4, 1, {{0, 1}}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ArrivalMarks marks;
        marks.Start(0, At(0));
        size_t queued = 0;
        for (auto [bytes, ms] : c.noted) {
            marks.Note(bytes, At(ms));
            queued += bytes;
        }
        for (const Taken& read : c.reads) {
            const size_t bytes = marks.Within(std::min(read.bytes, queued), read.maxPieces);
            std::vector<std::pair<size_t, int>> pieces;
            marks.Take(bytes, [&](size_t offset, Clock::time_point time) {
                pieces.emplace_back(offset, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                 time.time_since_epoch())
                                                                 .count()));
            });
            queued -= bytes;
            EXPECT_EQ(pieces, read.pieces);
        }
    }
}

TEST(ArrivalMarks, AFullRingJoinsNewBytesToTheLastPieceAndLosesNone) {
    ArrivalMarks marks;
    marks.Start(0, At(0));
    for (size_t i = 0; i < ArrivalMarks::kCapacity + 10; ++i) marks.Note(1, At(static_cast<int>(i) + 1));
    size_t pieces = 0;
    size_t lastOffset = 0;
    const size_t total = ArrivalMarks::kCapacity + 10;
    EXPECT_EQ(marks.Within(total, total), total);
    marks.Take(total, [&](size_t offset, Clock::time_point) {
        ++pieces;
        lastOffset = offset;
    });
    EXPECT_EQ(pieces, ArrivalMarks::kCapacity);
    EXPECT_EQ(lastOffset, ArrivalMarks::kCapacity - 1);
}

using Arrivals = PortTest;

TEST_F(Arrivals, AReadReturnsWhenEachPieceLeftTheKernelAndOnlyWhileAsked) {
    char buffer[64];
    DWORD count = 0, pieces = 0;
    COMMARRIVAL arrivals[8];
    EXPECT_FALSE(ReadCommArrivals(m_port, buffer, sizeof buffer, &count, arrivals, 8, &pieces));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    ASSERT_TRUE(SetCommArrivalTimes(m_port, TRUE));

    // Far enough apart for the driver to have taken each piece before the next is sent.
    LARGE_INTEGER before, between, after;
    QueryPerformanceCounter(&before);
    m_pty.Send("first");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QueryPerformanceCounter(&between);
    m_pty.Send("second");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QueryPerformanceCounter(&after);

    ASSERT_TRUE(ReadCommArrivals(m_port, buffer, sizeof buffer, &count, arrivals, 8, &pieces));
    EXPECT_EQ(std::string(buffer, count), "firstsecond");
    ASSERT_EQ(pieces, 2u);
    EXPECT_EQ(arrivals[0].dwOffset, 0u);
    EXPECT_EQ(arrivals[1].dwOffset, 5u);
    // Stamped as each came, not when the read took them.
    EXPECT_GE(arrivals[0].llTime, before.QuadPart);
    EXPECT_LT(arrivals[0].llTime, between.QuadPart);
    EXPECT_GE(arrivals[1].llTime, between.QuadPart);
    EXPECT_LT(arrivals[1].llTime, after.QuadPart);

    ASSERT_TRUE(SetCommArrivalTimes(m_port, FALSE));
    EXPECT_FALSE(ReadCommArrivals(m_port, buffer, sizeof buffer, &count, arrivals, 8, &pieces));
}

}  // namespace
}  // namespace commtest
