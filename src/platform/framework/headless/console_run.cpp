#include "platform/framework/headless/console_run.h"

#include <errno.h>

#include <cstdio>

#include "platform/comm/comm_report.h"
#include "platform/framework/headless/headless_backend.h"

namespace headless {

void UseConsole() { HeadlessBackend::Instance().Reset(false, true); }

int FinishConsoleRun() {
    HeadlessBackend& backend = HeadlessBackend::Instance();
    backend.EndStatusLine();
    CommOpenReport report = GetLastCommOpenReport();
    bool portFailed = report.attempted && report.failed;
    if (portFailed) {
        std::fprintf(stderr, "%s: cannot open %s (%s): %s\n", program_invocation_short_name, report.devicePath.c_str(),
                     report.linuxDevice.empty() ? "no Linux device" : report.linuxDevice.c_str(),
                     report.reason.c_str());
    }
    if (backend.messageBoxesShown > 0) return 2;
    return portFailed || !backend.jobFaults.empty() ? 1 : 0;
}

}  // namespace headless
