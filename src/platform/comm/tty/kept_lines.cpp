#include "platform/comm/tty/kept_lines.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace comm {
namespace {

struct KeptEntry {
    std::string path;
    std::string key;
    SavedLine line;
};

// Process-wide; as many entries as devices that hung up and have not been
// closed cleanly since.
struct KeptLines {
    std::mutex lock;
    std::vector<KeptEntry> entries;

    std::vector<KeptEntry>::iterator Find(const std::string& path, const std::string& key) {
        return std::find_if(entries.begin(), entries.end(),
                            [&](const KeptEntry& entry) { return entry.path == path && entry.key == key; });
    }
};

KeptLines& Table() {
    static auto* table = new KeptLines;  // outlives static destruction: a close may still run at exit
    return *table;
}

}  // namespace

void KeepLine(const std::string& path, const std::string& key, const SavedLine& line) {
    KeptLines& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.Find(path, key);
    if (found != table.entries.end()) found->line = line;
    else table.entries.push_back({path, key, line});
}

std::optional<SavedLine> KeptLine(const std::string& path, const std::string& key) {
    KeptLines& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.Find(path, key);
    if (found == table.entries.end()) return std::nullopt;
    return found->line;
}

void ForgetLine(const std::string& path, const std::string& key) {
    KeptLines& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.Find(path, key);
    if (found != table.entries.end()) table.entries.erase(found);
}

}  // namespace comm
