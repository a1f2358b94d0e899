// A stable name for a device (a symbolic link, as under /dev/serial/by-id)
// that leads to whichever pseudo-terminal is plugged in now.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "support/pty.h"

namespace faults {

// What the window's status line says while the device behind the name is away.
inline constexpr char kWaitingStatus[] = "Status:  Port disconnected, waiting for it to come back...";

class StableName {
public:
    explicit StableName(std::filesystem::path link) : m_link(std::move(link)) {}
    const std::string Path() const { return m_link.string(); }
    void PointTo(const testsupport::Pty& pty) { PointTo(pty.SlavePath()); }
    void PointTo(const std::string& device) {
        std::filesystem::remove(m_link);
        std::filesystem::create_symlink(device, m_link);
    }
    void Remove() { std::filesystem::remove(m_link); }

private:
    std::filesystem::path m_link;
};

}  // namespace faults
