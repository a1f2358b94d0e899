// SIGINT, SIGTERM and SIGHUP close every open box, then the main window as its
// close box does. The signals are blocked in every thread and taken by one
// watcher thread, which only posts a message: the user-interface thread does
// the rest.
#pragma once

#include <memory>

#include "platform/framework/afxwin.h"
#include "platform/framework/descriptor_watch.h"

class SignalWatch {
public:
    // Blocks the signals in the calling thread; threads started afterwards
    // inherit the mask. Call before any other thread exists. Also ignores
    // SIGXFSZ and SIGPIPE, so that a file size limit or a reader gone fails
    // writes instead of ending the process.
    static void BlockSignals();

    // Starts watching; each signal closes the application's main window.
    SignalWatch();
    // Stops the watcher and joins it.
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

private:
    // Receives the watcher's post on the user-interface thread.
    class Receiver : public CWnd {
    public:
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    };

    Receiver m_receiver;
    int m_signalFd = -1;
    std::unique_ptr<DescriptorWatch> m_watch;  // after the descriptor it reads: stopped first
};
