// Work that may take seconds (a port server that does not answer) done on a
// thread of its own, while the calling thread does what the user-interface
// back-end asks meanwhile: its window keeps painting, and a user who asks to
// stop ends the work's waits.
#pragma once

#include <functional>

namespace kernel {

// Runs work and returns once it has ended. work is given a descriptor that
// becomes readable when the user asks to stop meanwhile, to be polled beside
// what it waits for; -1 when none could be made.
void RunAside(const std::function<void(int stopFd)>& work);

// What a back-end does on the calling thread meanwhile: until() returns once
// finished holds, and calls stop() when the user asks to stop the work; it
// returns false at once when this is not a thread it serves. wake() ends its
// wait for the next event. Set by the back-end; nothing by default.
struct Meanwhile {
    bool (*until)(const std::function<bool()>& finished, const std::function<void()>& stop);
    void (*wake)();
};
void SetMeanwhile(const Meanwhile* meanwhile);

}  // namespace kernel
