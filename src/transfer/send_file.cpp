#include "transfer/send_file.h"

#include <filesystem>
#include <system_error>

FILE* OpenSendFile(const char* pszFileName) {
    std::error_code error;
    auto type = std::filesystem::status(pszFileName, error).type();
    if (type == std::filesystem::file_type::fifo || type == std::filesystem::file_type::directory) return nullptr;
    return std::fopen(pszFileName, "r");
}

ULONGLONG SendFileSize(const char* pszFileName) {
    std::error_code error;
    std::uintmax_t nSize = std::filesystem::file_size(pszFileName, error);
    return error ? 0 : nSize;
}
