// GetCommDeviceIdentityA: which physical device a port name leads to now.
#include "platform/comm/call_result.h"
#include "platform/comm/device_name.h"
#include "platform/comm/errno_map.h"
#include "platform/comm/net/server_signature.h"
#include "platform/comm/net/server_watch.h"
#include "platform/comm/text_out.h"
#include "platform/comm/tty/device_identity.h"
#include "platform/kernel/visible_text.h"

using comm::Fail;

BOOL GetCommDeviceIdentityA(LPCSTR deviceName, LPSTR key, LPDWORD keySize, LPSTR text, LPDWORD textSize) {
    if (!deviceName || !keySize || !textSize || (!key && *keySize > 0) || (!text && *textSize > 0))
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string name = std::string("\\\\.\\") + deviceName;
    comm::DeviceIdentity identity;
    // A network port is its server's host and port, and what the server says
    // it is where it says so: a server at the same address that says it is
    // another port (ser2net's ports can each be given their own signature)
    // is another device. A server whose connection ended is away until it
    // answers again.
    if (auto address = comm::NetworkPortFor(name)) {
        std::string signature;
        if (!comm::net::ServerAnswering(*address, signature)) return Fail(ERROR_DEVICE_NOT_CONNECTED);
        const std::string addressText = comm::net::NetAddressText(*address);
        const std::string known = comm::net::SignatureOf(addressText);
        identity.key = addressText;
        if (!signature.empty() && !known.empty() && signature != known) identity.key += " (server: " + signature + ")";
        const std::string& says = signature.empty() ? known : signature;
        identity.text = kernel::VisibleText(says.empty() ? addressText : addressText + " (server: " + says + ")");
    } else if (auto path = comm::LinuxDeviceFor(name); !path) {
        return Fail(ERROR_FILE_NOT_FOUND);
    } else if (int error = comm::IdentityOfPath(*path, identity); error != 0) {
        SetLastErrorText(comm::Win32FromErrno(error), comm::ErrnoText(error).c_str());
        return FALSE;
    }
    const DWORD keyRoom = *keySize;
    const DWORD textRoom = *textSize;
    *keySize = static_cast<DWORD>(identity.key.size() + 1);
    *textSize = static_cast<DWORD>(identity.text.size() + 1);
    // Both or neither: a caller given the sizes asks again with room for both.
    if (*keySize > keyRoom || *textSize > textRoom) return Fail(ERROR_INSUFFICIENT_BUFFER);
    comm::CopyText(identity.key, key, keyRoom);
    comm::CopyText(identity.text, text, textRoom);
    return TRUE;
}
