// The program is ending (a signal asked it to): waits on things outside the
// process that may take seconds (a port server across the network) end at
// once rather than hold the end, and nothing waits on them again.
#pragma once

namespace kernel {

// Readable once EndWaits has been called: poll it beside what is waited for.
// -1 when it could not be made (then nothing ends early).
int EndingFd();
// From any thread; for good.
void EndWaits();

}  // namespace kernel
