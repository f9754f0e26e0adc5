#include "bridge/system_error_code.h"

#include <cerrno>
#include <iterator>

namespace {

struct ErrorPair {
  int errno_value;
  int windows_code;
};

// One table: each errno value with the Windows code the page knows for it.
constexpr ErrorPair kErrorPairs[] = {
    {0, kWindowsErrorSuccess},
    {ENOENT, kWindowsErrorFileNotFound},
    {ENOTDIR, kWindowsErrorPathNotFound},
    {EACCES, kWindowsErrorAccessDenied},
    {EPERM, kWindowsErrorAccessDenied},
    {EISDIR, kWindowsErrorAccessDenied},
    {ECANCELED, kWindowsErrorCancelled},
    {EBADF, 6},           // ERROR_INVALID_HANDLE
    {ENOMEM, 8},          // ERROR_NOT_ENOUGH_MEMORY
    {EMFILE, 4},          // ERROR_TOO_MANY_OPEN_FILES
    {ENFILE, 4},          // ERROR_TOO_MANY_OPEN_FILES
    {EXDEV, 17},          // ERROR_NOT_SAME_DEVICE
    {EROFS, 19},          // ERROR_WRITE_PROTECT
    {ETXTBSY, 32},        // ERROR_SHARING_VIOLATION
    {ENOSYS, 50},         // ERROR_NOT_SUPPORTED
    {EOPNOTSUPP, 50},     // ERROR_NOT_SUPPORTED
    {EINVAL, 87},         // ERROR_INVALID_PARAMETER
    {EPIPE, 109},         // ERROR_BROKEN_PIPE
    {ENOSPC, 112},        // ERROR_DISK_FULL
    {ENOTEMPTY, 145},     // ERROR_DIR_NOT_EMPTY
    {EBUSY, 170},         // ERROR_BUSY
    {EEXIST, 183},        // ERROR_ALREADY_EXISTS
    {ENOEXEC, 193},       // ERROR_BAD_EXE_FORMAT
    {ENAMETOOLONG, 206},  // ERROR_FILENAME_EXCED_RANGE
    {EIO, 1117},          // ERROR_IO_DEVICE
    {EAGAIN, 1450},       // ERROR_NO_SYSTEM_RESOURCES (fork at the process limit)
    {ETIMEDOUT, 1460},    // ERROR_TIMEOUT
    {ELOOP, 1921},        // ERROR_CANT_RESOLVE_FILENAME
};

}  // namespace

int WindowsErrorFromErrno(int errno_value) {
  for (const ErrorPair& pair : kErrorPairs) {
    if (pair.errno_value == errno_value) return pair.windows_code;
  }
  return kWindowsErrorGenFailure;
}
