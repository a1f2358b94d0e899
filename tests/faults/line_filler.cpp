#include "faults/line_filler.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

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
    while (write(m_fd, block.data(), block.size()) > 0) {
    }
    while (write(m_fd, block.data(), 1) == 1) {
    }
}

std::string WithoutFiller(std::string bytes) {
    bytes.erase(std::remove(bytes.begin(), bytes.end(), LineFiller::kByte), bytes.end());
    return bytes;
}

}  // namespace faults
