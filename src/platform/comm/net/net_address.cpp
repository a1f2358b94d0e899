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

std::optional<NetAddress> ParseNetAddress(std::string_view text) {
    const size_t schemeEnd = text.find(kSchemeEnd);
    if (schemeEnd == std::string_view::npos) return std::nullopt;
    const std::string_view scheme = text.substr(0, schemeEnd);
    NetAddress address{};
    if (SameLetters(scheme, kRfc2217)) address.protocol = NetAddress::Protocol::Rfc2217;
    else if (SameLetters(scheme, kTcp)) address.protocol = NetAddress::Protocol::RawTcp;
    else return std::nullopt;

    std::string_view rest = text.substr(schemeEnd + kSchemeEnd.size());
    std::string_view host;
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = rest.substr(1, close - 1);
        if (!AllOf(host, Ipv6Char) || host.find(':') == std::string_view::npos) return std::nullopt;
        rest = rest.substr(close + 1);
        if (!rest.starts_with(':')) return std::nullopt;
    } else {
        const size_t colon = rest.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        host = rest.substr(0, colon);
        if (!AllOf(host, HostNameChar)) return std::nullopt;
        rest = rest.substr(colon);
    }
    const std::string_view port = rest.substr(1);
    if (!ValidPort(port)) return std::nullopt;
    address.host = host;
    address.port = port;
    return address;
}

std::string NetAddressText(const NetAddress& address) {
    std::string text(address.protocol == NetAddress::Protocol::Rfc2217 ? kRfc2217 : kTcp);
    text += kSchemeEnd;
    const bool ipv6 = address.host.find(':') != std::string::npos;
    text += ipv6 ? "[" + address.host + "]" : address.host;
    return text + ":" + address.port;
}

}  // namespace comm::net
