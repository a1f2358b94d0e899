// Work that may take seconds (a port server that does not answer) done on a
// thread of its own, while the calling thread does what the user-interface
// back-end asks meanwhile: its window keeps painting, and takes no input.
#pragma once

#include <functional>

namespace kernel {

// Runs work and returns once it has ended.
void RunAside(const std::function<void()>& work);

// What a back-end does on the calling thread meanwhile: until() returns once
// finished holds, false at once when this is not a thread it serves; wake()
// ends its wait for the next event. Set by the back-end; nothing by default.
struct Meanwhile {
    bool (*until)(const std::function<bool()>& finished);
    void (*wake)();
};
void SetMeanwhile(const Meanwhile* meanwhile);

}  // namespace kernel
