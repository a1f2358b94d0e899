// What became of the most recent attempt in this process to open a comm device,
// for the console run's closing report, and of the most recent line settings
// a device refused, for telling the user.
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

// The most recent SetCommState that a device refused with
// ERROR_INVALID_PARAMETER, as a user reads it: "/dev/ttyUSB0 cannot take
// 6 data bits, kept 9600 8N1". Empty once a later call was taken.
std::string GetLastCommSettingsRefusal();
