// What the port box's tip says a device name opens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32.h"

namespace {

// The description, or "" when the call fails.
std::string Describe(const char* name) {
    char description[128];
    return DescribeCommDeviceA(name, description, sizeof description) != 0 ? description : "";
}

TEST(DeviceDescription, NamesTheDeviceAndTheVariableThatChoseIt) {
    setenv("ZANDREL_COM3", "/dev/ttyUSB0", 1);
    EXPECT_EQ("COM3 -> /dev/ttyUSB0 through ZANDREL_COM3", Describe("COM3"));
    EXPECT_EQ("com03 -> /dev/ttyUSB0 through ZANDREL_COM3", Describe("com03"));
    unsetenv("ZANDREL_COM3");
    EXPECT_EQ("COM3 -> /dev/ttyS2", Describe("COM3"));
    setenv("ZANDREL_COM1", "", 1);
    EXPECT_EQ("COM1 -> /dev/ttyS0", Describe("COM1")) << "an empty variable maps nothing";
    unsetenv("ZANDREL_COM1");
    EXPECT_EQ("/dev/ttyACM0", Describe("/dev/ttyACM0"));
    EXPECT_EQ("rfc2217://bench:2217", Describe("rfc2217://bench:2217"));
    EXPECT_EQ("tcp://bench:4001", Describe("tcp://bench:4001"));
}

TEST(DeviceDescription, ShowsControlCharactersInTheDeviceNameVisibly) {
    setenv("ZANDREL_COM3", "/dev/\x1B]0;OWNED\x07tty", 1);
    EXPECT_EQ("COM3 -> /dev/\\x1B]0;OWNED\\x07tty through ZANDREL_COM3", Describe("COM3"));
    unsetenv("ZANDREL_COM3");
    EXPECT_EQ("/dev/\\x1B[2Jtty\\x9B", Describe("/dev/\x1B[2Jtty\x9B"));
}

TEST(DeviceDescription, NothingForNamesThatOpenNoDevice) {
    for (const char* name : {"COM0", "COM", "COMx", "LPT1", "relative/path", ""}) {
        EXPECT_EQ("", Describe(name)) << name;
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << name;
    }
}

}  // namespace

TEST(QueryDosDevice, GivesTheLinuxDeviceOfAPortNameOrRefuses) {
    setenv("ZANDREL_COM3", "/dev/serial/by-id/usb-FTDI-if00-port0", 1);
    char path[64];
    const DWORD stored = QueryDosDeviceA("COM3", path, sizeof path);
    EXPECT_STREQ(path, "/dev/serial/by-id/usb-FTDI-if00-port0");
    EXPECT_EQ(stored, std::strlen(path) + 1);
    unsetenv("ZANDREL_COM3");
    EXPECT_EQ(QueryDosDeviceA("/dev/ttyACM0", path, sizeof path), 13u);
    EXPECT_STREQ(path, "/dev/ttyACM0");

    // A port server's address, well formed or not, is what its name leads to.
    setenv("ZANDREL_COM9", "rfc2217://nohost", 1);
    ASSERT_NE(QueryDosDeviceA("COM9", path, sizeof path), 0u);
    EXPECT_STREQ(path, "rfc2217://nohost");
    unsetenv("ZANDREL_COM9");
    ASSERT_NE(QueryDosDeviceA("tcp://bench:4001", path, sizeof path), 0u);
    EXPECT_STREQ(path, "tcp://bench:4001");

    EXPECT_EQ(QueryDosDeviceA("COM0", path, sizeof path), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(QueryDosDeviceA("/dev/ttyACM0", path, 12), 0u);  // no room for the NUL
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}
