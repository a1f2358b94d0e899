// What tells one pseudo-terminal behind a port name from the next one made
// there, so that a job takes up only a pty made for its name after its own
// went away.
#pragma once

#include <string>

namespace comm {

// isPty: the path leads to a pty slave now. instance: for a pty reached
// through a symbolic link, the link's own identity; empty for a pty named by
// its node (nothing tells it from the next one given that number) and for any
// other device. 0 or an errno value (ENOENT: nothing there).
int PtyInstance(const std::string& path, bool& isPty, std::string& instance);

}  // namespace comm
