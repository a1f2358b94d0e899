// Send files that change under a running write, and send files that are not
// plain files: a FIFO and a directory. Nothing hangs, nothing stale is sent, and
// a Loop run does not reopen a directory forever in silence.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "transfer/dialog_on_pty.h"

namespace {

using transfertest::WriteFile;
using transfertest::WRITING;

class ChangingSendFile : public transfertest::DialogOnPty {
protected:
    std::string Ticks(int count) {
        std::string sent;
        for (int i = 0; i < count; ++i) sent += Tick(25);
        return sent;
    }

    // Runs the action; if it blocks (opening a FIFO that has no writer) the
    // FIFO is opened for writing after a while, which releases it. False then.
    static bool ReturnsWithoutAWriter(const std::filesystem::path& fifo, const std::function<void()>& action) {
        std::mutex lock;
        std::condition_variable returned;
        bool done = false;
        bool released = false;
        std::thread watchdog([&] {
            std::unique_lock guard(lock);
            if (returned.wait_for(guard, std::chrono::seconds(2), [&] { return done; })) return;
            released = true;
            close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        });
        action();
        {
            std::lock_guard guard(lock);
            done = true;
        }
        returned.notify_one();
        watchdog.join();
        return !released;
    }

    void ExpectEndedWithFileNotFound() {
        const auto boxes = headless::TakeMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "File not found.");
        EXPECT_FALSE(headless::TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    }
};

TEST_F(ChangingSendFile, ALengthChangeBetweenPassesIsSentAsTheFileNowIs) {
    StartWrite("ABC", "25", true);
    EXPECT_EQ(Ticks(4), "ABC");  // the fourth tick ends the pass and reopens the file
    WriteFile(Path("send.txt"), "DEFGH");
    EXPECT_EQ(Ticks(6), "DEFGH");
    WriteFile(Path("send.txt"), "I");
    EXPECT_EQ(Ticks(6), "III");
    EXPECT_EQ(Status(), WRITING);
}

TEST_F(ChangingSendFile, AFileCutShortDuringAPassEndsThatPassAndLaterPassesSendWhatItNowHolds) {
    StartWrite(std::string(10000, 'o'), "25", true);
    EXPECT_EQ(Ticks(3), "ooo");
    WriteFile(Path("send.txt"), "xyz");  // in place: the open stream sees the new length

    headless::Advance(25 * 10008);
    const std::string sent = m_pty.ReceiveFor(200);
    // What was already read ahead goes out, then the short file pass after pass.
    const size_t cut = sent.find_first_not_of('o');
    ASSERT_NE(cut, std::string::npos);
    EXPECT_LT(cut, 10000u - 3);
    const std::string rest = sent.substr(cut);
    ASSERT_GE(rest.size(), 3u);
    for (size_t i = 0; i < rest.size(); ++i) EXPECT_EQ(rest[i], "xyz"[i % 3]) << "at " << i;
    EXPECT_EQ(Status(), WRITING);
}

TEST_F(ChangingSendFile, AFifoIsRefusedWithoutWaitingForAWriter) {
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    headless::Type(m_dlg, IDC_SEND_FILE, Path("fifo").c_str());
    EXPECT_TRUE(ReturnsWithoutAWriter(Path("fifo"), [&] { headless::Click(m_dlg, IDC_WRITE_TO_PORT); }));
    ExpectEndedWithFileNotFound();
    EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
}

TEST_F(ChangingSendFile, AFileReplacedByAFifoDuringALoopRunEndsTheSending) {
    StartWrite("AB", "25", true);
    EXPECT_EQ(Ticks(2), "AB");
    std::filesystem::remove(Path("send.txt"));
    ASSERT_EQ(mkfifo(Path("send.txt").c_str(), 0600), 0);

    // The end of the pass reopens the file.
    EXPECT_TRUE(ReturnsWithoutAWriter(Path("send.txt"), [] { headless::Advance(25); }));
    ExpectEndedWithFileNotFound();
    EXPECT_EQ(Status(), WRITING);
}

TEST_F(ChangingSendFile, ADirectoryIsRefusedAsNotFoundAtTheStartAndBetweenLoopPasses) {
    std::filesystem::create_directory(Path("dir"));
    headless::Type(m_dlg, IDC_SEND_FILE, Path("dir").c_str());
    headless::Click(m_dlg, IDC_WRITE_TO_PORT);
    ExpectEndedWithFileNotFound();

    StartWrite("AB", "25", true);
    EXPECT_EQ(Ticks(2), "AB");
    std::filesystem::remove(Path("send.txt"));
    std::filesystem::create_directory(Path("send.txt"));
    Ticks(1);  // the end of the pass reopens the file
    ExpectEndedWithFileNotFound();
}

}  // namespace
