// Telling a user that a line's settings were refused and what it runs instead.
#pragma once

#include <string>

#include "platform/win32.h"

namespace comm {

// "/dev/ttyUSB0 cannot take 6 data bits, kept 9600 8N1": the refused parts of
// asked (LineParts), then what the line runs.
std::string DescribeRefusal(const std::string& path, const DCB& asked, const DCB& kept, unsigned refusedParts);
// "rfc2217://bench:2217 was asked for 1.5 stop bits: the server did not
// answer within 5 s; kept 9600 8N1": parts left unanswered, and why.
std::string DescribeUnanswered(const std::string& path, const DCB& asked, const DCB& kept, unsigned parts,
                               const std::string& why);

}  // namespace comm
