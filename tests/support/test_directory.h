// A fresh, empty directory for the running test: under the system's temporary
// directory, named after the prefix, this process and the test, so that tests
// run in parallel never share one. The caller removes it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace testsupport {

inline std::filesystem::path MakeTestDirectory(const std::string& prefix) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                (prefix + "-" + std::to_string(getpid()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace testsupport
