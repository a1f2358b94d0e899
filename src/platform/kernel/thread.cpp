// Threads: a kernel object that is signalled when its thread has ended. A
// suspended thread exists but waits at its start until ResumeThread.
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <limits>
#include <new>

#include "platform/kernel/pending_io.h"
#include "platform/kernel/waitable.h"

namespace kernel {
namespace {

std::atomic<DWORD> g_nextThreadId{1};

class Thread final : public Waitable {
public:
    Thread(LPTHREAD_START_ROUTINE start, LPVOID parameter, bool suspended)
        : m_start(start), m_parameter(parameter), m_suspendCount(suspended ? 1 : 0) {}

    // Under the wait lock.
    DWORD ResumeLocked() {
        DWORD previous = m_suspendCount;
        if (m_suspendCount > 0 && --m_suspendCount == 0) m_resumed.notify_one();
        return previous;
    }
    DWORD ExitCodeLocked() const { return m_exitCode; }

    static void* Run(void* self) {
        auto* thread = static_cast<Thread*>(self);  // holds the reference taken for it
        {
            std::unique_lock lock(WaitLock());
            thread->m_resumed.wait(lock, [thread] { return thread->m_suspendCount == 0; });
        }
        DWORD code = thread->m_start(thread->m_parameter);
        ThreadIo::Current().AbortAll();
        {
            WakeBatch wakes;  // the joiners wake once the lock is free
            std::lock_guard lock(WaitLock());
            thread->m_exitCode = code;
            thread->SignalLocked();
        }
        thread->Release();
        return nullptr;
    }

private:
    const LPTHREAD_START_ROUTINE m_start;
    const LPVOID m_parameter;
    DWORD m_suspendCount;                  // under the wait lock
    DWORD m_exitCode = STILL_ACTIVE;       // under the wait lock
    std::condition_variable m_resumed;
};

DWORD Win32FromThreadError(int error) {
    return error == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY;
}

}  // namespace
}  // namespace kernel

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
    using kernel::Thread;
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* created = new (std::nothrow) Thread(start, parameter, (creationFlags & CREATE_SUSPENDED) != 0);
    if (!created) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto thread = kernel::Ref<kernel::Object>::Adopt(created);
    HANDLE handle = kernel::NewHandle(thread);
    if (!handle) return nullptr;

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize > 0) pthread_attr_setstacksize(&attributes, std::max<size_t>(stackSize, PTHREAD_STACK_MIN));
    created->AddRef();  // the running thread's own reference
    pthread_t id;
    int error = pthread_create(&id, &attributes, &Thread::Run, created);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        created->Release();
        CloseHandle(handle);
        SetLastError(kernel::Win32FromThreadError(error));
        return nullptr;
    }
    if (threadId) *threadId = kernel::g_nextThreadId.fetch_add(1, std::memory_order_relaxed);
    return handle;
}

DWORD ResumeThread(HANDLE handle) {
    auto thread = kernel::Lookup<kernel::Thread>(handle);
    if (!thread) return static_cast<DWORD>(-1);
    std::lock_guard lock(kernel::WaitLock());
    return thread->ResumeLocked();
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    auto thread = kernel::Lookup<kernel::Thread>(handle);
    if (!thread) return FALSE;
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(kernel::WaitLock());
    *exitCode = thread->ExitCodeLocked();
    return TRUE;
}
