// system_errors.h: the Windows error numbers that cross the platform
// boundary. POSIX errors are translated into these first, so one table
// (MapSystemError) turns every system failure into a status code.

#ifndef ZARQ_SRC_PLATFORM_SYSTEM_ERRORS_H_
#define ZARQ_SRC_PLATFORM_SYSTEM_ERRORS_H_

#include <cstdint>

namespace zarq {

inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorTooManyOpenFiles = 4;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorInvalidDrive = 15;
inline constexpr uint32_t kErrorCurrentDirectory = 16;
inline constexpr uint32_t kErrorNotSameDevice = 17;
inline constexpr uint32_t kErrorNoMoreFiles = 18;
inline constexpr uint32_t kErrorWriteProtect = 19;
inline constexpr uint32_t kErrorNotReady = 21;
inline constexpr uint32_t kErrorSeek = 25;
inline constexpr uint32_t kErrorWriteFault = 29;
inline constexpr uint32_t kErrorReadFault = 30;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorLockViolation = 33;
inline constexpr uint32_t kErrorHandleEof = 38;
inline constexpr uint32_t kErrorHandleDiskFull = 39;
inline constexpr uint32_t kErrorUnexpectedNetworkError = 59;
inline constexpr uint32_t kErrorFileExists = 80;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorDiskFull = 112;
inline constexpr uint32_t kErrorDirNotEmpty = 145;
inline constexpr uint32_t kErrorBusy = 170;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorFilenameTooLong = 206;

}  // namespace zarq

#endif  // ZARQ_SRC_PLATFORM_SYSTEM_ERRORS_H_
