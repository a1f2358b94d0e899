#include "platform/comm/tty/serial_devices.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>

#include "platform/comm/tty/device_identity.h"
#include "platform/kernel/visible_text.h"

namespace comm {
namespace {

namespace fs = std::filesystem;

// A port text is at most 255 characters; a longer by-id name could not be used.
constexpr size_t kMaxPath = 255;

// How a kind of device is described from sysfs.
enum class Described {
    Usb,       // its adapter's maker, product and serial number
    UartType,  // serial_core's type of the UART behind it
    Driver,    // its driver's name (a board's own UART: "uart-pl011")
    Rfcomm,    // the Bluetooth address and channel it is bound to
};

struct Kind {
    std::string_view prefix;
    Described described;
};

// The kinds listed, in the order they are listed.
constexpr Kind kKinds[] = {{"ttyACM", Described::Usb},     {"ttyUSB", Described::Usb},
                           {"ttyS", Described::UartType},  {"ttyAMA", Described::Driver},
                           {"ttymxc", Described::Driver},  {"ttyO", Described::Driver},
                           {"ttyTHS", Described::Driver},  {"ttySC", Described::Driver},
                           {"rfcomm", Described::Rfcomm}};

struct Found {
    size_t kind;
    unsigned number;
    std::string name;
};

std::optional<Found> Listed(const std::string& name) {
    for (size_t kind = 0; kind < std::size(kKinds); ++kind) {
        const std::string_view prefix = kKinds[kind].prefix;
        const std::string_view digits = std::string_view(name).substr(std::min(prefix.size(), name.size()));
        if (!name.starts_with(prefix) || digits.empty() || digits.size() > 6) continue;
        // Not a number: a longer prefix ("ttySC0" after "ttyS") may still fit.
        if (digits.find_first_not_of("0123456789") != std::string_view::npos) continue;
        unsigned number = 0;
        for (char c : digits) number = number * 10 + static_cast<unsigned>(c - '0');
        return Found{kind, number, name};
    }
    return std::nullopt;
}

// A directory's entries, none when it cannot be read. Never throws: a
// range-for over a directory_iterator does when reading fails midway.
std::vector<fs::path> Entries(const fs::path& dir) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    return entries;
}

// serial_core's port types (PORT_* in linux/serial_core.h); 0 is PORT_UNKNOWN: no UART.
std::string UartName(const std::string& type) {
    static const std::map<std::string, std::string> kNames = {
        {"1", "8250"}, {"2", "16450"}, {"3", "16550"}, {"4", "16550A"}, {"6", "16650"},
        {"7", "16650V2"}, {"8", "16750"}, {"10", "16C950"}, {"14", "NS16550A"}};
    const auto known = kNames.find(type);
    return known == kNames.end() ? "UART" : known->second + " UART";
}

// What the tty's dev attribute ("188:0") names, described as the reconnect tells it: visible, bounded.
std::string UsbDescription(const fs::path& classDir, const std::string& root) {
    const std::string dev = SysfsAttribute(classDir / "dev");
    unsigned major = 0;
    unsigned minor = 0;
    if (std::sscanf(dev.c_str(), "%u:%u", &major, &minor) != 2) return "";
    return IdentityOf(major, minor, root).text;
}

// The name of the driver behind the tty, or its UART type when it has none.
std::string DriverDescription(const fs::path& classDir) {
    std::error_code error;
    const fs::path driver = fs::read_symlink(classDir / "device/driver", error);
    return error ? UartName(SysfsAttribute(classDir / "type")) : driver.filename().string();
}

std::string RfcommDescription(const fs::path& classDir) {
    const std::string address = SysfsAttribute(classDir / "address");
    const std::string channel = SysfsAttribute(classDir / "channel");
    return "Bluetooth RFCOMM " + address + (channel.empty() ? "" : " channel " + channel);
}

std::string Description(Described described, const fs::path& classDir, const std::string& root) {
    switch (described) {
    case Described::Usb: return UsbDescription(classDir, root);
    case Described::UartType: return UartName(SysfsAttribute(classDir / "type"));
    case Described::Driver: return DriverDescription(classDir);
    case Described::Rfcomm: return RfcommDescription(classDir);
    }
    return "";
}

// The tty a link under /dev leads to ("ttyAMA0"), or "" when it is no link.
std::string LinkTarget(const fs::path& link) {
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    return error ? "" : (link.parent_path() / target).lexically_normal().filename().string();
}

// Kernel name -> its stable name under /dev/serial/by-id, or the
// /dev/serial0 and /dev/serial1 that Raspberry Pi OS gives the header's UART
// and the one beside it.
std::map<std::string, std::string> StableNames(const fs::path& root) {
    std::map<std::string, std::string> names;
    const fs::path dir = root / "dev/serial/by-id";
    for (const fs::path& link : Entries(dir)) {
        const std::string name = LinkTarget(link);
        const std::string stable = "/dev/serial/by-id/" + link.filename().string();
        // Shown as it opens, so a name that could not be shown as it is (udev
        // never makes one) is no name to offer: the node is.
        if (name.empty() || stable.size() > kMaxPath || kernel::VisibleText(stable) != stable) continue;
        // Sorted, so that the same name is chosen every time if two links lead to one device.
        auto [it, added] = names.emplace(name, stable);
        if (!added && stable < it->second) it->second = stable;
    }
    for (const char* alias : {"serial0", "serial1"}) {
        const std::string name = LinkTarget(root / "dev" / alias);
        if (!name.empty()) names.emplace(name, std::string("/dev/") + alias);
    }
    return names;
}

}  // namespace

std::vector<SerialDevice> SerialDevicesPresent(const std::string& root) {
    const fs::path base(root);
    std::vector<Found> found;
    for (const fs::path& classDir : Entries(base / "sys/class/tty")) {
        std::optional<Found> listed = Listed(classDir.filename().string());
        if (!listed) continue;
        std::error_code error;
        if (!fs::exists(base / "dev" / listed->name, error)) continue;
        // A UART port without a UART behind it (serial_core's type 0); a ttyS must say it has one.
        const std::string type = SysfsAttribute(classDir / "type");
        if (type == "0" || (type.empty() && kKinds[listed->kind].described == Described::UartType)) continue;
        found.push_back(*listed);
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return std::tie(a.kind, a.number) < std::tie(b.kind, b.number); });

    const std::map<std::string, std::string> stable = StableNames(base);
    std::vector<SerialDevice> devices;
    for (const Found& each : found) {
        const fs::path classDir = base / "sys/class/tty" / each.name;
        SerialDevice device{"/dev/" + each.name, "/dev/" + each.name,
                            Description(kKinds[each.kind].described, classDir, root)};
        if (auto named = stable.find(each.name); named != stable.end()) device.path = named->second;
        devices.push_back(std::move(device));
    }
    return devices;
}

}  // namespace comm
