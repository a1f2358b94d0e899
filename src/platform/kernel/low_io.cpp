// Low-level file I/O over the Linux descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/io.h"

namespace {

bool IsRegular(int statResult, const struct stat& info) { return statResult != 0 || S_ISREG(info.st_mode); }

}  // namespace

int _open(const char* filename, int oflag, int pmode) {
    // Looked at before the open, which on a device can itself act (a tty
    // raises its modem lines), and again on what was opened, which may have
    // been put there meanwhile.
    struct stat info {};
    if (!IsRegular(::stat(filename, &info), info)) {
        errno = EINVAL;
        return -1;
    }
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    flags |= (oflag & _O_WRONLY) ? O_WRONLY : O_RDONLY;
    if (oflag & _O_APPEND) flags |= O_APPEND;
    if (oflag & _O_CREAT) flags |= O_CREAT;
    // Windows' _S_IREAD/_S_IWRITE say nothing of groups or others: give them what the umask allows.
    mode_t mode = 0;
    if (pmode & _S_IREAD) mode |= 0444;
    if (pmode & _S_IWRITE) mode |= 0222;
    int fd = ::open(filename, flags, mode);
    if (fd < 0) return errno == ENXIO ? (errno = EINVAL, -1) : -1;  // ENXIO: a FIFO with no reader
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    // A regular file never waits; clearing the flag keeps later users' reads
    // ordinary. A descriptor that only writes has none, and a capture opens
    // two of them for every pass. F_SETFL takes only the status flags of those given.
    if (!(oflag & _O_WRONLY)) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

FILE* _fdopen(int fd, const char* mode) { return ::fdopen(fd, mode); }

int _write(int fd, const void* buffer, unsigned int count) {
    const char* bytes = static_cast<const char*>(buffer);
    unsigned int written = 0;
    while (written < count) {
        ssize_t put = ::write(fd, bytes + written, count - written);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return written > 0 ? static_cast<int>(written) : -1;
        written += static_cast<unsigned int>(put);
    }
    return static_cast<int>(written);
}

int _close(int fd) { return ::close(fd); }

long long _lseeki64(int fd, long long offset, int origin) { return ::lseek(fd, offset, origin); }

long long _filelengthi64(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? info.st_size : -1;
}

int _chsize_s(int fd, long long size) { return ::ftruncate(fd, size) == 0 ? 0 : errno; }
