// Plays a real line into a pseudo-terminal: the bytes of a file, written to
// standard output (the pty's master) in pieces of a fixed size at a fixed
// interval, as a UART hands the tty layer a FIFO's worth per interrupt or a
// USB adapter one packet per transfer.
//
//   bench_line_feed FILE PIECE_BYTES INTERVAL_US
//
// Pieces are scheduled from the start time, so a late wake-up shortens the
// next wait rather than stretching the line. Prints nothing; exits 0 once the
// whole file is written.

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr long NANOS_PER_SECOND = 1000000000L;

timespec Advance(timespec t, long nanos) {
    t.tv_nsec += nanos;
    t.tv_sec += t.tv_nsec / NANOS_PER_SECOND;
    t.tv_nsec %= NANOS_PER_SECOND;
    return t;
}

bool WriteAll(const char* data, size_t length) {
    while (length > 0) {
        ssize_t put = write(STDOUT_FILENO, data, length);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        length -= static_cast<size_t>(put);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_line_feed FILE PIECE_BYTES INTERVAL_US\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const long piece = std::atol(argv[2]);
    const long intervalNanos = std::atol(argv[3]) * 1000L;
    if (!in.is_open() || piece <= 0 || intervalNanos <= 0) {
        std::fprintf(stderr, "bench_line_feed: cannot read %s, or a size is not positive\n", argv[1]);
        return 2;
    }
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (size_t at = 0; at < data.size(); at += static_cast<size_t>(piece)) {
        if (!WriteAll(data.data() + at, std::min(data.size() - at, static_cast<size_t>(piece)))) {
            std::perror("bench_line_feed: write");
            return 1;
        }
        due = Advance(due, intervalNanos);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
        }
    }
    return 0;
}
