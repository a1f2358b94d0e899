#include "platform/framework/headless/console_run.h"

#include <cstdio>

#include "platform/comm/comm_report.h"
#include "platform/framework/headless/headless_backend.h"

namespace headless {

namespace {

void TellRefusal(const std::string& text) {
    HeadlessBackend::Instance().PrintLine(std::string(AfxGetAppName()) + ": " + text);
}

}  // namespace

void UseConsole() {
    HeadlessBackend::Instance().Reset(false, true);
    // Line settings a port refused are told when it happens; the job goes on.
    SetCommSettingsRefusalListener(TellRefusal);
}

int FinishConsoleRun() {
    HeadlessBackend& backend = HeadlessBackend::Instance();
    backend.EndStatusLine();
    CommOpenReport report = GetLastCommOpenReport();
    bool portFailed = report.attempted && report.failed;
    if (portFailed) {
        std::fprintf(stderr, "%s: cannot open %s (%s): %s\n", AfxGetAppName(), report.devicePath.c_str(),
                     report.linuxDevice.empty() ? "no Linux device" : report.linuxDevice.c_str(),
                     report.reason.c_str());
    }
    if (backend.messageBoxesShown > 0) return 2;
    return portFailed ? 1 : 0;
}

}  // namespace headless
