// Capture files that cannot be written: the directory removed under a running
// capture, and a capture or companion file on a full device (/dev/full; tests
// run as root, so permissions would not stop them). The capture goes on, the
// program stays responsive, and every pass that could be written is complete.
#include <gtest/gtest.h>

#include <filesystem>

#include "faults/console_run.h"
#include "transfer/dialog_on_pty.h"

namespace {

using transfertest::ReadFile;
using transfertest::READING;

class UnwritableCapture : public transfertest::DialogOnPty {
protected:
    // Sends from the far end and handles notifications until the status line shows the text.
    bool ReceiveShown(const std::string& text) {
        m_pty.Send(text);
        return headless::DispatchUntil([&] { return Status() == READING + text; }, 5000);
    }

    void ExpectStillCapturing() {
        EXPECT_TRUE(headless::TakeMessageBoxes().empty());
        EXPECT_TRUE(m_dlg.IsBusy());
        EXPECT_FALSE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
    }
};

TEST_F(UnwritableCapture, ARemovedDirectoryLosesOnlyThePassesMadeWhileItIsGone) {
    const auto dir = Path("logs");
    std::filesystem::create_directory(dir);
    StartCapture(dir / "cap.txt");
    ASSERT_TRUE(ReceiveShown("one"));

    std::filesystem::remove_all(dir);
    ASSERT_TRUE(ReceiveShown("two"));
    ExpectStillCapturing();
    EXPECT_FALSE(std::filesystem::exists(dir));

    std::filesystem::create_directory(dir);
    ASSERT_TRUE(ReceiveShown("three"));
    EXPECT_EQ(ReadFile(dir / "cap.txt"), "three");
    EXPECT_EQ(ReadFile(dir / "cap_asci.txt"), faults::CodesOf("three"));
    ExpectStillCapturing();
}

TEST_F(UnwritableCapture, ACaptureFileOnAFullDeviceLeavesTheCompanionComplete) {
    std::filesystem::create_symlink("/dev/full", Path("cap.txt"));
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveShown("first"));
    ASSERT_TRUE(ReceiveShown("second"));
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), faults::CodesOf("firstsecond"));
    ExpectStillCapturing();
}

TEST_F(UnwritableCapture, ACompanionOnAFullDeviceLeavesTheCaptureFileComplete) {
    std::filesystem::create_symlink("/dev/full", Path("cap_asci.txt"));
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveShown("first"));
    ASSERT_TRUE(ReceiveShown("second"));
    EXPECT_EQ(ReadFile(Path("cap.txt")), "firstsecond");
    ExpectStillCapturing();
}

}  // namespace
