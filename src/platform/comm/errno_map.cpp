#include "platform/comm/errno_map.h"

#include <cerrno>
#include <cstring>

namespace comm {

DWORD Win32FromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT:
        case ENODEV:
        case ENXIO: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EBUSY:
        case EWOULDBLOCK: return ERROR_ACCESS_DENIED;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case ENOTTY: return ERROR_NOT_SUPPORTED;
        case EIO: return ERROR_DEVICE_NOT_CONNECTED;
        case ECANCELED: return ERROR_OPERATION_ABORTED;
        default: return ERROR_GEN_FAILURE;
    }
}

std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace comm
