// The Win32 comm functions: find the device behind the handle, check the
// caller's pointers, and hand over.
#include "platform/comm/comm_device.h"

namespace {

kernel::Ref<comm::CommDevice> Device(HANDLE handle) { return kernel::Lookup<comm::CommDevice>(handle); }

BOOL Refuse(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
    auto device = Device(file);
    return device ? device->Read(static_cast<BYTE*>(buffer), bytesToRead, bytesRead, overlapped) : FALSE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    auto device = Device(file);
    return device ? device->Write(static_cast<const BYTE*>(buffer), bytesToWrite, bytesWritten, overlapped) : FALSE;
}

BOOL WaitCommEvent(HANDLE comm, LPDWORD eventMask, LPOVERLAPPED overlapped) {
    auto device = Device(comm);
    return device ? device->WaitEvent(eventMask, overlapped) : FALSE;
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred, BOOL wait) {
    auto device = Device(file);
    return device ? device->GetResult(overlapped, bytesTransferred, wait != FALSE) : FALSE;
}

BOOL CancelIo(HANDLE file) {
    auto device = Device(file);
    return device ? device->CancelThreadIo() : FALSE;
}

BOOL SetupComm(HANDLE comm, DWORD inQueue, DWORD) {
    auto device = Device(comm);
    return device ? device->Setup(inQueue) : FALSE;
}

BOOL GetCommState(HANDLE comm, LPDCB dcb) {
    auto device = Device(comm);
    if (!device) return FALSE;
    return dcb ? device->GetState(dcb) : Refuse(ERROR_INVALID_PARAMETER);
}

BOOL SetCommState(HANDLE comm, LPDCB dcb) {
    auto device = Device(comm);
    if (!device) return FALSE;
    return dcb ? device->SetState(dcb) : Refuse(ERROR_INVALID_PARAMETER);
}

BOOL GetCommMask(HANDLE comm, LPDWORD mask) {
    auto device = Device(comm);
    if (!device) return FALSE;
    return mask ? device->GetMask(mask) : Refuse(ERROR_INVALID_PARAMETER);
}

BOOL SetCommMask(HANDLE comm, DWORD mask) {
    auto device = Device(comm);
    return device ? device->SetMask(mask) : FALSE;
}

BOOL GetCommTimeouts(HANDLE comm, LPCOMMTIMEOUTS timeouts) {
    auto device = Device(comm);
    if (!device) return FALSE;
    return timeouts ? device->GetTimeouts(timeouts) : Refuse(ERROR_INVALID_PARAMETER);
}

BOOL SetCommTimeouts(HANDLE comm, LPCOMMTIMEOUTS timeouts) {
    auto device = Device(comm);
    if (!device) return FALSE;
    return timeouts ? device->SetTimeouts(timeouts) : Refuse(ERROR_INVALID_PARAMETER);
}

BOOL ClearCommError(HANDLE comm, LPDWORD errors, LPCOMSTAT status) {
    auto device = Device(comm);
    return device ? device->ClearError(errors, status) : FALSE;
}

BOOL PurgeComm(HANDLE comm, DWORD flags) {
    auto device = Device(comm);
    return device ? device->Purge(flags) : FALSE;
}
