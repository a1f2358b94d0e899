#include <cstdio>
#include <string>

#include "platform/framework/afxwin.h"
#include "platform/framework/entry/window_module.h"
#include "platform/framework/signal_watch.h"
#include "platform/framework/headless/console_run.h"
#include "platform/kernel/background_close.h"
#include "platform/kernel/visible_text.h"

int AfxWinMain(int argc, char** argv, int (*pfnNoSwitches)()) {
    const bool noSwitches = argc <= 1;
    bool console = AfxIsHeadless();
#if !ZANDREL_WITH_QT
    console = true;  // built without the window
#endif
    if (console && noSwitches) return pfnNoSwitches();
    AfxSetCommandLine(argc, argv);
    AfxGetAppName();  // the default name, now that the resources are registered
    // Before any thread exists, so that every thread inherits the mask.
    SignalWatch::BlockSignals();
#if ZANDREL_WITH_QT
    WindowModule window;
    std::string reason;
    if (!console && !window.Open(argc > 0 ? argv[0] : "zandrel", reason)) {
        // The reason may hold the display's name or the program's path as they were given.
        const std::string shown = kernel::VisibleText(reason);
        if (noSwitches) {
            std::fprintf(stderr, "zandrel: no window (%s)\n", shown.c_str());
            return pfnNoSwitches();
        }
        std::fprintf(stderr, "zandrel: no window (%s); running on the console\n", shown.c_str());
        console = true;
    }
#endif
    if (console) headless::UseConsole();

    int status = 0;
    {
        SignalWatch signals;
        if (CWinApp* app = AfxGetApp()) {
            // The program ends its work inside InitInstance (its dialog is modal);
            // there is no application message loop to run afterwards.
            app->InitInstance();
            status = app->ExitInstance();
        }
    }
    // Ports close on threads of their own: each line is put back before the process ends, unless its device
    // stopped answering.
    for (const std::string& name : kernel::WaitForBackgroundCloses()) {
        const std::string text =
            kernel::VisibleText(name) + " did not finish closing; its line settings may not have been put back";
        if (console) AfxReportJobFault(text.c_str());
        else std::fprintf(stderr, "zandrel: %s\n", text.c_str());
    }
    return console ? headless::FinishConsoleRun() : status;
}
