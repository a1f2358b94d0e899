// Records the outcome of each comm open for GetLastCommOpenReport.
#pragma once

#include "platform/comm/comm_report.h"

namespace comm {

void RecordOpen(const CommOpenReport& report);

}  // namespace comm
