#include "platform/comm/comm_report.h"

#include <mutex>

#include "platform/comm/open_report.h"

namespace comm {
namespace {

std::mutex g_reportLock;
CommOpenReport g_report;

}  // namespace

void RecordOpen(const CommOpenReport& report) {
    std::lock_guard lock(g_reportLock);
    g_report = report;
}

}  // namespace comm

CommOpenReport GetLastCommOpenReport() {
    std::lock_guard lock(comm::g_reportLock);
    return comm::g_report;
}
