#include "platform/comm/timeout_rules.h"

#include <algorithm>
#include <cstdint>

namespace comm {
namespace {

// Products of two large DWORDs would overflow the clock; a few years is "never".
constexpr std::uint64_t kLongestLimitMs = std::uint64_t{MAXDWORD} * 16;

std::optional<Clock::duration> Limit(DWORD multiplier, DWORD constant, DWORD length) {
    if (multiplier == 0 && constant == 0) return std::nullopt;
    std::uint64_t ms = static_cast<std::uint64_t>(multiplier) * length + constant;
    return std::chrono::milliseconds(std::min(ms, kLongestLimitMs));
}

}  // namespace

TransferRule ReadRuleFor(const COMMTIMEOUTS& t, DWORD length) {
    TransferRule rule;
    if (t.ReadIntervalTimeout == MAXDWORD) {
        if (t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
            rule.atOnce = true;
            return rule;
        }
        if (t.ReadTotalTimeoutMultiplier == MAXDWORD && t.ReadTotalTimeoutConstant != MAXDWORD &&
            t.ReadTotalTimeoutConstant != 0) {
            rule.onFirstByte = true;
            rule.total = std::chrono::milliseconds(t.ReadTotalTimeoutConstant);
            return rule;
        }
    } else if (t.ReadIntervalTimeout != 0) {
        rule.interval = std::chrono::milliseconds(t.ReadIntervalTimeout);
    }
    rule.total = Limit(t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, length);
    return rule;
}

TransferRule WriteRuleFor(const COMMTIMEOUTS& t, DWORD length) {
    TransferRule rule;
    rule.total = Limit(t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant, length);
    return rule;
}

bool ValidTimeouts(const COMMTIMEOUTS& t) {
    return !(t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
             t.ReadTotalTimeoutConstant == MAXDWORD);
}

}  // namespace comm
