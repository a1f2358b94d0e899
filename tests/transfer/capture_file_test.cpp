// A capture file's pass that does not fit is taken back from the file it went
// into, found by its descriptor: a file rotated (renamed, a new one put in its
// place) between the open and the write keeps its own bytes, and the new one
// is left alone. On a small tmpfs (tests run as root).
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_directory.h"
#include "transfer/capture_file.h"
#include "transfer/dialog_on_pty.h"

namespace {

using transfertest::ReadFile;
using transfertest::WriteFile;

class CaptureFileOnASmallDisk : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = testsupport::MakeTestDirectory("zandrel-capture-file");
        // Four pages: the capture file's, two of filler, and one left.
        if (mount("tmpfs", m_dir.c_str(), "tmpfs", 0, "size=16k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
        m_mounted = true;
        WriteFile(m_dir / "filler", std::string(8192, 'f'));
    }
    void TearDown() override {
        if (m_mounted) umount2(m_dir.c_str(), MNT_DETACH);
        std::filesystem::remove_all(m_dir);
    }

    std::filesystem::path m_dir;
    bool m_mounted = false;
};

TEST_F(CaptureFileOnASmallDisk, AShortWriteIsTakenBackFromTheRotatedFileAndNotFromItsSuccessor) {
    const std::filesystem::path capture = m_dir / "cap.txt";
    const std::string before(4000, 'o');
    WriteFile(capture, before);
    CCaptureFile file(capture.c_str());
    ASSERT_TRUE(file.IsOpen());

    // Rotated: the new file takes the last free page.
    std::filesystem::rename(capture, m_dir / "cap.txt.1");
    WriteFile(capture, "new");

    // 96 bytes still fit in the old file's page, then the disk is full.
    EXPECT_FALSE(file.Append(std::string(500, 'x').data(), 500));
    EXPECT_EQ(file.FaultText(), "cannot write " + capture.string() + ": No space left on device");
    EXPECT_EQ(file.Kept(), 0u);
    EXPECT_TRUE(ReadFile(m_dir / "cap.txt.1") == before);
    EXPECT_EQ(ReadFile(capture), "new");
}

}  // namespace
