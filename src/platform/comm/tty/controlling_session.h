// Which session has a terminal as its controlling terminal: a job that takes
// its device up again must not take a terminal someone is typing on.
#pragma once

#include <sys/types.h>

namespace comm {

// The session (its leader's process id) whose controlling terminal has this
// device number, 0 when no process has it as one; or an errno value when
// /proc cannot be listed. Reads every /proc/PID/stat once: the kernel tells a
// terminal's sessions nowhere else (TIOCGSID answers only for the caller's own
// terminal). Processes /proc does not show (another pid namespace, a
// hidepid= mount) are not seen.
int ControllingSession(dev_t terminal, pid_t& session);

}  // namespace comm
