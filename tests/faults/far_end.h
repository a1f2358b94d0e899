// The far end of the line sending a long stream at a serial line's pace from a
// thread of its own, until told to stop or the stream is out. A pty takes
// bytes far faster than any serial line; pacing keeps the test to what a real
// port can deliver.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

namespace faults {

// The stream the far end sends: position i holds Pattern(i).
char Pattern(size_t i);

class FarEnd {
public:
    // Sends `total` bytes of the pattern to `masterFd` in pieces of `piece`
    // bytes, one piece per `periodMs`. The master is left non-blocking.
    // The line's settings are the caller's to make raw, before the program
    // opens it: a change while the program sets it up races with its own.
    // While no one has the line open, nothing is sent.
    FarEnd(int masterFd, size_t total, size_t piece, int periodMs);
    ~FarEnd();  // stops and joins
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    void Stop();
    size_t Sent() const;  // how many bytes went out so far

private:
    void Run(int masterFd, size_t total, size_t piece, int periodMs);

    int m_stopFd;
    std::atomic<size_t> m_sent = 0;
    std::thread m_thread;
};

}  // namespace faults
