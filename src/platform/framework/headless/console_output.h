// Standard error of the console run, written by a thread of its own: a
// terminal that stops reading (Ctrl-S, an SSH connection that stalls) or a
// pipe nobody reads holds that thread only, never a tick or a capture pass.
// Lines wait, in order, until the terminal takes them; past a thousand waiting,
// further ones are counted and told as one line.
// The status line (a job's progress, or the dialog's status text) is one slot:
// drawn once the terminal takes it, and until then replaced by a newer one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace headless {

class ConsoleOutput {
public:
    // How long the end of a run waits for a terminal that takes nothing.
    static constexpr std::chrono::milliseconds kClosePatience{2000};
    static constexpr size_t kStatusSize = 256;
    static constexpr size_t kMaxLinesWaiting = 1000;

    ConsoleOutput();
    ~ConsoleOutput() { Close(kClosePatience); }
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    // The text on a line of its own, below a status line cleared first.
    void PrintLine(const std::string& text);
    // The status line's new text, already cut to the terminal's width; ""
    // clears it. Copied into the slot: nothing is allocated.
    void ShowStatus(const char* text);
    // Writes what waits, ends a status line left shown, and joins the writer;
    // what the terminal has not taken within `patience` is lost. A writer
    // held in a write that blocks is interrupted then.
    void Close(std::chrono::milliseconds patience);

private:
    void Write();
    void WriteUntilClosed();
    void Wake();
    // Under the lock: the next piece to write into `chunk`, empty when there is none.
    void TakeNext(std::string& chunk);

    int m_fd;  // standard error, or the writer's own opening of the same terminal
    bool m_ownFd;
    int m_wakeFd;

    std::mutex m_lock;
    std::deque<std::string> m_lines;
    size_t m_linesNotShown = 0;  // printed while kMaxLinesWaiting waited
    char m_status[kStatusSize] = {};
    bool m_statusPending = false;
    bool m_statusShown = false;  // as of the pieces taken so far
    bool m_closing = false;
    std::chrono::steady_clock::time_point m_giveUpAt;
    bool m_writerEnded = false;
    std::condition_variable m_writerDone;

    std::thread m_thread;
};

}  // namespace headless
