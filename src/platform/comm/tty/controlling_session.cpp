#include "platform/comm/tty/controlling_session.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace comm {
namespace {

// "PID (COMM) STATE PPID PGRP SESSION TTY_NR ...". The command name is the
// process's own choice and may hold spaces and ')': the fields after it start
// after the last ')'. False for a line that is not one.
bool SessionAndTerminal(const char* line, pid_t& session, int& ttyNr) {
    const char* end = std::strrchr(line, ')');
    if (end == nullptr) return false;
    char state = 0;
    int parent = 0, group = 0;
    return std::sscanf(end + 1, " %c %d %d %d %d", &state, &parent, &group, &session, &ttyNr) == 5;
}

// tty_nr packs the device number as the kernel's new_encode_dev does.
dev_t DeviceOf(int ttyNr) {
    const auto packed = static_cast<unsigned>(ttyNr);
    return makedev((packed >> 8) & 0xfffu, (packed & 0xffu) | ((packed >> 12) & 0xfff00u));
}

bool ReadStat(int procFd, const char* pid, char* line, size_t size) {
    const int fd = openat(procFd, (std::string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;  // ended meanwhile
    const ssize_t n = read(fd, line, size - 1);
    close(fd);
    if (n <= 0) return false;
    line[n] = '\0';
    return true;
}

}  // namespace

int ControllingSession(dev_t terminal, pid_t& session) {
    session = 0;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return errno;
    char line[1024];
    while (const dirent* entry = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
        pid_t itsSession = 0;
        int ttyNr = 0;
        if (!ReadStat(dirfd(proc), entry->d_name, line, sizeof line) || !SessionAndTerminal(line, itsSession, ttyNr))
            continue;
        if (ttyNr != 0 && DeviceOf(ttyNr) == terminal) {
            session = itsSession;
            break;
        }
    }
    closedir(proc);
    return 0;
}

}  // namespace comm
