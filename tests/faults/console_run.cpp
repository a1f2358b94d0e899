#include "faults/console_run.h"

#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include "support/test_directory.h"
#include "e2e/file_watch.h"

namespace faults {

void ConsoleRun::SetUp() {
    ASSERT_TRUE(m_pty.MakeRaw());
    m_dir = testsupport::MakeTestDirectory("zandrel-faults");
}

void ConsoleRun::TearDown() {
    m_runs.clear();  // kills what is still running
    std::filesystem::remove_all(m_dir);
}

e2e::ChildProcess& ConsoleRun::Start(const std::vector<std::string>& switches, const std::string& errorDevice,
                                     const std::string& device) {
    e2e::FileWatch lineOpened(m_pty.SlavePath(), IN_OPEN);
    e2e::ChildProcess& run = Launch(switches, errorDevice, device);
    EXPECT_TRUE(lineOpened.WaitUntil([&] { return lineOpened.Events() > 0; }, kTimeoutMs));
    return run;
}

e2e::ChildProcess& ConsoleRun::Launch(const std::vector<std::string>& switches, const std::string& errorDevice,
                                      const std::string& device) {
    std::vector<std::string> arguments{"zandrel"};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    const std::string outputDir = PathOf(("run" + std::to_string(m_runs.size())).c_str());
    std::filesystem::create_directories(outputDir);
    m_runs.push_back(std::make_unique<e2e::ChildProcess>(
        ZANDREL_BINARY, arguments,
        e2e::ChildProcess::Environment{{"ZANDREL_HEADLESS", "1"}, {"ZANDREL_COM3", device.empty() ? m_pty.SlavePath() : device}},
        outputDir, errorDevice));
    return *m_runs.back();
}

std::string CodesOf(const std::string& bytes) {
    std::string codes;
    for (unsigned char byte : bytes) codes += std::to_string(byte & 0x7F) + "|";
    return codes;
}

}  // namespace faults
