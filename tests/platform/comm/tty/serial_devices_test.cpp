// Which serial devices a user is offered: read from a tree that stands in for
// sysfs and /dev, and from this machine.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "platform/comm/tty/serial_devices.h"
#include "platform/comm/tty/stand_in_sysfs.h"
#include "platform/win32.h"

namespace {

using testsupport::kFtdi;
using testsupport::kFtdiUsb;

class SerialDevices : public testsupport::StandInSysfs {
protected:
    // A UART port of serial8250 with its serial_core type (0: none behind it).
    void Uart(const std::string& name, const std::string& number, const char* type) {
        Attributes(Tty(number, "platform/serial8250/tty/" + name, "platform/serial8250"), {{"type", type}});
    }

    // A board's UART at device on its bus, bound to driver (none: "").
    void BoardUart(const std::string& name, const std::string& number, const std::string& device,
                   const std::string& driver, const char* type) {
        namespace fs = std::filesystem;
        Attributes(Tty(number, device + "/tty/" + name, device), {{"type", type}});
        if (driver.empty()) return;
        const fs::path bound = m_root / "sys/bus/platform/drivers" / driver;
        fs::create_directories(bound);
        fs::create_directory_symlink(bound.lexically_relative(Devices() / device), Devices() / device / "driver");
    }

    // /dev/serial0 or /dev/serial1, linked as Raspberry Pi OS's udev rule links it.
    void Alias(const std::string& alias, const std::string& name) {
        std::filesystem::create_symlink(name, m_root / "dev" / alias);
    }
};

TEST_F(SerialDevices, UsbOnesByTheirStableNamesThenThePortsWithAUartThenBoardUartsAndBluetooth) {
    const std::string longName = "usb-" + std::string(226, 'x') + "-if00-port0";
    const std::string longString(126, 'L');  // as long as a USB string can be
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* path;  // listed as; null when left out
        std::string description;
    };
    const Case cases[] = {
        {"a Pico on cdc_acm, by its stable name",
         [&] {
             UsbDevice("pci0000:00/usb1/1-1", {{"idVendor", "2e8a"}, {"idProduct", "000a"}, {"serial", "E6614103E7"},
                                               {"manufacturer", "Raspberry Pi"}, {"product", "Pico"}});
             Interface("pci0000:00/usb1/1-1/1-1:1.0", "00");
             Tty("166:0", "pci0000:00/usb1/1-1/1-1:1.0/tty/ttyACM0", "pci0000:00/usb1/1-1/1-1:1.0");
             Node("ttyACM0");
             StableName("usb-Raspberry_Pi_Pico_E6614103E7-if00", "ttyACM0");
         },
         "/dev/serial/by-id/usb-Raspberry_Pi_Pico_E6614103E7-if00", "Raspberry Pi Pico E6614103E7"},
        {"an FT232, by its stable name",
         [&] {
             UsbDevice(kFtdiUsb, kFtdi);
             UsbSerialPort("188:0", kFtdiUsb, "00", "ttyUSB0");
             Node("ttyUSB0");
             StableName("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0");
         },
         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "FTDI FT232R USB UART A50285BI"},
        {"a CH340 without a serial number has no stable name",
         [&] {
             UsbDevice("pci0000:00/usb1/1-4", {{"idVendor", "1a86"}, {"idProduct", "7523"}, {"product", "USB Serial"}});
             UsbSerialPort("188:1", "pci0000:00/usb1/1-4", "00", "ttyUSB1");
             Node("ttyUSB1");
         },
         "/dev/ttyUSB1", "USB Serial"},
        {"a stable name too long for a port name",
         [&] {
             UsbDevice("pci0000:00/usb1/1-5", kFtdi);
             UsbSerialPort("188:2", "pci0000:00/usb1/1-5", "00", "ttyUSB2");
             Node("ttyUSB2");
             StableName(longName, "ttyUSB2");
         },
         "/dev/ttyUSB2", "FTDI FT232R USB UART A50285BI"},
        {"strings that would retitle the terminal and clear it, and a stable name with an ESC: by its node",
         [&] {
             UsbDevice("pci0000:00/usb1/1-7", {{"idVendor", "1a86"}, {"idProduct", "7523"},
                                               {"manufacturer", "\x1BP$q\"p\x1B\\"},
                                               {"product", "USB Serial \x1B]0;OWNED\x07\x1B[2J\r fake"},
                                               {"serial", "\x1B[8m1"}});
             UsbSerialPort("188:4", "pci0000:00/usb1/1-7", "00", "ttyUSB4");
             Node("ttyUSB4");
             StableName("usb-\x1B[2J-if00-port0", "ttyUSB4");
         },
         "/dev/ttyUSB4",
         "\\x1BP$q\"p\\x1B\\\\ USB Serial \\x1B]0;OWNED\\x07\\x1B[2J\\x0D fake \\x1B[8m1"},
        {"strings as long as USB allows: cut and marked",
         [&] {
             UsbDevice("pci0000:00/usb1/1-8", {{"idVendor", "1a86"}, {"idProduct", "7523"},
                                               {"manufacturer", "M" + longString}, {"product", "P" + longString},
                                               {"serial", "S" + longString}});
             UsbSerialPort("188:5", "pci0000:00/usb1/1-8", "00", "ttyUSB5");
             Node("ttyUSB5");
         },
         "/dev/ttyUSB5", ("M" + longString + " P" + longString).substr(0, 197) + "..."},
        {"an adapter in sysfs whose node is not in /dev",
         [&] {
             UsbDevice("pci0000:00/usb1/1-6", kFtdi);
             UsbSerialPort("188:3", "pci0000:00/usb1/1-6", "00", "ttyUSB3");
         },
         nullptr, ""},
        {"a 16550A", [&] { Uart("ttyS0", "4:64", "4"); Node("ttyS0"); }, "/dev/ttyS0", "16550A UART"},
        {"a ttyS with no UART behind it", [&] { Uart("ttyS1", "4:65", "0"); Node("ttyS1"); }, nullptr, ""},
        {"an 8250, in number order", [&] { Uart("ttyS2", "4:66", "1"); Node("ttyS2"); }, "/dev/ttyS2", "8250 UART"},
        {"a UART of a type without a name", [&] { Uart("ttyS10", "4:74", "123"); Node("ttyS10"); }, "/dev/ttyS10",
         "UART"},
        {"a Pi's PL011, by the name the Pi gives it",
         [&] {
             BoardUart("ttyAMA0", "204:64", "platform/soc/fe201000.serial", "uart-pl011", "32");
             Node("ttyAMA0");
             Alias("serial1", "ttyAMA0");
         },
         "/dev/serial1", "uart-pl011"},
        {"a PL011 with no UART behind it",
         [&] { BoardUart("ttyAMA1", "204:65", "platform/soc/fe201400.serial", "uart-pl011", "0"); Node("ttyAMA1"); },
         nullptr, ""},
        {"an i.MX UART",
         [&] { BoardUart("ttymxc0", "207:16", "platform/soc/2020000.serial", "imx-uart", "62"); Node("ttymxc0"); },
         "/dev/ttymxc0", "imx-uart"},
        {"an OMAP UART",
         [&] { BoardUart("ttyO2", "253:2", "platform/ocp/48020000.serial", "omap_uart", "96"); Node("ttyO2"); },
         "/dev/ttyO2", "omap_uart"},
        {"a Jetson UART",
         [&] { BoardUart("ttyTHS1", "238:1", "platform/3100000.serial", "serial-tegra", "101"); Node("ttyTHS1"); },
         "/dev/ttyTHS1", "serial-tegra"},
        {"an SPI UART, not taken for a ttyS",
         [&] { BoardUart("ttySC0", "240:0", "platform/soc/spi0.0", "sc16is7xx", "1"); Node("ttySC0"); },
         "/dev/ttySC0", "sc16is7xx"},
        {"a board UART without a driver, by its type",
         [&] { BoardUart("ttySC1", "240:1", "platform/soc/spi0.1", "", "4"); Node("ttySC1"); }, "/dev/ttySC1",
         "16550A UART"},
        {"a Bluetooth link",
         [&] {
             Attributes(Tty("216:0", "virtual/tty/rfcomm0", "virtual"), {{"address", "00:1A:7D:DA:71:13"}, {"channel", "1"}});
             Node("rfcomm0");
         },
         "/dev/rfcomm0", "Bluetooth RFCOMM 00:1A:7D:DA:71:13 channel 1"},
        {"a virtual console", [&] { Tty("4:5", "virtual/tty/tty5", "virtual"); Node("tty5"); }, nullptr, ""},
        {"a name of no kind", [&] { Tty("4:6", "virtual/tty/ttyAMAx", "virtual"); Node("ttyAMAx"); }, nullptr, ""},
    };
    std::vector<std::pair<std::string, std::string>> expected;
    // Made in reverse, so that the order listed is not the order made.
    for (auto c = std::rbegin(cases); c != std::rend(cases); ++c) c->make();
    for (const Case& c : cases)
        if (c.path) expected.emplace_back(c.path, c.description);

