// Which device a port is: read from sysfs on a tree that stands in for it,
// and from the devices this machine has.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/comm/tty/device_identity.h"
#include "platform/comm/tty/stand_in_sysfs.h"
#include "platform/win32.h"
#include "support/pty.h"
#include "support/test_directory.h"

namespace {

namespace fs = std::filesystem;

using testsupport::kFtdi;
using testsupport::kFtdiUsb;

class StandInSysfs : public testsupport::StandInSysfs {
protected:
    comm::DeviceIdentity Identity(unsigned major, unsigned minor) const {
        return comm::IdentityOf(major, minor, m_root.string());
    }
};

TEST_F(StandInSysfs, AUsbAdapterIsItsVendorProductInterfaceAndSerialNumberWhereverItIsPlugged) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> attributes;
        const char* usb;
        const char* interface;
        const char* key;
        const char* text;
    };
    const Case cases[] = {
        {"FT232", kFtdi, kFtdiUsb, "00", "usb 0403:6001 if00 serial=A50285BI", "FTDI FT232R USB UART A50285BI"},
        {"the same in another socket", kFtdi, "pci0000:00/0000:00:14.0/usb1/1-3", "00",
         "usb 0403:6001 if00 serial=A50285BI", "FTDI FT232R USB UART A50285BI"},
        {"the second port of a dual chip", kFtdi, kFtdiUsb, "01", "usb 0403:6001 if01 serial=A50285BI",
         "FTDI FT232R USB UART A50285BI"},
        {"no serial number, no maker", {{"idVendor", "1a86"}, {"idProduct", "7523"}, {"product", "USB Serial"}},
         kFtdiUsb, "00", "usb 1a86:7523 if00", "USB Serial"},
        {"a product named after its maker, a serial with a space",
         {{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", "QEMU"}, {"product", "QEMU USB SERIAL"},
          {"serial", "1 2"}},
         kFtdiUsb, "00", "usb 0403:6001 if00 serial=1 2", "QEMU USB SERIAL 1 2"},
        {"no strings at all", {{"idVendor", "067b"}, {"idProduct", "2303"}}, kFtdiUsb, "00", "usb 067b:2303 if00",
         "USB 067b:2303"},
    };
    unsigned minor = 0;
    for (const Case& c : cases) {
        UsbDevice(c.usb, c.attributes);
        const std::string tty = "ttyUSB" + std::to_string(minor);
        UsbSerialPort("188:" + std::to_string(minor), c.usb, c.interface, tty.c_str());
        const comm::DeviceIdentity identity = Identity(188, minor);
        EXPECT_EQ(identity.key, c.key) << c.what;
        EXPECT_EQ(identity.text, c.text) << c.what;
        fs::remove_all(Devices() / c.usb);
        ++minor;
    }
}

TEST_F(StandInSysfs, AnAcmDeviceHangsFromItsInterfaceDirectly) {
    UsbDevice("pci0000:00/usb1/1-1", {{"idVendor", "2e8a"}, {"idProduct", "000a"}, {"serial", "E6614103E7"},
                                      {"manufacturer", "Raspberry Pi"}, {"product", "Pico"}});
    Interface("pci0000:00/usb1/1-1/1-1:1.0", "00");
    Tty("166:0", "pci0000:00/usb1/1-1/1-1:1.0/tty/ttyACM0", "pci0000:00/usb1/1-1/1-1:1.0");
    EXPECT_EQ(Identity(166, 0).key, "usb 2e8a:000a if00 serial=E6614103E7");
    EXPECT_EQ(Identity(166, 0).text, "Raspberry Pi Pico E6614103E7");
}

TEST_F(StandInSysfs, OtherDevicesAreTheirNumberAndEveryPtyIsOne) {
    Tty("4:65", "platform/serial8250/tty/ttyS1", "platform/serial8250");
    EXPECT_EQ(Identity(4, 65).key, "char 4:65");
    EXPECT_EQ(Identity(4, 65).text, "ttyS1 (device 4:65)");
    EXPECT_EQ(Identity(188, 9).key, "char 188:9") << "not in sysfs";
    EXPECT_EQ(Identity(188, 9).text, "device 188:9");
    EXPECT_EQ(Identity(136, 3).key, "pty");
    EXPECT_EQ(Identity(136, 40).key, "pty");
}

