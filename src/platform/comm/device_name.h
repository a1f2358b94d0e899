// Which Linux device a Win32 device name opens.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/comm/net/net_address.h"

namespace comm {

// \\.\COMn (COM in any case, n decimal from 1) is $ZANDREL_COMn when set, else
// /dev/ttyS<n-1>; \\.\ followed by an absolute path is that path. Anything
// else, and a name that leads to a network port, names no device.
std::optional<std::string> LinuxDeviceFor(std::string_view name);

// The network port a name leads to: \\.\ followed by rfc2217://HOST:PORT or
// tcp://HOST:PORT, or a \\.\COMn whose $ZANDREL_COMn is one; nothing for any
// other name, and for a network form that is not well formed.
std::optional<net::NetAddress> NetworkPortFor(std::string_view name);

// The network form a name leads to, well formed or not: for telling what is
// wrong with one that is not.
std::optional<std::string> NetworkFormFor(std::string_view name);

// What the name opens, for QueryDosDevice and the like: the Linux device, or
// the network port's address ("rfc2217://bench:2217"; as given when it is not
// well formed).
std::optional<std::string> TargetFor(std::string_view name);

// Where the name leads, for telling a user: "COM3 -> /dev/ttyUSB0 through
// ZANDREL_COM3", "COM1 -> /dev/ttyS0", "/dev/ttyACM0", "COM4 ->
// rfc2217://bench:2217 through ZANDREL_COM4 (server: ser2net)" once the
// server has told its signature, control characters made visible; nothing
// when the name names no device.
std::optional<std::string> DescribeDevice(std::string_view name);

// The variable that chooses what a \\.\COMn name opens ("ZANDREL_COM3") and
// whether it is set; nothing for a name no variable chooses.
struct DeviceVariable {
    std::string name;
    bool set;
};
std::optional<DeviceVariable> VariableFor(std::string_view name);

}  // namespace comm
