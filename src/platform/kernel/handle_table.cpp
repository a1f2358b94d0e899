// The handle table: a HANDLE is the object's address, valid only while it is
// in the table, so a stale or made-up handle fails instead of being followed.
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/kernel/kernel_object.h"

namespace kernel {
namespace {

std::mutex g_tableLock;

std::unordered_set<Object*>& Table() {
    static auto* table = new std::unordered_set<Object*>;  // outlives static destruction
    return *table;
}

}  // namespace

HANDLE NewHandle(const Ref<Object>& object) {
    std::lock_guard lock(g_tableLock);
    try {
        Table().insert(object.get());
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    object->AddRef();
    return object.get();
}

Ref<Object> LookupObject(HANDLE handle) {
    std::lock_guard lock(g_tableLock);
    auto found = Table().find(static_cast<Object*>(handle));
    if (found == Table().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return {};
    }
    return Ref<Object>::Share(*found);
}

}  // namespace kernel

BOOL CloseHandle(HANDLE handle) {
    kernel::Object* object;
    {
        std::lock_guard lock(kernel::g_tableLock);
        auto found = kernel::Table().find(static_cast<kernel::Object*>(handle));
        if (found == kernel::Table().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = *found;
        kernel::Table().erase(found);
    }
    object->OnHandleClosed();
    object->Release();
    return TRUE;
}
