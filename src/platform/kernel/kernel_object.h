// Kernel objects behind HANDLEs: a reference-counted base, a smart reference
// and the handle table. A call that uses a handle holds a reference for its
// duration, so closing the handle never frees an object under a waiter.
#pragma once

#include <atomic>
#include <utility>

#include "platform/win32.h"

namespace kernel {

class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void AddRef() { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void Release() {
        if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }

    // Runs once, when CloseHandle removes the object's handle; other holders
    // may still keep references.
    virtual void OnHandleClosed() {}

protected:
    virtual ~Object() = default;

private:
    std::atomic<int> m_refs{1};
};

// An owning pointer to a kernel object.
template <class T>
class Ref {
public:
    Ref() = default;
    // Takes over the reference the caller holds (a new object starts with one).
    static Ref Adopt(T* object) { return Ref(object); }
    // Adds a reference of its own.
    static Ref Share(T* object) {
        if (object) object->AddRef();
        return Ref(object);
    }
    Ref(const Ref& other) : m_object(other.m_object) {
        if (m_object) m_object->AddRef();
    }
    Ref(Ref&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(m_object, other.m_object);
        return *this;
    }
    ~Ref() {
        if (m_object) m_object->Release();
    }

    T* get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    explicit Ref(T* object) : m_object(object) {}
    T* m_object = nullptr;
};

// Enters the object in the handle table, which keeps a reference until
// CloseHandle. Returns null (ERROR_NOT_ENOUGH_MEMORY) if it cannot.
HANDLE NewHandle(const Ref<Object>& object);

// The object behind an open handle, or null with ERROR_INVALID_HANDLE set.
Ref<Object> LookupObject(HANDLE handle);

// The object behind an open handle if it is a T, else null with ERROR_INVALID_HANDLE set.
template <class T>
Ref<T> Lookup(HANDLE handle) {
    Ref<Object> object = LookupObject(handle);
    T* typed = dynamic_cast<T*>(object.get());
    if (!typed) {
        if (object) SetLastError(ERROR_INVALID_HANDLE);
        return {};
    }
    return Ref<T>::Share(typed);
}

}  // namespace kernel
