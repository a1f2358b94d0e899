// What became of the most recent attempt in this process to open a comm device,
// for the console run's closing report.
#pragma once

#include <string>

struct CommOpenReport {
    bool attempted = false;    // a comm device was asked for
    bool failed = false;       // and could not be opened
    std::string devicePath;    // as given, for example \\.\COM7
    std::string linuxDevice;   // what it maps to, for example /dev/ttyS6 (empty if the name maps to nothing)
    std::string reason;        // strerror text or a short explanation
};

CommOpenReport GetLastCommOpenReport();
