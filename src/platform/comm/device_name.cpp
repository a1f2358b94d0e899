#include "platform/comm/device_name.h"

#include <cctype>
#include <cstdlib>

#include "platform/comm/net/server_signature.h"
#include "platform/kernel/visible_text.h"

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

struct Mapping {
    std::string device;    // a path, or a network port's address as given
    std::string variable;  // the environment variable that chose the device, if one did
    bool network;          // the device is a network form, well formed or not
};

// The port number of a \\.\COMn name.
std::optional<unsigned> ComNumber(std::string_view name) {
    if (!name.starts_with(kDevicePrefix)) return std::nullopt;
    std::string_view rest = name.substr(kDevicePrefix.size());
    if (!IsComPrefix(rest)) return std::nullopt;
    return PortNumber(rest.substr(3));
}

std::string VariableOf(unsigned number) { return "ZANDREL_COM" + std::to_string(number); }

const char* MappedDevice(const std::string& variable) {
    const char* mapped = std::getenv(variable.c_str());
    return mapped && *mapped ? mapped : nullptr;
}

std::optional<Mapping> Map(std::string_view name) {
    if (!name.starts_with(kDevicePrefix)) return std::nullopt;
    std::string_view rest = name.substr(kDevicePrefix.size());
    if (rest.starts_with('/')) return Mapping{std::string(rest), "", false};
    if (net::LooksLikeNetAddress(rest)) return Mapping{std::string(rest), "", true};
    auto number = ComNumber(name);
    if (!number) return std::nullopt;
    std::string variable = VariableOf(*number);
    if (const char* mapped = MappedDevice(variable)) return Mapping{mapped, variable, net::LooksLikeNetAddress(mapped)};
    return Mapping{"/dev/ttyS" + std::to_string(*number - 1), "", false};
}

}  // namespace

std::optional<std::string> LinuxDeviceFor(std::string_view name) {
    std::optional<Mapping> mapping = Map(name);
    if (!mapping || mapping->network) return std::nullopt;
    return std::move(mapping->device);
}

std::optional<net::NetAddress> NetworkPortFor(std::string_view name) {
    std::optional<Mapping> mapping = Map(name);
    if (!mapping || !mapping->network) return std::nullopt;
    return net::ParseNetAddress(mapping->device);
}

std::optional<std::string> NetworkFormFor(std::string_view name) {
    std::optional<Mapping> mapping = Map(name);
    if (!mapping || !mapping->network) return std::nullopt;
    return std::move(mapping->device);
}

std::optional<std::string> TargetFor(std::string_view name) {
    if (auto address = NetworkPortFor(name)) return net::NetAddressText(*address);
    // A network form that is not well formed is still what the name leads to, as given.
    if (auto form = NetworkFormFor(name)) return form;
    return LinuxDeviceFor(name);
}

std::optional<std::string> DescribeDevice(std::string_view name) {
    std::optional<Mapping> mapping = Map(name);
    if (!mapping) return std::nullopt;
    std::string_view given = name.substr(kDevicePrefix.size());
    // Typed or set by whoever ran the program: shown, not acted on.
    std::string description = kernel::VisibleText(mapping->device);
    if (given != mapping->device) description = kernel::VisibleText(given) + " -> " + description;
    if (!mapping->variable.empty()) description += " through " + mapping->variable;
    // A port server's own words, as far as this process has heard them.
    if (auto address = net::ParseNetAddress(mapping->device)) {
        const std::string signature = net::SignatureOf(net::NetAddressText(*address));
        if (!signature.empty()) description += " (server: " + kernel::VisibleText(signature) + ")";
    }
    return description;
}

std::optional<DeviceVariable> VariableFor(std::string_view name) {
    auto number = ComNumber(name);
    if (!number) return std::nullopt;
    std::string variable = VariableOf(*number);
    const bool set = MappedDevice(variable) != nullptr;
    return DeviceVariable{std::move(variable), set};
}

}  // namespace comm
