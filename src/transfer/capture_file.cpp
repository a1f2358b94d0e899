#include "transfer/capture_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

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
    int nResult = _write(m_nFile, pData, static_cast<unsigned int>(nLength));
    if (nResult == static_cast<int>(nLength)) return true;
    m_nError = errno;
    size_t nWritten = nResult > 0 ? static_cast<size_t>(nResult) : 0;
    if (nWritten > 0) {
        std::error_code error;
        auto size = std::filesystem::file_size(m_pszFileName, error);
        if (!error && size >= nWritten) std::filesystem::resize_file(m_pszFileName, size - nWritten, error);
    }
    return false;
}

bool CCaptureFile::Close() {
    int nFile = m_nFile;
    m_nFile = -1;
    if (_close(nFile) == 0) return true;
    m_nError = errno;
    return false;
}

std::string CCaptureFile::FaultText() const {
    return std::string("cannot write ") + m_pszFileName + ": " + std::strerror(m_nError);
}
