// RegisterWindowMessageA: the same name yields the same identifier in every
// process, because the identifier is derived from the name alone (a fixed
// hash into 0xC000..0xFFFF). Names compare without regard to case, as on
// Windows. Two different names that hash alike get distinct identifiers by
// probing upwards (wrapping within the range) in order of registration, so a
// collision is resolved the same way in every process that registers the same
// names in the same order.
#include <cctype>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/win32.h"

namespace {

struct Registrations {
    std::mutex lock;
    std::unordered_map<std::string, UINT> byName;
    std::unordered_map<UINT, std::string> byId;
};

Registrations& TheRegistrations() {
    static Registrations registrations;
    return registrations;
}

std::string Folded(const char* name) {
    std::string folded(name);
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// 32-bit FNV-1a: fixed, so identifiers never change between builds.
std::uint32_t Hash(const std::string& text) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

constexpr UINT kRangeSize = WM_REGISTERED_LAST - WM_REGISTERED_FIRST + 1;

}  // namespace

UINT RegisterWindowMessageA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key = Folded(name);
    Registrations& r = TheRegistrations();
    std::lock_guard guard(r.lock);
    if (auto found = r.byName.find(key); found != r.byName.end()) return found->second;
    UINT offset = Hash(key) % kRangeSize;
    for (UINT probe = 0; probe < kRangeSize; ++probe) {
        UINT id = WM_REGISTERED_FIRST + (offset + probe) % kRangeSize;
        if (r.byId.contains(id)) continue;
        r.byId.emplace(id, key);
        r.byName.emplace(key, id);
        return id;
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);  // all 16384 identifiers are taken
    return 0;
}
