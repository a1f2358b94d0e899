// The Win32 comm functions. Each begins with the one entry check: the device
// behind the handle, then the caller's pointers; the device does the rest.
#include "platform/comm/comm_device.h"

namespace {

using comm::CommDevice;

// The device behind the handle (else null with ERROR_INVALID_HANDLE), when
// the arguments are usable (else null with ERROR_INVALID_PARAMETER).
kernel::Ref<CommDevice> Enter(HANDLE handle, bool argumentsUsable = true) {
    kernel::Ref<CommDevice> device = kernel::Lookup<CommDevice>(handle);
    if (device && !argumentsUsable) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    return device;
}

}  // namespace

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
    auto device = Enter(file, overlapped && (buffer || bytesToRead == 0));
    return device && device->Read(static_cast<BYTE*>(buffer), bytesToRead, bytesRead, overlapped);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    auto device = Enter(file, overlapped && (buffer || bytesToWrite == 0));
    return device && device->Write(static_cast<const BYTE*>(buffer), bytesToWrite, bytesWritten, overlapped);
}

BOOL WaitCommEvent(HANDLE comm, LPDWORD eventMask, LPOVERLAPPED overlapped) {
    auto device = Enter(comm, overlapped && eventMask);
    return device && device->WaitEvent(eventMask, overlapped);
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred, BOOL wait) {
    auto device = Enter(file, overlapped != nullptr);
    return device && device->GetResult(overlapped, bytesTransferred, wait != FALSE);
}

BOOL CancelIo(HANDLE file) {
    auto device = Enter(file);
    return device && device->CancelThreadIo();
}

BOOL SetupComm(HANDLE comm, DWORD inQueue, DWORD) {
    auto device = Enter(comm);
    return device && device->Setup(inQueue);
}

BOOL GetCommState(HANDLE comm, LPDCB dcb) {
    auto device = Enter(comm, dcb != nullptr);
    return device && device->GetState(dcb);
}

BOOL SetCommState(HANDLE comm, LPDCB dcb) {
    auto device = Enter(comm, dcb != nullptr);
    return device && device->SetState(dcb);
}

BOOL GetCommMask(HANDLE comm, LPDWORD mask) {
    auto device = Enter(comm, mask != nullptr);
    return device && device->GetMask(mask);
}

BOOL SetCommMask(HANDLE comm, DWORD mask) {
    auto device = Enter(comm);
    return device && device->SetMask(mask);
}

BOOL GetCommTimeouts(HANDLE comm, LPCOMMTIMEOUTS timeouts) {
    auto device = Enter(comm, timeouts != nullptr);
    return device && device->GetTimeouts(timeouts);
}

BOOL SetCommTimeouts(HANDLE comm, LPCOMMTIMEOUTS timeouts) {
    auto device = Enter(comm, timeouts != nullptr);
    return device && device->SetTimeouts(timeouts);
}

BOOL ClearCommError(HANDLE comm, LPDWORD errors, LPCOMSTAT status) {
    auto device = Enter(comm);
    return device && device->ClearError(errors, status);
}

BOOL PurgeComm(HANDLE comm, DWORD flags) {
    auto device = Enter(comm);
    return device && device->Purge(flags);
}
