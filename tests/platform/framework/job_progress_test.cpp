// The console's progress line: its arithmetic, its width, how often it is
// due, and the summary at the end of a job. Times are the back-end's
// milliseconds, given by hand.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/framework/headless/job_progress.h"

namespace {

using headless::JobProgress;

TEST(JobProgressLine, AWriteShowsSentOfTheSizeThePercentTheElapsedTimeAndTheTimeLeftAtThePaceAchieved) {
    JobProgress progress;
    progress.BeginWrite(1000, 100000, 25, false);
    progress.Add(12345);
    // 87,655 characters at the 24.9 ms each took so far are 36 min 27 s: a countdown shows 37 min.
    EXPECT_STREQ(progress.Line(1000 + 308000, 200), "sent 12,345 of 100,000 (12 %) in 5:08, 37 min left");
    progress.Add(87654);
    EXPECT_STREQ(progress.Line(1000 + 3908000, 200), "sent 99,999 of 100,000 (99 %) in 1:05:08, 1 s left");

    // Before the first character, at the delay.
    progress.BeginWrite(0, 400000, 25, false);
    EXPECT_STREQ(progress.Line(0, 200), "sent 0 of 400,000 (0 %) in 0:00, 2 h 47 min left");

    // Half of 1,600 characters at 25 ms in 1:25, the line having held it: as long again, not 20 s.
    progress.BeginWrite(0, 1600, 25, false);
    progress.Add(800);
    EXPECT_STREQ(progress.Line(85000, 200), "sent 800 of 1,600 (50 %) in 1:25, 2 min left");
    progress.Add(790);
    EXPECT_STREQ(progress.Line(169000, 200), "sent 1,590 of 1,600 (99 %) in 2:49, 2 s left");
}

TEST(JobProgressLine, WithLoopEachPassCountsAfreshAndNoTimeIsLeft) {
    JobProgress progress;
    progress.BeginWrite(0, 200, 5, true);
    EXPECT_STREQ(progress.Line(0, 200), "pass 1, sent 0 of 200 (0 %) in 0:00");
    progress.Add(200);
    progress.NextPass(1000, 150);  // the file changed between passes
    progress.Add(30);
    EXPECT_STREQ(progress.Line(1500, 200), "pass 2, sent 30 of 150 (20 %) in 0:01");
}

TEST(JobProgressLine, AReplayShowsItsPositionInBytesAndInItsSchedule) {
    JobProgress progress;
    progress.BeginWrite(0, 100000, 570000, true, true);
    progress.Add(12345);
    EXPECT_STREQ(progress.Line(65000, 200), "pass 1, replaying 12,345 of 100,000 bytes, 1:05 of 9:30");
    progress.Add(100000 - 12345);
    progress.NextPass(600000, 100000);
    progress.Add(10);
    EXPECT_STREQ(progress.Line(601000, 200), "pass 2, replaying 10 of 100,000 bytes, 0:01 of 9:30");
}

TEST(JobProgressLine, AHeldWriteSaysHeldInPlaceOfTheTimeLeftAndIsDrawnAgainSoon) {
    JobProgress progress;
    progress.BeginWrite(0, 5000, 25, false);
    progress.Add(1234);
    progress.Line(40000, 200);
    progress.Hold(true, "XOFF received");
    EXPECT_EQ(progress.NextRedraw(), 40100u);
    EXPECT_STREQ(progress.Line(41000, 200), "sent 1,234 of 5,000 (24 %) in 0:41, held: XOFF received");
    progress.Hold(true, "CTS is off");
    EXPECT_EQ(progress.NextRedraw(), 41100u);
    // The time the hold took counts in the pace the rest will go at.
    progress.Hold(false, "");
    EXPECT_STREQ(progress.Line(600000, 200), "sent 1,234 of 5,000 (24 %) in 10:00, 31 min left");

    progress.BeginWrite(0, 0, 25, true);
    progress.Hold(true, "");
    EXPECT_STREQ(progress.Line(1000, 200), "pass 1, sent 0 in 0:01, held");
}

TEST(JobProgressLine, AHeldCaptureSaysWhyInPlaceOfItsRate) {
    JobProgress progress;
    progress.BeginCapture(0, "cap.txt");
    progress.Add(9344);
    progress.Line(1000, 200);
    progress.Hold(true, "waiting for /dev/ttyUSB0 to come back");
    EXPECT_STREQ(progress.Line(9000, 200), "captured 9,344 bytes, waiting for /dev/ttyUSB0 to come back");
    progress.Hold(false, "");
    EXPECT_STREQ(progress.Line(10000, 200), "captured 9,344 bytes, 934 bytes/s, last byte 9 s ago");
}

TEST(JobProgressLine, AFileOfUnknownSizeShowsOnlyWhatWasSent) {
    JobProgress progress;
    progress.BeginWrite(0, 0, 25, false);
    progress.Add(1234);
    EXPECT_STREQ(progress.Line(61000, 200), "sent 1,234 in 1:01");
}

TEST(JobProgressLine, IsCutToLeaveTheTerminalsLastColumnFree) {
    JobProgress progress;
    progress.BeginWrite(0, 100000, 25, false);
    EXPECT_STREQ(progress.Line(0, 20), "sent 0 of 100,000 (");
    EXPECT_EQ(std::strlen(progress.Line(0, 20)), 19u);
    EXPECT_STREQ(progress.Line(0, 1), "");
}

TEST(JobProgressLine, ACaptureShowsBytesTheRateOverTheLastSecondsAndTheTimeSinceTheLastByte) {
    JobProgress progress;
    progress.BeginCapture(0, "cap.txt");
    EXPECT_STREQ(progress.Line(0, 200), "captured 0 bytes, 0 bytes/s, no byte in 0 s");
    EXPECT_STREQ(progress.Line(4000, 200), "captured 0 bytes, 0 bytes/s, no byte in 4 s");
    for (int second = 5; second <= 7; ++second) {
        progress.Add(1000);
        progress.Line(second * 1000, 200);
    }
    // Until the samples, a second apart, have gone round, the rate is over the whole 7 s.
    EXPECT_STREQ(progress.Line(7000, 200), "captured 3,000 bytes, 428 bytes/s, last byte 0 s ago");
    progress.Line(8000, 200);
    // Then over the last five seconds: from 4 s all 3,000, from 6 s only the last 1,000.
    EXPECT_STREQ(progress.Line(9000, 200), "captured 3,000 bytes, 600 bytes/s, last byte 2 s ago");
    progress.Line(10000, 200);
    EXPECT_STREQ(progress.Line(11000, 200), "captured 3,000 bytes, 200 bytes/s, last byte 4 s ago");
    EXPECT_STREQ(progress.Line(12000, 200), "captured 3,000 bytes, 0 bytes/s, last byte 5 s ago");
    EXPECT_STREQ(progress.Line(12000 + 3723000, 200), "captured 3,000 bytes, 0 bytes/s, last byte 1 h 2 min ago");
}

TEST(JobProgressRedraw, IsDueTenTimesASecondWhileCountingAndOnceASecondOtherwise) {
    JobProgress progress;
    progress.BeginWrite(500, 1000, 10, false);
    EXPECT_EQ(progress.NextRedraw(), 500u);
    progress.Line(500, 80);
    EXPECT_EQ(progress.NextRedraw(), 1500u);
    progress.Add(1);
    EXPECT_EQ(progress.NextRedraw(), 600u);
    progress.Line(650, 80);
    EXPECT_EQ(progress.NextRedraw(), 1650u);
    // A line printed over it brings it back, at the same limit.
    progress.Redraw();
    EXPECT_EQ(progress.NextRedraw(), 750u);
}

TEST(JobProgressSummary, SaysWhatTheJobDidAndHowLongItTook) {
    JobProgress progress;
    progress.BeginWrite(0, 201, 5, false);
    progress.Add(201);
    EXPECT_EQ(progress.Summary(1010), "sent 201 characters in 1.0 s");
    progress.BeginWrite(0, 1, 5, true);
    progress.Add(1);
    progress.NextPass(1000, 1);
    EXPECT_EQ(progress.Summary(2523000), "sent 1 character in 42 min 3 s (2 passes)");
    progress.BeginCapture(0, "capture.txt");
    progress.Add(3456);
    EXPECT_EQ(progress.Summary(5000), "captured 3,456 bytes into capture.txt");
    progress.BeginCapture(0, "c");
    progress.Add(1);
    EXPECT_EQ(progress.Summary(5000), "captured 1 byte into c");
}

}  // namespace
