// security_files.h: the files of one security, reached through the
// security's record as this process holds it locked.
//
// The locking layer (above this one) keeps the working copy of every
// security the process has locked; it installs a fetcher that answers what
// file access needs of that record. Without one, or for a security not
// locked here, the fetcher's status (-320) is returned.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_FILEIO_SECURITY_FILES_H_
#define ZARQ_SRC_FILEIO_SECURITY_FILES_H_

#include <cstdint>
#include <string>

#include "src/fileio/security_handle.h"
#include "src/platform/platform.h"

namespace zarq {

// The fields of a locked security's record that name and size its files.
struct SecurityFileFacts {
  uint32_t file_number = 0;
  uint32_t primary_file_number = 0;    // composites
  uint32_t secondary_file_number = 0;  // composites
  bool composite = false;
  uint16_t field_mask = 0;
  uint16_t record_size = 0;  // bytes of one stored price record
};

// 0 and the facts of a security this process holds locked, or a status.
using SecurityFactsFetcher = int32_t (*)(uint32_t security, SecurityFileFacts* facts);

// Installs fetcher and returns the one it replaces, for a test to put back.
SecurityFactsFetcher SetSecurityFactsFetcher(SecurityFactsFetcher fetcher);
int32_t FetchSecurityFacts(uint32_t security, SecurityFileFacts* facts);

// The name of the security's file of a kind: for a composite, kinds 1 and 2
// name its components' data files. A security whose record cannot be had
// gets number 0.
int32_t BuildSecurityFileName(uint32_t security, std::string* name, uint16_t kind);

// Names and opens the security's file of a kind in its directory, tagging
// a freshly opened slot with the security's FileNumber.
int32_t OpenSecurityFile(uint32_t security, FileHandle* handle, uint32_t flags, uint16_t kind);

// Record-sized positioning, reading and writing with the security's
// record size.
int32_t SeekSecurityRecords(uint32_t security, FileHandle handle, int32_t index);
int32_t ReadSecurityRecords(uint32_t security, FileHandle handle, uint32_t count, void* buffer);
int32_t WriteSecurityRecords(uint32_t security, FileHandle handle, uint32_t count,
                             const void* buffer);

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_SECURITY_FILES_H_
