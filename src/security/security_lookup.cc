// security_lookup.cc: handles from identities, handles in list order,
// counts and identities of handles.
//
// Thread-safety: callers hold the library lock.

#include "src/security/security_lookup.h"

#include <cstring>
#include <vector>

#include "src/directory/directory_status.h"
#include "src/directory/directory_users.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/security_handle.h"
#include "src/frame/ascii_text.h"
#include "src/master/index_store.h"
#include "src/master/security_info.h"
#include "src/master/security_list.h"
#include "src/master/security_store.h"
#include "src/security/security_locking.h"

namespace zarq {
namespace {

// The directory of a lookup: open, holding a database, still registered.
int32_t FindRegisteredDirectory(uint8_t directory, DirectoryEntry** entry) {
  *entry = FindDirectory(directory);
  if (*entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if ((*entry)->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  if (!(*entry)->Has(kDirHoldsDatabase)) return ZARQ_E_NOT_REGISTERED;
  return ZARQ_OK;
}

}  // namespace

int32_t GetSecurityHandle(const ZarqSecurityId& id, uint32_t* handle) {
  *handle = 0;
  DirectoryEntry* entry = nullptr;
  int32_t status = FindRegisteredDirectory(id.DirNumber, &entry);
  if (status != ZARQ_OK) return status;
  IndexEntry key;
  std::memcpy(key.symbol, id.Symbol, sizeof(key.symbol) - 1);
  if (id.Composite != 0) {
    std::memcpy(key.symbol2, id.Symbol2, sizeof(key.symbol2) - 1);
    key.op = id.Operator;
  }
  key.period = AsciiUpper(id.Period);
  key.interval = key.period == 'I' ? id.Interval : 0;
  IndexEntry found;
  status = LookUpIndexEntry(id.DirNumber, key, &found);
  if (status != ZARQ_OK) return status;
  // An entry is only as good as the slot it names.
  SecurityListHeader header;
  status = AccessSecurityHeader(id.DirNumber, &header, ListHeaderAccess::kRead);
  if (status != ZARQ_OK) return status;
  if (found.slot == 0 || found.slot > header.slot_count) return ZARQ_E_NO_SUCH_SECURITY;
  *handle = MakeSecurityHandle(id.DirNumber, found.slot, found.op != 0);
  return ZARQ_OK;
}

int32_t GetHandleFromInfo(uint8_t directory, const ZarqSecurityInfo& info, uint32_t* handle) {
  ZarqSecurityId id = {};
  id.Size = sizeof(ZarqSecurityId);
  id.DirNumber = directory;
  std::memcpy(id.Symbol, info.Symbol, sizeof(id.Symbol));
  id.Period = AsciiUpper(info.Period);
  if (id.Period == 'I') id.Interval = info.Interval;
  if (info.Composite != 0) {
    id.Composite = 1;
    id.Operator = info.Operator;
    std::memcpy(id.Symbol2, info.Symbol2, sizeof(id.Symbol2));
  }
  return GetSecurityHandle(id, handle);
}

int32_t GetSecurityHandles(uint8_t directory, uint32_t start, uint32_t max, uint32_t* handles,
                           uint32_t* count) {
  *count = 0;
  DirectoryEntry* entry = FindDirectory(directory);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (start != 0 &&
      (CheckSecurityHandle(start) != ZARQ_OK || DirectoryOfHandle(start) != directory)) {
    return ZARQ_E_INVALID_HANDLE;
  }
  int32_t status = VerifyUserRecord(entry);
  if (status != ZARQ_OK) return status;
  SecurityHeaderLock lock;
  status = lock.Acquire(directory);
  SecurityList list;
  if (status == ZARQ_OK) status = ReadSecurityList(entry, &list);
  if (status == ZARQ_OK && list.header.stamp != entry->user_file_stamp) {
    status = ZARQ_E_STAMP_MISMATCH;
  }
  if (status != ZARQ_OK) return status;
  uint32_t slots = list.size();
  uint32_t slot = start != 0 ? SlotOfHandle(start) : list.header.first_slot;
  // A start beyond the list names no security; a link beyond it is damage.
  if (start != 0 && slot > slots) return ZARQ_E_NO_SUCH_SECURITY;
  // Bounded by the number of slots: a chain that loops is damage, not a
  // reason to walk for ever under the header lock.
  for (uint32_t steps = 0; slot != 0 && *count < max; ++steps) {
    if (slot > slots || steps >= slots) return ZARQ_E_BAD_LIST_FILE;
    const SecurityRecord& record = list.at(slot);
    if (!record.deleted)
      handles[(*count)++] = MakeSecurityHandle(directory, slot, record.composite);
    slot = record.next_slot;
  }
  return lock.Release();
}

int32_t GetDirNumberFromHandle(uint32_t handle, uint8_t* directory) {
  *directory = 0;
  uint8_t number = DirectoryOfHandle(handle);
  if (FindDirectory(number) == nullptr) return ZARQ_E_INVALID_HANDLE;
  *directory = number;
  return ZARQ_OK;
}

int32_t GetSecurityId(uint32_t handle, ZarqSecurityId* id) {
  std::memset(id, 0, sizeof(*id));
  id->Size = sizeof(ZarqSecurityId);
  if (!IsWellFormedHandle(handle)) return ZARQ_E_INVALID_HANDLE;
  ZarqSecurityInfo info;
  int32_t status = RecordToInfo(handle, nullptr, nullptr, &info);
  if (status != ZARQ_OK) return status;
  id->DirNumber = DirectoryOfHandle(handle);
  std::memcpy(id->Symbol, info.Symbol, sizeof(id->Symbol));
  id->Period = info.Period;
  id->Interval = info.Interval;
  id->Composite = info.Composite;
  if (info.Composite != 0) {
    std::memcpy(id->Symbol2, info.Symbol2, sizeof(id->Symbol2));
    id->Operator = info.Operator;
  }
  return ZARQ_OK;
}

int32_t GetSecurityCount(uint8_t directory, uint32_t* count) {
  uint32_t slots = 0;
  return GetSecurityCounts(directory, count, &slots);
}

}  // namespace zarq
