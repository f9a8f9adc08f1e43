// security_files.cc: naming, opening and record I/O of a security's files.
//
// Thread-safety: callers hold the library lock.

#include "src/fileio/security_files.h"

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"

namespace zarq {
namespace {

constinit SecurityFactsFetcher g_fetcher = nullptr;

}  // namespace

SecurityFactsFetcher SetSecurityFactsFetcher(SecurityFactsFetcher fetcher) {
  SecurityFactsFetcher previous = g_fetcher;
  g_fetcher = fetcher;
  return previous;
}

int32_t FetchSecurityFacts(uint32_t security, SecurityFileFacts* facts) {
  *facts = SecurityFileFacts{};
  if (g_fetcher == nullptr) return ZARQ_E_NOT_LOCKED;
  return g_fetcher(security, facts);
}

int32_t BuildSecurityFileName(uint32_t security, std::string* name, uint16_t kind) {
  SecurityFileFacts facts;
  uint32_t number = 0;
  if (FetchSecurityFacts(security, &facts) == ZARQ_OK) {
    uint16_t plain = kind & kKindMask;
    number = facts.file_number;
    if (facts.composite && plain == kKindPrimaryData) number = facts.primary_file_number;
    if (facts.composite && plain == kKindSecondaryData) number = facts.secondary_file_number;
  }
  return BuildFileName(DirectoryOfHandle(security), number, name, kind);
}

int32_t OpenSecurityFile(uint32_t security, FileHandle* handle, uint32_t flags, uint16_t kind) {
  *handle = kNoFileHandle;
  SecurityFileFacts facts;
  int32_t status = FetchSecurityFacts(security, &facts);
  if (status != ZARQ_OK) return status;
  std::string name;
  status = BuildSecurityFileName(security, &name, kind);
  if (status != ZARQ_OK) return status;
  status = FileOpen(DirectoryOfHandle(security), name.c_str(), handle, flags);
  if (status != ZARQ_OK) return status;
  FileTagLatest(facts.file_number);
  return ZARQ_OK;
}

int32_t SeekSecurityRecords(uint32_t security, FileHandle handle, int32_t index) {
  SecurityFileFacts facts;
  int32_t status = FetchSecurityFacts(security, &facts);
  if (status != ZARQ_OK) return status;
  return FileSeek(handle, facts.record_size, index, kSeekRecord);
}

int32_t ReadSecurityRecords(uint32_t security, FileHandle handle, uint32_t count, void* buffer) {
  SecurityFileFacts facts;
  int32_t status = FetchSecurityFacts(security, &facts);
  if (status != ZARQ_OK) return status;
  return FileRead(handle, count * facts.record_size, buffer);
}

int32_t WriteSecurityRecords(uint32_t security, FileHandle handle, uint32_t count,
                             const void* buffer) {
  SecurityFileFacts facts;
  int32_t status = FetchSecurityFacts(security, &facts);
  if (status != ZARQ_OK) return status;
  return FileWrite(handle, count * facts.record_size, buffer);
}

}  // namespace zarq
