// security_enumeration.cc: the list walks and CurrentSecurity.
//
// Each call reads the security list header once (SecurityListReader) and
// then the records it walks, each under its own byte-range lock; no lock
// spans the calls, so a list another process changes is seen as it is at
// each read. A walk takes at most SlotCount steps: a chain that loops, or
// leads out of the list, is damage (-352).
//
// Thread-safety: callers hold the library lock.

#include "src/security/security_enumeration.h"

#include <cstring>

#include "src/directory/directory_users.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/security_handle.h"
#include "src/master/security_info.h"
#include "src/master/security_store.h"

namespace zarq {
namespace {

enum class Direction { kForward, kBackward };

// The security last returned, and the opening of its directory.
struct Current {
  uint32_t handle = 0;
  uint32_t serial = 0;
};
constinit Current g_current;

void SetCurrent(const DirectoryEntry& entry, uint32_t handle) {
  g_current = {handle, entry.serial};
}

int32_t StatusAtEnd(Direction direction) {
  return direction == Direction::kForward ? ZARQ_NO_NEXT : ZARQ_NO_PREVIOUS;
}

// One walk: the directory's list header read once, then records by slot.
class Walk {
 public:
  int32_t Open(uint8_t directory) {
    directory_ = directory;
    return reader_.Open(directory);
  }
  const SecurityListHeader& header() const { return reader_.header(); }

  // Describes the security of slot into *info and gives its neighbours.
  int32_t Describe(uint32_t slot, ZarqSecurityInfo* info, uint32_t* prev, uint32_t* next) {
    SecurityRecord record;
    int32_t status = reader_.Read(slot, &record);
    if (status != ZARQ_OK) return status;
    uint32_t handle = MakeSecurityHandle(directory_, slot, record.composite != 0);
    return DescribeRecord(handle, record, prev, next, info);
  }

  // From slot along the chain to the first live security: its info, and
  // its neighbours; -191 when the chain ends first.
  int32_t ToLive(uint32_t slot, Direction direction, ZarqSecurityInfo* info, uint32_t* prev,
                 uint32_t* next) {
    for (uint32_t steps = 0; slot != 0; ++steps) {
      if (steps >= header().slot_count || slot > header().slot_count) return ZARQ_E_BAD_LIST_FILE;
      int32_t status = Describe(slot, info, prev, next);
      if (status != ZARQ_E_NO_SUCH_SECURITY) return status;
      slot = direction == Direction::kForward ? *next : *prev;
    }
    return ZARQ_E_NO_SUCH_SECURITY;
  }

  // 0 when a live security lies from slot on in direction; 6 (forward) or
  // 5 (backward) when none does.
  int32_t LiveFrom(uint32_t slot, Direction direction) {
    ZarqSecurityInfo scratch;
    uint32_t prev = 0, next = 0;
    int32_t status = ToLive(slot, direction, &scratch, &prev, &next);
    return status == ZARQ_E_NO_SUCH_SECURITY ? StatusAtEnd(direction) : status;
  }

