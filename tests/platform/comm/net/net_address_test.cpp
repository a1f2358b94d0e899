// The network forms of a port name, and COMn leading to them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/comm/device_name.h"
#include "platform/comm/net/net_address.h"

namespace {

using comm::net::NetAddress;
using Protocol = NetAddress::Protocol;

TEST(NetAddress, ParsesHostsAndPortsAndSaysWhatIsWrongWithTheMalformed) {
    const std::string usage = " (rfc2217://HOST:PORT or tcp://HOST:PORT)";
    struct Case {
        const char* text;
        std::string problem;  // empty for a well-formed address
        Protocol protocol;
        const char* host;
        const char* port;
    };
    const std::vector<Case> cases = {
        {"rfc2217://127.0.0.1:2217", "", Protocol::Rfc2217, "127.0.0.1", "2217"},
        {"tcp://bench-3.lab:4001", "", Protocol::RawTcp, "bench-3.lab", "4001"},
        {"RFC2217://[::1]:65535", "", Protocol::Rfc2217, "::1", "65535"},
        {"tcp://[fe80::1%eth0]:1", "", Protocol::RawTcp, "fe80::1%eth0", "1"},
        {"rfc2217://127.0.0.1", "no port after the host" + usage, {}, "", ""},
        {"rfc2217://host:", "no port after the host" + usage, {}, "", ""},
        {"rfc2217://host:0", "port 0 is not a port number (1 to 65535)", {}, "", ""},
        {"rfc2217://host:99999", "port 99999 is not a port number (1 to 65535)", {}, "", ""},
        {"rfc2217://host:22x", "port 22x is not a port number (1 to 65535)", {}, "", ""},
        {"rfc2217://:2217", "no host before the port" + usage, {}, "", ""},
        {"rfc2217://::1:2217", "no host before the port" + usage, {}, "", ""},  // IPv6 needs its brackets
        {"rfc2217://[::1]2217", "no port after the host" + usage, {}, "", ""},
        {"rfc2217://[]:2217", "[] is not an IPv6 address", {}, "", ""},
        {"rfc2217://[::1:2217", "[::1:2217] is not an IPv6 address", {}, "", ""},
        {"rfc2217://a b:2217", "\"a b\" is not a host name or address (an IPv6 address goes in brackets)", {}, "", ""},
        {"telnet://host:23", "telnet:// is not a port server's protocol" + usage, {}, "", ""},
        {"/dev/ttyUSB0", "not a port server's address" + usage, {}, "", ""},
    };
    for (const Case& c : cases) {
        const auto address = comm::net::ParseNetAddress(c.text);
        EXPECT_EQ(comm::net::NetAddressProblem(c.text), c.problem) << c.text;
        ASSERT_EQ(address.has_value(), c.problem.empty()) << c.text;
        if (!address) continue;
        EXPECT_EQ(address->protocol, c.protocol) << c.text;
        EXPECT_EQ(address->host, c.host) << c.text;
        EXPECT_EQ(address->port, c.port) << c.text;
        EXPECT_EQ(comm::net::ParseNetAddress(comm::net::NetAddressText(*address))->host, c.host) << c.text;
    }
}

TEST(NetAddress, AComPortMappedToTheNetworkIsNoDevicePath) {
    setenv("ZANDREL_COM41", "rfc2217://[::1]:2217", 1);
    setenv("ZANDREL_COM42", "rfc2217://nohost", 1);
    setenv("ZANDREL_COM43", "/dev/ttyUSB0", 1);
    const auto network = comm::NetworkPortFor("\\\\.\\COM41");
    ASSERT_TRUE(network);
    EXPECT_EQ(network->host, "::1");
    EXPECT_FALSE(comm::LinuxDeviceFor("\\\\.\\COM41"));
    EXPECT_EQ(comm::DescribeDevice("\\\\.\\COM41"), "COM41 -> rfc2217://[::1]:2217 through ZANDREL_COM41");

    EXPECT_FALSE(comm::NetworkPortFor("\\\\.\\COM42"));  // meant for the network, not well formed
    EXPECT_FALSE(comm::LinuxDeviceFor("\\\\.\\COM42"));

    EXPECT_FALSE(comm::NetworkPortFor("\\\\.\\COM43"));
    EXPECT_EQ(comm::LinuxDeviceFor("\\\\.\\COM43"), "/dev/ttyUSB0");
    EXPECT_FALSE(comm::NetworkPortFor("\\\\.\\/dev/ttyS0"));
    for (const char* name : {"ZANDREL_COM41", "ZANDREL_COM42", "ZANDREL_COM43"}) unsetenv(name);
}

}  // namespace
