// A second opener of the program's device that keeps what the line buffers
// full, as a far end that stopped reading does (a device whose firmware
// stopped, a stalled bridge): nobody reads the pty master meanwhile.
#pragma once

#include <string>

namespace faults {

class LineFiller {
public:
    // A byte no test sends otherwise, to tell the filler from the job's data.
    static constexpr char kByte = '\xff';

    explicit LineFiller(const std::string& slavePath);  // raw and non-blocking
    ~LineFiller();
    LineFiller(const LineFiller&) = delete;
    LineFiller& operator=(const LineFiller&) = delete;

    // Writes until the line takes no more. The kernel moves buffered bytes on
    // behind the writer's back, so this writes again after a moment until
    // nothing more goes in; a line kept full is filled again and again.
    void Fill() const;

private:
    int m_fd;
};

// The bytes with the filler's taken out.
std::string WithoutFiller(std::string bytes);

}  // namespace faults
