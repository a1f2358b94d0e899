// The window is a module the program loads only when it shows one: a console
// run maps no Qt library, and a window run (Qt's offscreen platform) draws the
// dialog in the dialog units of the desktop font.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "e2e/child_process.h"
#include "e2e/file_watch.h"
#include "support/png_size.h"
#include "support/pty.h"

namespace {

using e2e::kTimeoutMs;

class WindowModule : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("zandrel-window-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path m_dir;
};

TEST_F(WindowModule, ConsoleRunMapsNoQtLibrary) {
    testsupport::Pty pty;
    e2e::FileWatch lineOpened(pty.SlavePath(), IN_OPEN);
    e2e::ChildProcess zandrel(ZANDREL_BINARY, {"zandrel", "-c", "3", "-r", (m_dir / "capture.txt").string()},
                              {{"ZANDREL_HEADLESS", "1"}, {"ZANDREL_COM3", pty.SlavePath()}}, m_dir.string());
    ASSERT_TRUE(lineOpened.WaitUntil([&] { return lineOpened.Events() > 0; }, kTimeoutMs));
    std::string maps = e2e::ReadFile("/proc/" + std::to_string(zandrel.Pid()) + "/maps");
    EXPECT_NE(maps.find("zandrel"), std::string::npos) << "the process's maps could not be read";
    EXPECT_EQ(maps.find("libQt6"), std::string::npos);
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
}

TEST_F(WindowModule, WindowRunShowsTheDialogAtTheTemplateProportions) {
    if (!std::filesystem::exists(std::filesystem::path(ZANDREL_BINARY).parent_path() / "zandrel-qt.so"))
        GTEST_SKIP() << "built without the window";
    const std::string picture = (m_dir / "window.png").string();
    e2e::ChildProcess zandrel(ZANDREL_BINARY, {"zandrel"},
                              {{"ZANDREL_HEADLESS", ""}, {"ZANDREL_WINDOW", "1"}, {"QT_QPA_PLATFORM", "offscreen"},
                               {"ZANDREL_SCREENSHOT", picture}, {"XDG_RUNTIME_DIR", m_dir.string()}},
                              m_dir.string());
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
    EXPECT_EQ(zandrel.Errors().find("no window"), std::string::npos) << zandrel.Errors();
    // 381 x 175 dialog units of the desktop's font: at least what MS Sans Serif 8
    // gives at Qt's offscreen 96 dpi, as the desktop fonts are larger.
    auto [width, height] = testsupport::PngSize(e2e::ReadFile(picture));
    EXPECT_GE(width, 572u);
    EXPECT_GE(height, 284u);
}

}  // namespace
