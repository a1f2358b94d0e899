// What a process holds and spends, read from /proc and getrusage: for checking
// that faults leave no descriptors, threads or memory behind and that nothing
// spins while the program waits.
#pragma once

#include <sys/types.h>

#include <chrono>

namespace faults {

int OpenDescriptors();  // this process's open descriptors
int Threads();          // this process's threads
// Whether this process is down to `count` threads within `patience`: a thread
// whose handle has been signalled can still be on its way out for a moment.
bool ThreadsReturnTo(int count, std::chrono::milliseconds patience = std::chrono::seconds(1));
long ResidentKiB();     // this process's resident memory

// CPU time (user + system) used so far by this process, or by another one.
double CpuMilliseconds();
double CpuMilliseconds(pid_t pid);

}  // namespace faults
