#include "faults/line_filler.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace faults {

LineFiller::LineFiller(const std::string& slavePath)
    : m_fd(open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (m_fd < 0) throw std::runtime_error("cannot open " + slavePath);
    termios raw{};
    tcgetattr(m_fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_fd, TCSANOW, &raw);
}

LineFiller::~LineFiller() { close(m_fd); }

void LineFiller::Fill() const {
    const std::string block(512, kByte);
    // Full once the kernel, given a moment to move its buffers on, takes nothing more.
    for (int round = 0; round < 100; ++round) {
        bool took = false;
        while (write(m_fd, block.data(), block.size()) > 0) took = true;
        while (write(m_fd, block.data(), 1) == 1) took = true;
        if (!took && round > 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string WithoutFiller(std::string bytes) {
    bytes.erase(std::remove(bytes.begin(), bytes.end(), LineFiller::kByte), bytes.end());
    return bytes;
}

}  // namespace faults
