// The real program on the console with a pseudo-terminal standing in for the
// user's terminal as its standard error: the progress line it draws there,
// cut to the terminal's width, and the summary at the end of the job.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/terminal_lines.h"
#include "support/pty.h"

namespace {

using e2e::kTimeoutMs;
constexpr int kColumns = 30;

TEST(ProgressOnTerminal, AWriteDrawsItsProgressCutToTheTerminalAndEndsWithASummary) {
    testsupport::Pty port;
    testsupport::Pty terminal;
    ASSERT_TRUE(port.MakeRaw());
    winsize size{};
    size.ws_row = 24;
    size.ws_col = kColumns;
    ASSERT_EQ(ioctl(terminal.Master(), TIOCSWINSZ, &size), 0);

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zandrel-progress-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string send = (dir / "send.txt").string();
    std::ofstream(send, std::ios::binary) << std::string(40, 'x');

    // The terminal is read until the program has closed it, so it never fills up.
    std::string output;
    std::thread reader([&] {
        char buffer[4096];
        for (ssize_t n; (n = read(terminal.Master(), buffer, sizeof buffer)) > 0;) output.append(buffer, n);
    });
    e2e::ChildProcess zandrel(ZANDREL_BINARY, {"zandrel", "-c", "3", "-m", "25", "-l", "n", "-w", send},
                              {{"ZANDREL_HEADLESS", "1"}, {"ZANDREL_COM3", port.SlavePath()}}, dir.string(),
                              terminal.SlavePath());
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
    reader.join();
    std::filesystem::remove_all(dir);

    std::vector<std::string> lines = e2e::DrawnLines(output);
    ASSERT_FALSE(lines.empty()) << output;
    std::smatch summary;
    ASSERT_TRUE(std::regex_match(lines.back(), summary, std::regex(R"(sent 40 characters in (\d+\.\d) s)")))
        << lines.back();
    const double seconds = std::stod(summary[1]);  // before the line it points into goes
    lines.pop_back();
    ASSERT_FALSE(lines.empty()) << output;
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(sent \d+ of 40 \(\d+ %\) in 0:0\d.*)"))) << line;
        EXPECT_LT(line.size(), static_cast<size_t>(kColumns)) << line;
    }
    EXPECT_EQ(lines.front().substr(0, 13), "sent 0 of 40 ");
    // Ten lines a second at most, and the one drawn at the start (one more for the summary's rounding).
    EXPECT_LE(lines.size(), 1 + 10 * seconds + 1);
}

// A hold of the line (the far end's XOFF) shows in the progress line; the
// terminal gets no line of its own for it, neither as it begins nor as it ends.
TEST(ProgressOnTerminal, AHoldShowsInTheProgressLineAndPrintsNoLineOfItsOwn) {
    testsupport::Pty port;
    testsupport::Pty terminal;
    ASSERT_TRUE(port.MakeRaw());
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 120;
    ASSERT_EQ(ioctl(terminal.Master(), TIOCSWINSZ, &size), 0);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zandrel-hold-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string send = (dir / "send.txt").string();
    std::ofstream(send, std::ios::binary) << std::string(60, 'x');

    std::string output;
    std::thread reader([&] {
        char buffer[4096];
        for (ssize_t n; (n = read(terminal.Master(), buffer, sizeof buffer)) > 0;) output.append(buffer, n);
    });
    e2e::ChildProcess zandrel(ZANDREL_BINARY, {"zandrel", "-c", "3", "-m", "5", "-f", "x", "-l", "n", "-w", send},
                              {{"ZANDREL_HEADLESS", "1"}, {"ZANDREL_COM3", port.SlavePath()}}, dir.string(),
                              terminal.SlavePath());
    EXPECT_EQ(port.Receive(10, kTimeoutMs).size(), 10u);
    port.Send("\x13");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    port.Send("\x11");
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
    reader.join();
    std::filesystem::remove_all(dir);

    std::vector<std::string> lines = e2e::DrawnLines(output);
    ASSERT_FALSE(lines.empty()) << output;
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(sent 60 characters in \d+\.\d s)"))) << lines.back();
    lines.pop_back();
    size_t held = 0;
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(sent \d+ of 60 \(\d+ %\) in 0:0\d, .*)"))) << line;
        if (line.find(", held: XOFF received") != std::string::npos) ++held;
    }
    EXPECT_GE(held, 1u) << output;
}

}  // namespace
