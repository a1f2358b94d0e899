#include "faults/process_probe.h"

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace faults {
namespace {

int EntriesOf(const char* directory) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++count;
    return count;
}

// User and system time from a stat file of /proc.
double CpuMillisecondsIn(const std::string& statPath) {
    std::ifstream in(statPath);
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The fields after the command name, which is in parentheses and may hold blanks.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i < 14; ++i) fields >> field;  // state .. cmajflt
    unsigned long user = 0, system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

// The iterator's own descriptor is counted too, the same way each time.
int OpenDescriptors() { return EntriesOf("/proc/self/fd"); }

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

double CpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double CpuMilliseconds(pid_t pid) { return CpuMillisecondsIn("/proc/" + std::to_string(pid) + "/stat"); }

}  // namespace faults
