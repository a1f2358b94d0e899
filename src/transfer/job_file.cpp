#include "transfer/job_file.h"

#include <filesystem>
#include <system_error>

FILE* OpenJobFile(const char* pszFileName, const char* pszMode) {
    std::error_code error;
    if (std::filesystem::status(pszFileName, error).type() == std::filesystem::file_type::fifo) return nullptr;
    return std::fopen(pszFileName, pszMode);
}
