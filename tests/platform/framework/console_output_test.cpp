// The console run's standard error when nothing reads it: lines wait, in
// order, up to a bound, and what comes past it is counted in one line rather
// than held without end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "platform/framework/headless/console_output.h"

namespace {

TEST(ConsoleOutput, LinesPastTheBoundAreCountedWhileNothingReads) {
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    const int savedError = dup(STDERR_FILENO);
    dup2(pipeFds[1], STDERR_FILENO);
    // Full before the first line: nothing of what follows can be written yet.
    fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
    const std::string filler(4096, 'f');
    size_t filled = 0;
    for (ssize_t n; (n = write(pipeFds[1], filler.data(), filler.size())) > 0;) filled += static_cast<size_t>(n);
    fcntl(pipeFds[1], F_SETFL, 0);

    std::string read;
    {
        headless::ConsoleOutput output;
        for (size_t i = 0; i < headless::ConsoleOutput::kMaxLinesWaiting + 5; ++i) output.PrintLine("line " + std::to_string(i));
        std::thread reader([&] {
            char buffer[65536];
            for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) read.append(buffer, static_cast<size_t>(n));
        });
        output.Close(std::chrono::seconds(10));
        dup2(savedError, STDERR_FILENO);
        close(pipeFds[1]);
        reader.join();
    }
    close(savedError);
    close(pipeFds[0]);

    // The line being written when the bound was met is not one of those waiting.
    const size_t total = headless::ConsoleOutput::kMaxLinesWaiting + 5;
    std::string expected(filled, 'f');
    size_t shown = 0;
    for (; shown < headless::ConsoleOutput::kMaxLinesWaiting; ++shown) expected += "line " + std::to_string(shown) + "\n";
    if (read.compare(expected.size(), 10, "line 1000\n") == 0) expected += "line " + std::to_string(shown++) + "\n";
    expected += std::to_string(total - shown) + " more lines were not shown: the terminal took nothing meanwhile\n";
    EXPECT_EQ(read.size(), expected.size());
    EXPECT_TRUE(read == expected);
}

}  // namespace
