// A sysfs tree (and the /dev beside it) as the kernel lays it out, relative
// links included, in a test directory that stands in for the root.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "support/test_directory.h"

namespace testsupport {

constexpr char kFtdiUsb[] = "pci0000:00/0000:00:14.0/usb1/1-2";
inline const std::map<std::string, std::string> kFtdi = {
    {"idVendor", "0403"}, {"idProduct", "6001"}, {"serial", "A50285BI"},
    {"manufacturer", "FTDI"}, {"product", "FT232R USB UART"}};

class StandInSysfs : public ::testing::Test {
protected:
    void SetUp() override { m_root = MakeTestDirectory("zandrel-sysfs"); }
    void TearDown() override { std::filesystem::remove_all(m_root); }

    std::filesystem::path Devices() const { return m_root / "sys/devices"; }

    void Attributes(const std::filesystem::path& dir, const std::map<std::string, std::string>& attributes) {
        std::filesystem::create_directories(dir);
        for (const auto& [name, value] : attributes) std::ofstream(dir / name) << value << "\n";
    }

    void UsbDevice(const std::string& usb, const std::map<std::string, std::string>& attributes) {
        Attributes(Devices() / usb, attributes);
    }

    void Interface(const std::string& path, const char* number) {
        Attributes(Devices() / path, {{"bInterfaceNumber", number}});
    }

    // The tty's class directory at node (under devices), its number's link
    // in dev/char and its device link to device; its link in class/tty
    // with its dev attribute. Returns the class directory.
    std::filesystem::path Tty(const std::string& number, const std::string& node, const std::string& device) {
        namespace fs = std::filesystem;
        const fs::path classDir = Devices() / node;
        fs::create_directories(classDir);
        fs::create_directories(m_root / "sys/dev/char");
        fs::create_directory_symlink(classDir.lexically_relative(m_root / "sys/dev/char"),
                                     m_root / "sys/dev/char" / number);
        fs::create_directories(Devices() / device);
        fs::create_directory_symlink((Devices() / device).lexically_relative(classDir), classDir / "device");
        fs::create_directories(m_root / "sys/class/tty");
        fs::create_directory_symlink(classDir.lexically_relative(m_root / "sys/class/tty"),
                                     m_root / "sys/class/tty" / classDir.filename());
        Attributes(classDir, {{"dev", number}});
        return classDir;
    }

    // An FT232-style adapter: the tty's device is a port below the interface.
    void UsbSerialPort(const std::string& number, const std::string& usb, const char* interface, const char* tty) {
        const std::string port = usb + "/" + usb.substr(usb.rfind('/') + 1) + ":1." + interface + "/" + tty;
        Interface(port.substr(0, port.rfind('/')), interface);
        Tty(number, port + "/tty/" + tty, port);
    }

    // The device node in /dev: only whether it is there counts.
    void Node(const std::string& name) {
        std::filesystem::create_directories(m_root / "dev");
        std::ofstream(m_root / "dev" / name);
    }

    // A stable name under /dev/serial/by-id, linked as udev links it.
    void StableName(const std::string& link, const std::string& name) {
        const std::filesystem::path dir = m_root / "dev/serial/by-id";
        std::filesystem::create_directories(dir);
        std::filesystem::create_symlink("../../" + name, dir / link);
    }

    std::filesystem::path m_root;
};

}  // namespace testsupport
