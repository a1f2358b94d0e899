#include "platform/comm/net/net_address.h"

#include <cctype>

namespace comm::net {
namespace {

constexpr std::string_view kSchemeEnd = "://";
constexpr std::string_view kRfc2217 = "rfc2217";
constexpr std::string_view kTcp = "tcp";
constexpr unsigned kMaxPort = 65535;

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

bool ValidPort(std::string_view port) {
    if (port.empty() || port.size() > 5) return false;
    unsigned number = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number >= 1 && number <= kMaxPort;
}

bool AllOf(std::string_view text, bool (*allowed)(unsigned char)) {
    if (text.empty()) return false;
    for (char c : text)
        if (!allowed(static_cast<unsigned char>(c))) return false;
    return true;
}

// Letters, digits, dots and hyphens (an IPv4 address is one too).
bool HostNameChar(unsigned char c) { return std::isalnum(c) || c == '.' || c == '-'; }
// Hex digits, colons, the dots of an embedded IPv4 address, a zone after %.
bool Ipv6Char(unsigned char c) { return std::isalnum(c) || c == ':' || c == '.' || c == '%'; }

}  // namespace

bool LooksLikeNetAddress(std::string_view text) { return text.find(kSchemeEnd) != std::string_view::npos; }

namespace {

// The address, or what is wrong with the form in words for the user (who
// wrote it: shown as typed, made visible by whoever shows it).
std::optional<NetAddress> Parse(std::string_view text, std::string& problem) {
    const std::string usage = " (rfc2217://HOST:PORT or tcp://HOST:PORT)";
    const size_t schemeEnd = text.find(kSchemeEnd);
    if (schemeEnd == std::string_view::npos) {
        problem = "not a port server's address" + usage;
        return std::nullopt;
    }
    const std::string_view scheme = text.substr(0, schemeEnd);
    NetAddress address{};
    if (SameLetters(scheme, kRfc2217)) address.protocol = NetAddress::Protocol::Rfc2217;
    else if (SameLetters(scheme, kTcp)) address.protocol = NetAddress::Protocol::RawTcp;
    else {
        problem = std::string(scheme) + ":// is not a port server's protocol" + usage;
        return std::nullopt;
    }

    std::string_view rest = text.substr(schemeEnd + kSchemeEnd.size());
    std::string_view host;
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        host = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        if (close == std::string_view::npos || !AllOf(host, Ipv6Char) || host.find(':') == std::string_view::npos) {
            problem = "[" + std::string(host) + "] is not an IPv6 address";
            return std::nullopt;
        }
        rest = rest.substr(close + 1);
    } else {
        host = rest.substr(0, rest.find(':'));
        if (host.empty()) {
            problem = "no host before the port" + usage;
            return std::nullopt;
        }
        if (!AllOf(host, HostNameChar)) {
            problem = "\"" + std::string(host) + "\" is not a host name or address (an IPv6 address goes in brackets)";
            return std::nullopt;
        }
        rest = rest.substr(host.size());
    }
    if (!rest.starts_with(':') || rest.size() == 1) {
        problem = "no port after the host" + usage;
        return std::nullopt;
    }
    const std::string_view port = rest.substr(1);
    if (!ValidPort(port)) {
        problem = "port " + std::string(port) + " is not a port number (1 to 65535)";
        return std::nullopt;
    }
    address.host = host;
    address.port = port;
    return address;
}

}  // namespace

std::optional<NetAddress> ParseNetAddress(std::string_view text) {
    std::string problem;
    return Parse(text, problem);
}

std::string NetAddressProblem(std::string_view text) {
    std::string problem;
    Parse(text, problem);
    return problem;
}

std::string NetAddressText(const NetAddress& address) {
    std::string text(address.protocol == NetAddress::Protocol::Rfc2217 ? kRfc2217 : kTcp);
    text += kSchemeEnd;
    const bool ipv6 = address.host.find(':') != std::string::npos;
    text += ipv6 ? "[" + address.host + "]" : address.host;
    return text + ":" + address.port;
}

}  // namespace comm::net
