// Runs inside the rig's guest: keeps a serial line's output full, as a device
// that stops reading leaves it. Opens DEVICE as a second writer (root passes
// TIOCEXCL, and the comm API's lock is advisory) and writes BYTE until the
// driver takes no more (EAGAIN), then again whenever it has room. Prints
// "@@full <bytes written> <EAGAINs>" once the line has taken nothing for half
// a second. Runs until a signal ends it.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kQuietMs = 500;  // nothing taken for this long: the far end has stopped reading

int Fail(const char* what) {
    std::printf("@@%s failed: %s\n", what, std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DEVICE BYTE\n", argv[0]);
        return 2;
    }
    int line = open(argv[1], O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (line < 0) return Fail("open");
    char filler[4096];
    std::memset(filler, std::atoi(argv[2]), sizeof filler);
    long long written = 0;
    long long refusals = 0;
    bool told = false;
    for (;;) {
        ssize_t taken = write(line, filler, sizeof filler);
        if (taken > 0) {
            written += taken;
            continue;
        }
        if (taken < 0 && errno != EAGAIN) return Fail("write");
        ++refusals;
        pollfd room{line, POLLOUT, 0};
        int ready = poll(&room, 1, told ? -1 : kQuietMs);
        if (ready < 0 && errno != EINTR) return Fail("poll");
        if (ready == 0) {
            std::printf("@@full %lld %lld\n", written, refusals);
            std::fflush(stdout);
            told = true;
        }
    }
}
