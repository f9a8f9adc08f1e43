// posix_errors.cc: translation of POSIX errors into the Windows error
// numbers that the library's one mapping table expects.
//
// Thread-safety: pure.

#include <cerrno>

#include "src/platform/posix/posix_platform.h"
#include "src/platform/system_errors.h"

namespace zarq {

uint32_t WindowsErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY:
      return kErrorAccessDenied;
    case EBADF:
      return kErrorInvalidHandle;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case ENODEV:
    case ENXIO:
      return kErrorInvalidDrive;
    case EXDEV:
      return kErrorNotSameDevice;
    case EROFS:
      return kErrorWriteProtect;
    case ESPIPE:
      return kErrorSeek;
    case EIO:
      return kErrorGenFailure;
    case EAGAIN:
      return kErrorLockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrorHandleDiskFull;
    case ESTALE:
    case ETIMEDOUT:
    case ECONNRESET:
    case ECONNABORTED:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENOTCONN:
    case EREMOTEIO:
      return kErrorUnexpectedNetworkError;
    case EEXIST:
      return kErrorAlreadyExists;
    case EINVAL:
      return kErrorInvalidParameter;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case EBUSY:
      return kErrorBusy;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    default:
      return kErrorGenFailure;
  }
}

}  // namespace zarq
