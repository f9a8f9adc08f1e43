// security_list_header.h: the header record of the security list file read
// and written under its byte-range lock, and the relinking of the whole
// list under that lock.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_SECURITY_LIST_HEADER_H_
#define ZARQ_SRC_MASTER_SECURITY_LIST_HEADER_H_

#include <cstdint>
#include <functional>

#include "src/fileio/directory_entry.h"
#include "src/master/security_list.h"
#include "src/master/security_record.h"

namespace zarq {

// Reads and checks the header (-352 magic, -247 version) under its lock;
// *whole_records is the number of whole 178-byte records of the file.
int32_t ReadListHeaderLocked(DirectoryEntry* entry, SecurityListHeader* header,
                             uint32_t* whole_records);

// Writes the header under its lock.
int32_t WriteListHeaderLocked(DirectoryEntry* entry, const SecurityListHeader& header);

// Holds the header lock while work rebuilds the whole list (read into
// memory first) and writes it back; -367 when the process is not
// registered in the directory.
int32_t RelinkSecurityList(DirectoryEntry* entry,
                           const std::function<int32_t(SecurityList*)>& work);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_SECURITY_LIST_HEADER_H_