TEST_F(StandInSysfs, ADevicesOwnStringsAreShownVisibleAndCutButItsKeyIsWhole) {
    // Each as long as a USB string can be: 126 characters, 378 bytes in UTF-8.
    std::string longest;
    for (int i = 0; i < 126; ++i) longest += "€";
    const std::map<std::string, std::string> hostile = {
        {"idVendor", "1a86"}, {"idProduct", "7523"}, {"manufacturer", "\x1B[31m\x1BP$q\"p\x1B\\"},
        {"product", "USB Serial \x1B]0;OWNED\x07\x1B[2J\r\xC2\x9B fake"}, {"serial", "A\x7F\xFF"}};
    UsbDevice(kFtdiUsb, hostile);
    UsbSerialPort("188:0", kFtdiUsb, "00", "ttyUSB0");
    EXPECT_EQ(Identity(188, 0).text,
              "\\x1B[31m\\x1BP$q\"p\\x1B\\\\ USB Serial \\x1B]0;OWNED\\x07\\x1B[2J\\x0D\\xC2\\x9B fake A\\x7F\\xFF");
    EXPECT_EQ(Identity(188, 0).key, "usb 1a86:7523 if00 serial=A\x7F\xFF") << "compared as it is";

    // Two adapters whose strings come to more than 1 KiB, told apart by the serial number's last character.
    const std::string usb2 = "pci0000:00/0000:00:14.0/usb1/1-3";
    UsbDevice(kFtdiUsb, {{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", longest},
                         {"product", longest}, {"serial", longest + "1"}});
    UsbDevice(usb2, {{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", longest}, {"product", longest},
                     {"serial", longest + "2"}});
    UsbSerialPort("188:1", usb2, "00", "ttyUSB1");
    const comm::DeviceIdentity first = Identity(188, 0);
    const comm::DeviceIdentity second = Identity(188, 1);
    EXPECT_EQ(first.key, "usb 0403:6001 if00 serial=" + longest + "1");
    EXPECT_EQ(second.key, "usb 0403:6001 if00 serial=" + longest + "2");
    EXPECT_LE(first.text.size(), comm::kMaxIdentityText);
    EXPECT_TRUE(first.text.starts_with("€€€")) << first.text;
    EXPECT_TRUE(first.text.ends_with("€...")) << "cut after a whole character: " << first.text;
}

// The identity, or "" and the error.
std::pair<std::string, std::string> IdentityOfName(const std::string& name) {
    char key[256];
    char text[256];
    DWORD keySize = sizeof key;
    DWORD textSize = sizeof text;
    if (!GetCommDeviceIdentityA(name.c_str(), key, &keySize, text, &textSize))
        return {"", std::to_string(GetLastError())};
    return {key, text};
}

TEST(CommDeviceIdentity, OfThisMachinesDevicesWithoutOpeningThem) {
    testsupport::Pty pty;
    EXPECT_EQ(IdentityOfName(pty.SlavePath()), std::make_pair(std::string("pty"), std::string("a pseudo-terminal")));
    EXPECT_EQ(IdentityOfName("/dev/ptmx").first, "char 5:2");
    EXPECT_EQ(IdentityOfName("/dev/null"), std::make_pair(std::string("char 1:3"), std::string("null (device 1:3)")));
    setenv("ZANDREL_COM9", "/dev/null", 1);
    EXPECT_EQ(IdentityOfName("COM9").first, "char 1:3");
    unsetenv("ZANDREL_COM9");
}

TEST(CommDeviceIdentity, FailsWhereNoDeviceIsWithTheWordsWhy) {
    const fs::path dir = testsupport::MakeTestDirectory("zandrel-identity");
    std::ofstream(dir / "plain") << "x";
    fs::create_symlink("loop", dir / "loop");
    const std::string notFound = std::to_string(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(IdentityOfName("/dev/no-such-tty").second, notFound);
    EXPECT_STREQ(GetLastErrorText(), "No such file or directory");
    EXPECT_EQ(IdentityOfName((dir / "plain").string()).second, notFound) << "not a device";
    EXPECT_EQ(IdentityOfName("LPT1").second, notFound);
    EXPECT_EQ(IdentityOfName((dir / "loop").string()).second, std::to_string(ERROR_GEN_FAILURE));
    EXPECT_STREQ(GetLastErrorText(), "Too many levels of symbolic links");
    char key[8];
    DWORD size = sizeof key;
    DWORD none = 0;
    EXPECT_FALSE(GetCommDeviceIdentityA("/dev/null", key, &size, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(GetCommDeviceIdentityA("/dev/null", key, &size, nullptr, &(none = 1)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "a null buffer with room";
    fs::remove_all(dir);
}

// As Win32 calls that return names: a short buffer tells the size needed, and a call with that much room reads it whole.
TEST(CommDeviceIdentity, AShortBufferTellsTheSizesNeededAndTakesNothing) {
    DWORD keySize = 0;
    DWORD textSize = 0;
    EXPECT_FALSE(GetCommDeviceIdentityA("/dev/null", nullptr, &keySize, nullptr, &textSize));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(keySize, sizeof "char 1:3");
    EXPECT_EQ(textSize, sizeof "null (device 1:3)");

    std::string key(keySize, '#');
    std::string text(textSize - 1, '#');  // one short: neither is written
    DWORD textRoom = textSize - 1;
    EXPECT_FALSE(GetCommDeviceIdentityA("/dev/null", key.data(), &keySize, text.data(), &textRoom));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(key, std::string(key.size(), '#'));
    EXPECT_EQ(textRoom, textSize);

    text.resize(textSize);
    ASSERT_TRUE(GetCommDeviceIdentityA("/dev/null", key.data(), &keySize, text.data(), &textSize));
    EXPECT_STREQ(key.c_str(), "char 1:3");
    EXPECT_STREQ(text.c_str(), "null (device 1:3)");
}

}  // namespace
