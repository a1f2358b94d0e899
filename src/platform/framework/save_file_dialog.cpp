// GetSaveFileNameA: the back-end asks the user; the record's rules (full path,
// default extension, the caller's buffer size) are applied here, the same for
// every back-end.
#include <cstring>
#include <filesystem>

#include "platform/framework/backend.h"

namespace {

// The filter list: pairs of NUL-terminated strings, ended by an empty string.
std::vector<std::pair<std::string, std::string>> Filters(const char* list) {
    std::vector<std::pair<std::string, std::string>> filters;
    while (list && *list) {
        std::string description = list;
        list += description.size() + 1;
        if (!*list) break;
        std::string pattern = list;
        list += pattern.size() + 1;
        filters.emplace_back(description, pattern);
    }
    return filters;
}

afx::SaveFileRequest RequestOf(const OPENFILENAME& record) {
    return afx::SaveFileRequest{
        &record,
        record.hwndOwner,
        record.lpstrTitle ? record.lpstrTitle : "Save As",
        Filters(record.lpstrFilter),
        record.nFilterIndex,
        record.lpstrInitialDir ? record.lpstrInitialDir : "",
        record.lpstrDefExt ? record.lpstrDefExt : "",
    };
}

std::string FullPath(const std::string& chosen, const afx::SaveFileRequest& request) {
    std::filesystem::path path(chosen);
    if (path.is_relative() && !request.initialDirectory.empty()) path = request.initialDirectory / path;
    path = std::filesystem::absolute(path);
    if (!path.has_extension() && !request.defaultExtension.empty()) path += "." + request.defaultExtension;
    return path.string();
}

}  // namespace

BOOL GetSaveFileNameA(LPOPENFILENAME record) {
    if (!record || !record->lpstrFile || record->nMaxFile == 0) return FALSE;
    afx::SaveFileRequest request = RequestOf(*record);
    std::optional<std::string> chosen = afx::CurrentBackend().ChooseSaveFileName(request);
    if (!chosen || chosen->empty()) return FALSE;
    std::string path = FullPath(*chosen, request);
    // A path that does not fit the caller's buffer fails rather than being cut.
    if (path.size() + 1 > record->nMaxFile) return FALSE;
    std::memcpy(record->lpstrFile, path.c_str(), path.size() + 1);
    std::filesystem::path parsed(path);
    record->nFileOffset = static_cast<WORD>(path.size() - parsed.filename().string().size());
    record->nFileExtension =
        parsed.has_extension() ? static_cast<WORD>(path.size() - parsed.extension().string().size() + 1) : 0;
    return TRUE;
}
