// The network forms of a port name: rfc2217://HOST:PORT and tcp://HOST:PORT.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace comm::net {

struct NetAddress {
    enum class Protocol { Rfc2217, RawTcp };
    Protocol protocol;
    std::string host;  // a name, an IPv4 address, or an IPv6 address without its brackets
    std::string port;  // decimal, 1..65535
};

// Whether the text is meant as a network form (it has a scheme), well formed or not.
bool LooksLikeNetAddress(std::string_view text);

// The address, or nothing when the text is not a well-formed network form.
// IPv6 addresses stand in brackets: rfc2217://[::1]:2217.
std::optional<NetAddress> ParseNetAddress(std::string_view text);

// What is wrong with a text that is not a well-formed network form, in words
// ("no port after the host (rfc2217://HOST:PORT or tcp://HOST:PORT)"); empty
// for a well-formed one.
std::string NetAddressProblem(std::string_view text);

// The address written as ParseNetAddress reads it.
std::string NetAddressText(const NetAddress& address);

}  // namespace comm::net
