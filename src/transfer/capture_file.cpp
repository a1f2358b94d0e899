#include "transfer/capture_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

bool IsCaptureTarget(const char* pszFileName) {
    std::error_code error;
    auto type = std::filesystem::status(pszFileName, error).type();
    return type == std::filesystem::file_type::not_found || type == std::filesystem::file_type::regular;
}

CCaptureFile::CCaptureFile(const char* pszFileName) : m_pszFileName(pszFileName) {
    m_pFile = std::fopen(pszFileName, "a");
    if (m_pFile == nullptr) {
        m_nError = errno;
        return;
    }
    // One write per pass: a stream buffer would only cost an allocation and a size query per open.
    std::setvbuf(m_pFile, nullptr, _IONBF, 0);
}

CCaptureFile::~CCaptureFile() {
    if (m_pFile != nullptr) std::fclose(m_pFile);
}

bool CCaptureFile::Append(const char* pData, size_t nLength) {
    size_t nWritten = std::fwrite(pData, 1, nLength, m_pFile);
    if (nWritten == nLength) return true;
    m_nError = errno;
    if (nWritten > 0) {
        std::error_code error;
        auto size = std::filesystem::file_size(m_pszFileName, error);
        if (!error && size >= nWritten) std::filesystem::resize_file(m_pszFileName, size - nWritten, error);
    }
    return false;
}

bool CCaptureFile::Close() {
    FILE* pFile = m_pFile;
    m_pFile = nullptr;
    if (std::fclose(pFile) == 0) return true;
    m_nError = errno;
    return false;
}
