// directory_status.h: what ZARQ1_GetDirectoryStatus and
// ZARQ1_GetLastFailedOpenDirInfo report.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DIRECTORY_DIRECTORY_STATUS_H_
#define ZARQ_SRC_DIRECTORY_DIRECTORY_STATUS_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// The status of the open directory number (when above 0), else of the
// folder at path, open or not.
int32_t GetDirectoryStatus(int8_t number, const char* path, ZarqDirectoryStatus* status);

// Splits the last failed open's text at its first ':' into the two
// outputs (at least 31 bytes each).
int32_t GetLastFailedOpenDirInfo(char* application, char* user);

// The number of live securities of an open directory holding a database,
// and its number of slots.
int32_t GetSecurityCounts(uint8_t number, uint32_t* live, uint32_t* slots);

}  // namespace zarq

#endif  // ZARQ_SRC_DIRECTORY_DIRECTORY_STATUS_H_
