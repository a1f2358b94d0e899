// What a process holds and spends, read from /proc and getrusage: for checking
// that faults leave no descriptors, threads or memory behind and that nothing
// spins while the program waits.
#pragma once

#include <sys/types.h>

namespace faults {

int OpenDescriptors();  // this process's open descriptors (its threads: support/thread_count.h)
long ResidentKiB();     // this process's resident memory

// CPU time (user + system) used so far by this process, or by another one.
double CpuMilliseconds();
double CpuMilliseconds(pid_t pid);

}  // namespace faults
