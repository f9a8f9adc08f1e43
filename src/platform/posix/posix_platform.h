// posix_platform.h: helpers shared by the files of the POSIX Platform.
//
// Thread-safety: pure, apart from reading the file system.

#ifndef ZARQ_SRC_PLATFORM_POSIX_POSIX_PLATFORM_H_
#define ZARQ_SRC_PLATFORM_POSIX_POSIX_PLATFORM_H_

#include <string>

#include "src/platform/native_platform.h"

namespace zarq {

// The Windows error number that stands for a POSIX errno value.
uint32_t WindowsErrorFromErrno(int error);

// path itself when it exists; otherwise the one name of its folder that
// matches its last part without regard to case, when there is exactly one.
std::string ResolveExistingName(const std::string& path);

}  // namespace zarq

#endif  // ZARQ_SRC_PLATFORM_POSIX_POSIX_PLATFORM_H_
