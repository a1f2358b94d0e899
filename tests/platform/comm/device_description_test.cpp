// What the port box's tip says a device name opens.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/comm/device_name.h"

namespace {

TEST(DeviceDescription, NamesTheDeviceAndTheVariableThatChoseIt) {
    setenv("ZANDREL_COM3", "/dev/ttyUSB0", 1);
    EXPECT_EQ("COM3 -> /dev/ttyUSB0 through ZANDREL_COM3", comm::DescribeDevice("\\\\.\\COM3"));
    EXPECT_EQ("com03 -> /dev/ttyUSB0 through ZANDREL_COM3", comm::DescribeDevice("\\\\.\\com03"));
    unsetenv("ZANDREL_COM3");
    EXPECT_EQ("COM3 -> /dev/ttyS2", comm::DescribeDevice("\\\\.\\COM3"));
    setenv("ZANDREL_COM1", "", 1);
    EXPECT_EQ("COM1 -> /dev/ttyS0", comm::DescribeDevice("\\\\.\\COM1")) << "an empty variable maps nothing";
    unsetenv("ZANDREL_COM1");
    EXPECT_EQ("/dev/ttyACM0", comm::DescribeDevice("\\\\.\\/dev/ttyACM0"));
}

TEST(DeviceDescription, NothingForNamesThatOpenNoDevice) {
    for (const char* name : {"COM1", "\\\\.\\COM0", "\\\\.\\COM", "\\\\.\\COMx", "\\\\.\\LPT1", "\\\\.\\relative/path", ""})
        EXPECT_EQ(std::nullopt, comm::DescribeDevice(name)) << name;
}

}  // namespace
