#include "platform/kernel/event.h"

#include <new>

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
    if (name) {  // named events are shared between processes; nothing here needs them
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto* event = new (std::nothrow) kernel::Event(manualReset != FALSE, initialState != FALSE);
    if (!event) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return kernel::NewHandle(kernel::Ref<kernel::Object>::Adopt(event));
}

BOOL SetEvent(HANDLE handle) {
    auto event = kernel::Lookup<kernel::Event>(handle);
    if (!event) return FALSE;
    event->Signal();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
    auto event = kernel::Lookup<kernel::Event>(handle);
    if (!event) return FALSE;
    event->Unsignal();
    return TRUE;
}
