// The Win32 comm functions. Each is one call of the entry check: the device
// behind the handle, then the caller's pointers; the device does the rest.
#include "platform/comm/comm_device.h"

namespace {

using comm::CommDevice;

// Calls the device's operation when the handle is a comm device (else
// ERROR_INVALID_HANDLE) and the arguments are usable (else
// ERROR_INVALID_PARAMETER).
template <auto Operation, class... Arguments>
BOOL Call(HANDLE handle, bool argumentsUsable, Arguments... arguments) {
    kernel::Ref<CommDevice> device = kernel::Lookup<CommDevice>(handle);
    if (!device) return FALSE;
    if (!argumentsUsable) return comm::Fail(ERROR_INVALID_PARAMETER);
    return (device.get()->*Operation)(arguments...);
}

}  // namespace

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
    return Call<&CommDevice::Read>(file, overlapped && (buffer || bytesToRead == 0), static_cast<BYTE*>(buffer),
                                   bytesToRead, bytesRead, overlapped);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    return Call<&CommDevice::Write>(file, overlapped && (buffer || bytesToWrite == 0), static_cast<const BYTE*>(buffer),
                                    bytesToWrite, bytesWritten, overlapped);
}

BOOL WaitCommEvent(HANDLE comm, LPDWORD eventMask, LPOVERLAPPED overlapped) {
    return Call<&CommDevice::WaitEvent>(comm, overlapped && eventMask, eventMask, overlapped);
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred, BOOL wait) {
    return Call<&CommDevice::GetResult>(file, overlapped != nullptr, overlapped, bytesTransferred, wait != FALSE);
}

BOOL CancelIo(HANDLE file) { return Call<&CommDevice::CancelThreadIo>(file, true); }

BOOL SetupComm(HANDLE comm, DWORD inQueue, DWORD) { return Call<&CommDevice::Setup>(comm, true, inQueue); }

BOOL GetCommState(HANDLE comm, LPDCB dcb) { return Call<&CommDevice::GetState>(comm, dcb != nullptr, dcb); }

BOOL GetCommProperties(HANDLE comm, LPCOMMPROP properties) {
    return Call<&CommDevice::GetProperties>(comm, properties != nullptr, properties);
}

BOOL SetCommState(HANDLE comm, LPDCB dcb) {
    return Call<&CommDevice::SetState>(comm, dcb != nullptr, static_cast<const DCB*>(dcb));
}

BOOL GetCommMask(HANDLE comm, LPDWORD mask) { return Call<&CommDevice::GetMask>(comm, mask != nullptr, mask); }

BOOL SetCommMask(HANDLE comm, DWORD mask) { return Call<&CommDevice::SetMask>(comm, true, mask); }

BOOL GetCommTimeouts(HANDLE comm, LPCOMMTIMEOUTS timeouts) {
    return Call<&CommDevice::GetTimeouts>(comm, timeouts != nullptr, timeouts);
}

BOOL SetCommTimeouts(HANDLE comm, LPCOMMTIMEOUTS timeouts) {
    return Call<&CommDevice::SetTimeouts>(comm, timeouts != nullptr, static_cast<const COMMTIMEOUTS*>(timeouts));
}

BOOL ClearCommError(HANDLE comm, LPDWORD errors, LPCOMSTAT status) {
    return Call<&CommDevice::ClearError>(comm, true, errors, status);
}

BOOL GetCommLostCount(HANDLE comm, PULONGLONG lost) {
    return Call<&CommDevice::GetLostCount>(comm, lost != nullptr, lost);
}

BOOL GetCommErrorCounts(HANDLE comm, PULONGLONG framing, PULONGLONG parity) {
    return Call<&CommDevice::GetErrorCounts>(comm, framing && parity, framing, parity);
}

BOOL SetCommArrivalTimes(HANDLE comm, BOOL keep) { return Call<&CommDevice::KeepArrivals>(comm, true, keep != FALSE); }

BOOL ReadCommArrivals(HANDLE comm, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, COMMARRIVAL* arrivals,
                      DWORD maxArrivals, LPDWORD arrivalCount) {
    return Call<&CommDevice::ReadArrivals>(comm, (buffer || bytesToRead == 0) && bytesRead && arrivalCount &&
                                                     (arrivals || maxArrivals == 0),
                                           static_cast<BYTE*>(buffer), bytesToRead, bytesRead, arrivals, maxArrivals,
                                           arrivalCount);
}

BOOL PurgeComm(HANDLE comm, DWORD flags) { return Call<&CommDevice::Purge>(comm, true, flags); }

BOOL FlushFileBuffers(HANDLE file) { return Call<&CommDevice::DrainAtClose>(file, true); }
