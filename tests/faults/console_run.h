// The real program run headless on the console, its port a pseudo-terminal
// mapped as COM3 and its files in a directory of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "support/pty.h"

namespace faults {

constexpr int kTimeoutMs = 10000;

class ConsoleRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string PathOf(const char* name) const { return (m_dir / name).string(); }

    // Starts the program with these switches and waits until it has opened the line.
    // Its standard error goes to `errorDevice` when one is given (a terminal
    // standing in for the user's), and COM3 leads to `device` when one is given.
    e2e::ChildProcess& Start(const std::vector<std::string>& switches, const std::string& errorDevice = "",
                             const std::string& device = "");
    // Starts it without waiting for the pty: COM3 leads to a server that stands in for one.
    e2e::ChildProcess& Launch(const std::vector<std::string>& switches, const std::string& errorDevice,
                              const std::string& device);

    testsupport::Pty m_pty;
    std::filesystem::path m_dir;
    std::vector<std::unique_ptr<e2e::ChildProcess>> m_runs;
};

// The "%d|" codes of every byte's low seven bits, as the companion holds them.
std::string CodesOf(const std::string& bytes);

}  // namespace faults