    std::vector<std::pair<std::string, std::string>> listed;
    for (const comm::SerialDevice& device : comm::SerialDevicesPresent(m_root.string())) {
        listed.emplace_back(device.path, device.description);
        EXPECT_TRUE(device.node.starts_with("/dev/")) << device.node;
        EXPECT_TRUE(std::filesystem::exists(m_root / device.node.substr(1))) << device.node;
    }
    EXPECT_EQ(listed, expected);
}

TEST_F(SerialDevices, NoneInATreeWithoutSysfs) {
    EXPECT_TRUE(comm::SerialDevicesPresent(m_root.string()).empty());
}

TEST(EnumCommDevices, ListsThisMachinesDevicesEachANodeThatIsThere) {
    const DWORD count = EnumCommDevicesA(nullptr, 0);
    std::vector<COMMDEVICEINFOA> devices(count + 1);
    ASSERT_EQ(EnumCommDevicesA(devices.data(), static_cast<DWORD>(devices.size())), count);
    for (DWORD i = 0; i < count; ++i) {
        struct stat info {};
        EXPECT_EQ(stat(devices[i].szPath, &info), 0) << devices[i].szPath;
        EXPECT_TRUE(S_ISCHR(info.st_mode)) << devices[i].szPath;
        EXPECT_EQ(stat(devices[i].szNode, &info), 0) << devices[i].szNode;
    }
    std::cout << count << " serial devices here" << (count ? ", first " + std::string(devices[0].szPath) : "") << "\n";
}

}  // namespace
