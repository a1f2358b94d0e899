#include "transfer/capture_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/framework/afxwin.h"
#include "platform/io.h"

bool IsCaptureTarget(const char* pszFileName) {
    std::error_code error;
    auto type = std::filesystem::status(pszFileName, error).type();
    return type == std::filesystem::file_type::not_found || type == std::filesystem::file_type::regular;
}

CCaptureFile::CCaptureFile(const char* pszFileName)
    : m_pszFileName(pszFileName), m_nFile(_open(pszFileName, _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE)) {
    if (m_nFile < 0) m_nError = errno;
}

CCaptureFile::~CCaptureFile() {
    if (m_nFile >= 0) _close(m_nFile);
}

bool CCaptureFile::Append(const char* pData, size_t nLength) {
    m_nKept = 0;
    int nResult = _write(m_nFile, pData, static_cast<unsigned int>(nLength));
    if (nResult == static_cast<int>(nLength)) return true;
    m_nError = errno;
    if (nResult > 0) TakeBack(static_cast<size_t>(nResult));
    return false;
}

void CCaptureFile::TakeBack(size_t nWritten) {
    // Cut on the descriptor, never by name: the file may have been renamed
    // since it was opened, and another one put in its place. What another
    // program appended after our bytes is not ours to cut, and neither are
    // ours then: they stay, and the caller writes only the rest.
    const long long nEnd = _lseeki64(m_nFile, 0, SEEK_CUR);
    const long long nLength = _filelengthi64(m_nFile);
    if (nEnd >= static_cast<long long>(nWritten) && nLength == nEnd &&
        _chsize_s(m_nFile, nEnd - static_cast<long long>(nWritten)) == 0)
        return;
    m_nKept = nWritten;
}

long long CCaptureFile::Length() const { return _filelengthi64(m_nFile); }

bool CCaptureFile::Close() {
    int nFile = m_nFile;
    m_nFile = -1;
    if (_close(nFile) == 0) return true;
    m_nError = errno;
    return false;
}

std::string CCaptureFile::FaultText() const {
    // The open refuses what is not a regular file (put there after the capture started) with EINVAL.
    const bool bNotAFile = m_nError == EINVAL && !IsCaptureTarget(m_pszFileName);
    return std::string("cannot write ") + static_cast<const char*>(AfxVisibleText(m_pszFileName)) + ": " +
           (bNotAFile ? "not a regular file" : std::strerror(m_nError));
}
