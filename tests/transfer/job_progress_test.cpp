// What the jobs tell of their progress, as the headless back-end draws it
// between dispatches on the manual clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_on_pty.h"

namespace transfertest {
namespace {

using JobProgress = DialogOnPty;
using headless::ProgressLine;
using headless::ProgressRedraws;
using headless::TakeJobSummaries;

TEST_F(JobProgress, AWriteIsDrawnTenTimesASecondAtMostAndSummedUpAtTheEndOfTheFile) {
    StartWrite(std::string(1000, 'x'), "10", false);
    headless::Advance(1000);
    const int redrawsAfterOneSecond = ProgressRedraws();
    headless::Advance(2000);
    // A character every 10 ms, a line every 100 ms, drawn after that moment's tick.
    EXPECT_EQ(ProgressRedraws() - redrawsAfterOneSecond, 20);
    EXPECT_EQ(ProgressLine(), "sent 300 of 1,000 (30 %) in 0:03, 7 s left");
    EXPECT_TRUE(TakeJobSummaries().empty());

    headless::Advance(8000);  // the end-of-file tick comes at 10.01 s
    EXPECT_EQ(TakeJobSummaries(), std::vector<std::string>{"sent 1,000 characters in 10.0 s"});
    const int redrawsAtTheEnd = ProgressRedraws();
    headless::Advance(2000);
    EXPECT_EQ(ProgressRedraws(), redrawsAtTheEnd);
}

TEST_F(JobProgress, AWriteCountsWhatTheTextModeReaderSendsSoAFilePreparedOnWindowsEndsAtAHundredPercent) {
    std::string lines;
    for (int i = 0; i < 100; ++i) lines += "line\r\n";
    StartWrite(lines + "\x1a" "after the end", "10", false);
    headless::Advance(5000);
    EXPECT_EQ(ProgressLine(), "sent 500 of 500 (100 %) in 0:05, 0 s left");
}

TEST_F(JobProgress, StopEndsAWriteWithItsSummaryAndLoopCountsPasses) {
    StartWrite("abc", "10", true);
    // Ten ticks: two passes, each with its end-of-file tick, then a and b.
    headless::Advance(100);
    EXPECT_EQ(ProgressLine(), "pass 3, sent 2 of 3 (66 %) in 0:00");
    headless::Click(m_dlg, IDC_STOP);
    EXPECT_EQ(TakeJobSummaries(), std::vector<std::string>{"sent 8 characters in 0.1 s (3 passes)"});
}

TEST_F(JobProgress, ACaptureCountsWhatItStoredAndIsSummedUpAtStop) {
    StartCapture(Path("cap.txt"));
    headless::RunUntilIdle();
    EXPECT_EQ(ProgressLine(), "captured 0 bytes, 0 bytes/s, no byte in 0 s");
    ASSERT_TRUE(ReceiveInto(std::string(3000, 'x'), Path("cap.txt"), 3000));
    // The data came at 0 s; the line drawn at 1 s saw it.
    headless::Advance(3000);
    EXPECT_EQ(ProgressLine(), "captured 3,000 bytes, 1,000 bytes/s, last byte 2 s ago");
    headless::Advance(2000);
    EXPECT_EQ(ProgressLine(), "captured 3,000 bytes, 600 bytes/s, last byte 4 s ago");
    headless::Click(m_dlg, IDC_STOP);
    EXPECT_EQ(TakeJobSummaries(), std::vector<std::string>{"captured 3,000 bytes into " + Path("cap.txt").string()});
}

}  // namespace
}  // namespace transfertest
