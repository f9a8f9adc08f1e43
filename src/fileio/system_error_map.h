// system_error_map.h: the one table that turns a system error (a Windows
// error number, on every system) into a status code.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_FILEIO_SYSTEM_ERROR_MAP_H_
#define ZARQ_SRC_FILEIO_SYSTEM_ERROR_MAP_H_

#include <cstdint>

namespace zarq {

// The status for error (only its low 16 bits count); errors the table does
// not name give fallback, the operation's own default.
int32_t MapSystemError(uint32_t error, int32_t fallback);

// Milliseconds since start (a tick count), correct across the counter's wrap.
uint32_t ElapsedTicks(uint32_t start);

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_SYSTEM_ERROR_MAP_H_
