// What the desktop tests share: a pseudo-terminal for the program's port, and
// a directory of their own that is also the session's runtime directory, with
// a folder for each child's output.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/pty.h"

namespace desktoptest {

// How long a test waits for a window to do what it should do soon.
inline constexpr int kTimeoutMs = 15000;

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::filesystem::path(ZANDREL_BINARY).parent_path() / "zandrel-qt.so"))
            GTEST_SKIP() << "built without the window";
        ASSERT_TRUE(m_pty.MakeRaw());
        m_dir = std::filesystem::temp_directory_path() / ("zandrel-desktop-" + std::to_string(getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        chmod(m_dir.c_str(), 0700);  // fit as a runtime directory
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // Whether SetUp left the test to run.
    bool Ready() const { return !IsSkipped() && !HasFatalFailure(); }

    std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }

    // Each child writes its output into a folder of its own.
    std::string OutputDir(const std::string& name) const {
        std::filesystem::create_directories(m_dir / name);
        return PathOf(name);
    }

    testsupport::Pty m_pty;
    std::filesystem::path m_dir;
};

}  // namespace desktoptest
