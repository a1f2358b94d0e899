// Which physical device a character device number stands for, read from
// sysfs: what tells an adapter plugged back from another one that now has its
// name.
#pragma once

#include <filesystem>
#include <string>

namespace comm {

struct DeviceIdentity {
    // Compares: "usb 0403:6001 if00 serial=A50285BI", "char 4:65", "pty".
    std::string key;
    // For a user: "FTDI FT232R USB UART A50285BI", "ttyS1 (device 4:65)";
    // control characters made visible, at most kMaxIdentityText bytes.
    std::string text;
};

// Room for a maker's, a product's and a serial number's strings of common
// length; a device's own strings may each be 126 characters, and are cut.
constexpr size_t kMaxIdentityText = 200;

// A USB device by vendor, product, interface and serial number, wherever it
// is plugged; any other device by its number. Every pseudo-terminal is one
// and the same: its number goes to whichever pty is made next, so it tells
// nothing. sysfs is looked up under root ("/"; a test's stand-in tree).
DeviceIdentity IdentityOf(unsigned major, unsigned minor, const std::string& root);

// A sysfs attribute's first line, at most 512 characters; empty when there is none.
std::string SysfsAttribute(const std::filesystem::path& file);

// The identity of the character device an open descriptor or a path leads to;
// 0 or an errno value (ENODEV: not a character device).
int IdentityOfDescriptor(int fd, DeviceIdentity& identity);
int IdentityOfPath(const std::string& path, DeviceIdentity& identity);

}  // namespace comm
