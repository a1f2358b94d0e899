#include <optional>

#include "platform/framework/afxwin.h"
#include "platform/framework/signal_watch.h"
#include "platform/framework/headless/console_run.h"

#if ZANDREL_WITH_QT
#include "platform/framework/qt/qt_backend.h"
#endif

int AfxWinMain(int argc, char** argv) {
    AfxSetCommandLine(argc, argv);
    // Before any thread exists, so that every thread inherits the mask.
    SignalWatch::BlockSignals();
#if ZANDREL_WITH_QT
    const bool console = AfxIsHeadless();
    std::optional<qtui::Session> window;
    if (!console) window.emplace(argc, argv);
#else
    const bool console = true;  // built without the window
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
    return console ? headless::FinishConsoleRun() : status;
}
