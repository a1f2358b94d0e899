#include "transfer/send_file.h"

#include <filesystem>
#include <system_error>

FILE* OpenSendFile(const char* pszFileName) {
    std::error_code error;
    if (std::filesystem::status(pszFileName, error).type() == std::filesystem::file_type::fifo) return nullptr;
    return std::fopen(pszFileName, "r");
}
