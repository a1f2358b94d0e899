#include "transfer/send_file.h"

#include "platform/io.h"
#include "transfer/text_mode_reader.h"

namespace {

// Counting reads the file on the user-interface thread, at the start and at
// every Loop pass, so it is kept to what takes a few milliseconds; a bigger
// file shows as one of unknown size. At 5 ms a character, 16 MiB is a day.
constexpr std::uint64_t MAX_COUNTED_BYTES = 16 << 20;

}  // namespace

FILE* OpenSendFile(const char* pszFileName) {
    const int nFile = _open(pszFileName, _O_RDONLY, 0);
    if (nFile < 0) return nullptr;
    FILE* pFile = _fdopen(nFile, "r");
    if (pFile == nullptr) _close(nFile);
    return pFile;
}

ULONGLONG SendFileChars(FILE* pSendFile) {
    const std::optional<std::uint64_t> nChars = CountTextModeChars(pSendFile, MAX_COUNTED_BYTES);
    std::rewind(pSendFile);
    return nChars.value_or(0);
}
