#include "platform/comm/tty/device_identity.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/comm/tty/driver_traits.h"
#include "platform/kernel/visible_text.h"

namespace comm {
namespace {

namespace fs = std::filesystem;

// USB strings are at most 126 characters; anything longer is not one.
constexpr size_t kMaxAttribute = 512;

std::string Attribute(const fs::path& dir, const char* name) { return SysfsAttribute(dir / name); }

void Append(std::string& text, const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += ' ';
    text += part;
}

// The USB interface the tty hangs from (a ttyUSB's port device sits below
// it, a ttyACM's device is the interface itself) and the USB device above it.
std::optional<DeviceIdentity> UsbIdentity(const fs::path& sys, const fs::path& node) {
    std::error_code error;
    fs::path dir = fs::canonical(node / "device", error);
    if (error) return std::nullopt;
    for (; dir != sys && dir != dir.root_path(); dir = dir.parent_path()) {
        const std::string interface = Attribute(dir, "bInterfaceNumber");
        if (interface.empty()) continue;
        const fs::path usb = dir.parent_path();
        const std::string vendor = Attribute(usb, "idVendor");
        const std::string product = Attribute(usb, "idProduct");
        if (vendor.empty() || product.empty()) return std::nullopt;
        const std::string serial = Attribute(usb, "serial");
        // The serial number last: it is the one part that may hold spaces.
        DeviceIdentity identity{"usb " + vendor + ":" + product + " if" + interface, {}};
        if (!serial.empty()) identity.key += " serial=" + serial;
        const std::string maker = Attribute(usb, "manufacturer");
        const std::string name = Attribute(usb, "product");
        if (name.rfind(maker, 0) != 0) Append(identity.text, maker);  // not "QEMU QEMU USB SERIAL"
        Append(identity.text, name);
        if (identity.text.empty()) identity.text = "USB " + vendor + ":" + product;
        Append(identity.text, serial);
        return identity;
    }
    return std::nullopt;
}

// The identity as sysfs tells it, its text unchecked.
DeviceIdentity IdentityRead(unsigned major, unsigned minor, const std::string& root) {
    if (IsPtySlave(major)) return {"pty", "a pseudo-terminal"};
    const std::string number = std::to_string(major) + ":" + std::to_string(minor);
    std::error_code error;
    const fs::path sys = fs::canonical(fs::path(root) / "sys", error);
    const fs::path node = sys / "dev" / "char" / number;
    if (!error) {
        if (auto usb = UsbIdentity(sys, node)) return *usb;
    }
    const fs::path named = fs::canonical(node, error);
    const std::string text = "device " + number;
    return {"char " + number, error ? text : named.filename().string() + " (" + text + ")"};
}

int IdentityOfFile(int statResult, const struct stat& info, DeviceIdentity& identity) {
    if (statResult != 0) return errno;
    if (!S_ISCHR(info.st_mode)) return ENODEV;
    identity = IdentityOf(major(info.st_rdev), minor(info.st_rdev), "/");
    return 0;
}

}  // namespace

std::string SysfsAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    if (line.size() > kMaxAttribute) line.resize(kMaxAttribute);
    return line;
}

DeviceIdentity IdentityOf(unsigned major, unsigned minor, const std::string& root) {
    DeviceIdentity identity = IdentityRead(major, minor, root);
    // A device chooses its own strings, control characters and all.
    identity.text = kernel::VisibleText(identity.text, kMaxIdentityText);
    return identity;
}

int IdentityOfDescriptor(int fd, DeviceIdentity& identity) {
    struct stat info {};
    return IdentityOfFile(fstat(fd, &info), info, identity);
}

int IdentityOfPath(const std::string& path, DeviceIdentity& identity) {
    struct stat info {};
    return IdentityOfFile(stat(path.c_str(), &info), info, identity);
}

}  // namespace comm
