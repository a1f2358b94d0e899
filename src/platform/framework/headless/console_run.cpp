#include "platform/framework/headless/console_run.h"

#include "platform/framework/headless/headless_backend.h"

namespace headless {

void UseConsole() { HeadlessBackend::Instance().Reset(false, true); }

int FinishConsoleRun() {
    HeadlessBackend& backend = HeadlessBackend::Instance();
    backend.EndConsoleOutput();
    if (backend.messageBoxesShown > 0) return 2;
    return backend.jobFaults.empty() ? 0 : 1;
}

}  // namespace headless
