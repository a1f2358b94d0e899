// The run-time library's low-level file I/O, as Windows declares it in <io.h>
// and <fcntl.h>: a descriptor per open file and no stream buffer. On Linux it
// is provided by platform/kernel.
#pragma once

constexpr int _O_RDONLY = 0x0000;
constexpr int _O_WRONLY = 0x0001;
constexpr int _O_APPEND = 0x0008;
constexpr int _O_CREAT = 0x0100;
constexpr int _O_BINARY = 0x8000;  // no text translation (there is none on Linux)
constexpr int _S_IREAD = 0x0100;
constexpr int _S_IWRITE = 0x0080;

#include <cstdio>

// A descriptor, or -1 with errno set. Only the flags above are known; a file
// created is readable and writable by everyone the process's umask allows.
// Ours differs from Windows, which has no FIFOs: only a regular file opens.
// Anything else (a FIFO, whose open waits for its other end, a device, a
// directory) fails at once with EINVAL, and the open itself never waits.
int _open(const char* filename, int oflag, int pmode);
// A stream over a descriptor from _open ("r" or "w"), or null with errno set.
FILE* _fdopen(int fd, const char* mode);
// Writes all the bytes, or as many as fit before an error (errno set then);
// returns how many were written, or -1 when none could be.
int _write(int fd, const void* buffer, unsigned int count);
int _close(int fd);  // 0, or -1 with errno set
// The file position after moving it (origin SEEK_SET, SEEK_CUR or SEEK_END),
// or -1 with errno set. After a write in append mode the position is the end
// of what that write put in.
long long _lseeki64(int fd, long long offset, int origin);
long long _filelengthi64(int fd);  // the open file's length, or -1 with errno set
int _chsize_s(int fd, long long size);  // 0, or the errno value
