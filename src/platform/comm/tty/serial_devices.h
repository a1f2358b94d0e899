// The serial devices this machine has, read from sysfs and /dev without
// opening any: what a user can pick when they do not know Linux's names.
#pragma once

#include <string>
#include <vector>

namespace comm {

struct SerialDevice {
    // What to open: the stable /dev/serial/by-id/ name where the device has
    // one that fits a port name, or /dev/serial0 or /dev/serial1 where one
    // leads to it, else the node.
    std::string path;
    std::string node;  // "/dev/ttyUSB0"
    // "FTDI FT232R USB UART A50285BI", "16550A UART", "uart-pl011",
    // "Bluetooth RFCOMM 00:1A:7D:DA:71:13 channel 1": control characters made
    // visible, at most kMaxIdentityText bytes.
    std::string description;
};

// USB devices (ttyACM*, ttyUSB*), the ttyS* ports that have a UART behind
// them (the kernel makes ttyS0..3 whether or not one is there), the boards'
// own UARTs (ttyAMA*, ttymxc*, ttyO*, ttyTHS*, ttySC*) and Bluetooth serial
// links (rfcomm*), each only when its node is in /dev; USB ones first, each
// kind in number order.
// Everything is read under root ("/"; a test's stand-in tree), and the paths
// are as seen from it.
std::vector<SerialDevice> SerialDevicesPresent(const std::string& root);

}  // namespace comm