 private:
  uint8_t directory_ = 0;
  SecurityListReader reader_;
};

int32_t CheckWalkDirectory(uint8_t directory, DirectoryEntry** entry) {
  *entry = FindDirectory(directory);
  if (*entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if ((*entry)->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  if (!(*entry)->Has(kDirHoldsDatabase)) return ZARQ_E_NOT_REGISTERED;
  return ZARQ_OK;
}

// First (forward from FirstSlot) or last (backward from LastSlot).
int32_t FromEnd(uint8_t directory, Direction direction, ZarqSecurityInfo* info) {
  DirectoryEntry* entry = nullptr;
  int32_t status = CheckWalkDirectory(directory, &entry);
  if (status == ZARQ_OK) status = VerifyUserRecord(entry);
  Walk walk;
  if (status == ZARQ_OK) status = walk.Open(directory);
  if (status != ZARQ_OK) return status;
  bool forward = direction == Direction::kForward;
  uint32_t prev = 0, next = 0;
  status = walk.ToLive(forward ? walk.header().first_slot : walk.header().last_slot, direction,
                       info, &prev, &next);
  if (status != ZARQ_OK) return status;
  status = walk.LiveFrom(forward ? next : prev, direction);
  if (status >= 0) SetCurrent(*entry, info->Handle);
  return status;
}

// Next (forward) or previous (backward) from handle, or from the current
// security when handle is 0.
int32_t FromHandle(uint32_t handle, Direction direction, ZarqSecurityInfo* info) {
  std::memset(info, 0, sizeof(*info));
  info->Size = kSecurityInfoSize;
  if (handle == 0) handle = CurrentSecurity();
  if (handle == 0) return ZARQ_E_NO_SUCH_SECURITY;
  if (!IsWellFormedHandle(handle)) return ZARQ_E_INVALID_HANDLE;
  DirectoryEntry* entry = nullptr;
  int32_t status = CheckWalkDirectory(DirectoryOfHandle(handle), &entry);
  Walk walk;
  if (status == ZARQ_OK) status = walk.Open(entry->number);
  uint32_t prev = 0, next = 0;
  uint32_t slot = SlotOfHandle(handle);
  if (status == ZARQ_OK && (slot == 0 || slot > walk.header().slot_count)) {
    status = ZARQ_E_NO_SUCH_SECURITY;
  }
  if (status == ZARQ_OK) {
    status = walk.Describe(slot, info, &prev, &next);
    // Within the list, only a deleted security is -191: it still gives
    // its links.
    if (status == ZARQ_E_NO_SUCH_SECURITY) status = ZARQ_OK;
  }
  if (status != ZARQ_OK) return status;
  Direction back = direction == Direction::kForward ? Direction::kBackward : Direction::kForward;
  status =
      walk.ToLive(direction == Direction::kForward ? next : prev, direction, info, &prev, &next);
  if (status != ZARQ_OK) return status;
  // Nothing after the one returned is news first; then nothing before it.
  uint32_t ahead = direction == Direction::kForward ? next : prev;
  uint32_t behind = direction == Direction::kForward ? prev : next;
  status = walk.LiveFrom(ahead, direction);
  if (status == ZARQ_OK) status = walk.LiveFrom(behind, back);
  if (status >= 0) SetCurrent(*entry, info->Handle);
  return status;
}

}  // namespace

uint32_t CurrentSecurity() {
  DirectoryEntry* entry = FindDirectory(DirectoryOfHandle(g_current.handle));
  return entry != nullptr && entry->serial == g_current.serial ? g_current.handle : 0;
}

void ForgetCurrentSecurity() { g_current = Current{}; }

int32_t GetSecurityInfo(uint32_t handle, ZarqSecurityInfo* info) {
  if (!IsWellFormedHandle(handle)) {
    std::memset(info, 0, sizeof(*info));
    info->Size = kSecurityInfoSize;
    return ZARQ_E_INVALID_HANDLE;
  }
  return RecordToInfo(handle, nullptr, nullptr, info);
}

int32_t GetFirstSecurityInfo(uint8_t directory, ZarqSecurityInfo* info) {
  std::memset(info, 0, sizeof(*info));
  info->Size = kSecurityInfoSize;
  return FromEnd(directory, Direction::kForward, info);
}

int32_t GetLastSecurityInfo(uint8_t directory, ZarqSecurityInfo* info) {
  std::memset(info, 0, sizeof(*info));
  info->Size = kSecurityInfoSize;
  return FromEnd(directory, Direction::kBackward, info);
}

int32_t GetNextSecurityInfo(uint32_t handle, ZarqSecurityInfo* info) {
  return FromHandle(handle, Direction::kForward, info);
}

int32_t GetPrevSecurityInfo(uint32_t handle, ZarqSecurityInfo* info) {
  return FromHandle(handle, Direction::kBackward, info);
}

}  // namespace zarq
