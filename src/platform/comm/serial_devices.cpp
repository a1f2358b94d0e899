#include "platform/comm/serial_devices.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <tuple>

#include "platform/comm/device_identity.h"
#include "platform/kernel/visible_text.h"

namespace comm {
namespace {

namespace fs = std::filesystem;

// A port text is at most 255 characters; a longer by-id name could not be used.
constexpr size_t kMaxPath = 255;

// The kinds listed, in the order they are listed.
constexpr const char* kKinds[] = {"ttyACM", "ttyUSB", "ttyS"};

struct Found {
    size_t kind;
    unsigned number;
    std::string name;
};

std::optional<Found> Listed(const std::string& name) {
    for (size_t kind = 0; kind < std::size(kKinds); ++kind) {
        const std::string_view prefix = kKinds[kind];
        if (!name.starts_with(prefix) || name.size() == prefix.size() || name.size() > prefix.size() + 6) continue;
        unsigned number = 0;
        for (char c : std::string_view(name).substr(prefix.size())) {
            if (c < '0' || c > '9') return std::nullopt;
            number = number * 10 + static_cast<unsigned>(c - '0');
        }
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

// Kernel name -> its stable name under /dev/serial/by-id.
std::map<std::string, std::string> StableNames(const fs::path& root) {
    std::map<std::string, std::string> names;
    const fs::path dir = root / "dev/serial/by-id";
    for (const fs::path& link : Entries(dir)) {
        std::error_code error;
        const fs::path target = fs::read_symlink(link, error);
        if (error) continue;
        const std::string stable = "/dev/serial/by-id/" + link.filename().string();
        // Shown as it opens, so a name that could not be shown as it is (udev
        // never makes one) is no name to offer: the node is.
        if (stable.size() > kMaxPath || kernel::VisibleText(stable) != stable) continue;
        const std::string name = (dir / target).lexically_normal().filename().string();
        // Sorted, so that the same name is chosen every time if two links lead to one device.
        auto [it, added] = names.emplace(name, stable);
        if (!added && stable < it->second) it->second = stable;
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
        if (kKinds[listed->kind] == std::string_view("ttyS")) {
            const std::string type = SysfsAttribute(classDir / "type");
            if (type.empty() || type == "0") continue;
        }
        found.push_back(*listed);
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return std::tie(a.kind, a.number) < std::tie(b.kind, b.number); });

    const std::map<std::string, std::string> stable = StableNames(base);
    std::vector<SerialDevice> devices;
    for (const Found& each : found) {
        const fs::path classDir = base / "sys/class/tty" / each.name;
        const bool uart = kKinds[each.kind] == std::string_view("ttyS");
        SerialDevice device{"/dev/" + each.name, "/dev/" + each.name,
                            uart ? UartName(SysfsAttribute(classDir / "type")) : UsbDescription(classDir, root)};
        if (auto named = stable.find(each.name); named != stable.end()) device.path = named->second;
        devices.push_back(std::move(device));
    }
    return devices;
}

}  // namespace comm
