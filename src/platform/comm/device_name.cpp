#include "platform/comm/device_name.h"

#include <cctype>
#include <cstdlib>

namespace comm {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";
constexpr size_t kMaxDigits = 6;

bool IsComPrefix(std::string_view name) {
    return name.size() > 3 && std::tolower(static_cast<unsigned char>(name[0])) == 'c' &&
           std::tolower(static_cast<unsigned char>(name[1])) == 'o' &&
           std::tolower(static_cast<unsigned char>(name[2])) == 'm';
}

std::optional<unsigned> PortNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > kMaxDigits) return std::nullopt;
    unsigned number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number == 0) return std::nullopt;
    return number;
}

}  // namespace

std::optional<std::string> LinuxDeviceFor(std::string_view name) {
    if (!name.starts_with(kDevicePrefix)) return std::nullopt;
    std::string_view rest = name.substr(kDevicePrefix.size());
    if (rest.starts_with('/')) return std::string(rest);
    if (!IsComPrefix(rest)) return std::nullopt;
    auto number = PortNumber(rest.substr(3));
    if (!number) return std::nullopt;
    std::string variable = "ZANDREL_COM" + std::to_string(*number);
    if (const char* mapped = std::getenv(variable.c_str()); mapped && *mapped) return std::string(mapped);
    return "/dev/ttyS" + std::to_string(*number - 1);
}

}  // namespace comm
