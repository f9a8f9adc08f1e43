// security_changes.cc: adding and deleting securities, each whole or not
// at all, in the lock order of security_changes.h.
//
// Thread-safety: callers hold the library lock.

#include "src/security/security_changes.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "src/fileio/directory_entry.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/fileio/security_files.h"
#include "src/fileio/security_handle.h"
#include "src/fileio/system_error_map.h"
#include "src/format/data_file.h"
#include "src/master/index_store.h"
#include "src/master/security_allocation.h"
#include "src/master/security_info.h"
#include "src/master/security_links.h"
#include "src/master/security_store.h"
#include "src/platform/platform.h"
#include "src/security/lock_table.h"
#include "src/security/new_security_locking.h"
#include "src/security/security_locking.h"

namespace zarq {
namespace {

// How long an addition tries again while the new slot's lock-file record
// is busy (as long as any lock is waited for), and its pause between tries.
constexpr uint32_t kBusyWaitMs = 10000;
constexpr uint32_t kBusyPauseMs = 25;

int32_t FirstFailure(int32_t first, int32_t second) { return first != ZARQ_OK ? first : second; }

// The steps that take back a change made so far, run latest first when the
// change ends without Commit. Each is best effort: the failure reported is
// the one that made the change end.
class ChangeUndo {
 public:
  ChangeUndo() { steps_.reserve(8); }
  ~ChangeUndo() {
    while (!steps_.empty()) {
      std::function<void()> step = std::move(steps_.back());
      steps_.pop_back();
      step();
    }
  }
  ChangeUndo(const ChangeUndo&) = delete;
  ChangeUndo& operator=(const ChangeUndo&) = delete;

  void Add(std::function<void()> step) { steps_.push_back(std::move(step)); }
  void Commit() { steps_.clear(); }

 private:
  std::vector<std::function<void()>> steps_;
};

// The explicit lock a deletion takes, given up on every path.
class SecurityLockHold {
 public:
  explicit SecurityLockHold(uint32_t handle) : handle_(handle) {}
  ~SecurityLockHold() { Unlock(); }
  SecurityLockHold(const SecurityLockHold&) = delete;
  SecurityLockHold& operator=(const SecurityLockHold&) = delete;

  int32_t Unlock() {
    if (handle_ == 0) return ZARQ_OK;
    return UnlockSecurity(std::exchange(handle_, 0));
  }

 private:
  uint32_t handle_;
};

// Closes this process's handles of the files of the security (locked
// here) and deletes them; a name that cannot be built or a file that
// cannot be deleted is passed over.
void RemoveSecurityFiles(uint32_t handle, uint32_t file_number) {
  FileCloseMatching(DirectoryOfHandle(handle), file_number, kCloseDirectoryTag);
  for (uint16_t kind : {kKindChart, kKindChart2, kKindFieldList, kKindData}) {
    std::string name;
    if (BuildSecurityFileName(handle, &name, kind) == ZARQ_OK) DeleteFileByName(name);
  }
}

// One try of an addition, under the list header lock. The header is
// written last, so that until then the stored list counts nothing of it.
// *handle is the new security's once the addition is whole (even when
// giving up the header then fails). *busy: the new slot's lock-file record
// was held by another process, and nothing was changed.
int32_t AddUnderHeader(uint8_t directory, const ZarqSecurityInfo& info, uint32_t anchor,
                       const ComponentHolds& holds, uint32_t* handle, bool* busy) {
  *handle = 0;
  *busy = false;
  DirectoryEntry* entry = FindDirectory(directory);
  SecurityHeaderLock header_lock;
  int32_t status = header_lock.Acquire(directory);
  if (status != ZARQ_OK) return status;
  SecurityListHeader header;
  status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kRead);
  if (status != ZARQ_OK) return status;
  if (header.stamp != entry->user_file_stamp) return ZARQ_E_STAMP_MISMATCH;
  if (header.live_count >= kMaxSlots) return ZARQ_E_DIRECTORY_FULL;
  uint32_t file_number = 0;
  uint32_t slot = 0;
  bool reused = false;
  status = AllocateSecurity(directory, &header, &file_number, &slot, &reused);
  if (status != ZARQ_OK) return status;
  const uint32_t added = MakeSecurityHandle(directory, slot, info.Composite != 0);
  status = LockNewSecurity(added, info, file_number, holds, busy);
  if (status != ZARQ_OK) return status;

  ChangeUndo undo;  // runs before the header lock goes
  undo.Add([added] { DiscardNewSecurity(added); });
  LockedSecurityView view;
  status = GetLockedSecurity(added, &view);
  if (status != ZARQ_OK) return status;
  SecurityRecord record = view.record;
  status = AddToIndex(directory, record);
  if (status != ZARQ_OK) return status;
  undo.Add([directory, record] { RemoveFromIndex(directory, record); });
  SecurityRecord replaced;  // the deleted security whose slot is taken
  if (reused) {
    const uint32_t old = MakeSecurityHandle(directory, slot, false);
    status = AccessSecurityRecord(old, &replaced, SecurityAccess::kRead);
    if (status == ZARQ_OK) status = UnlinkDeletedRecord(old, &header);
    if (status != ZARQ_OK) return status;
    undo.Add([directory, replaced] { RelinkDeletedRecord(directory, replaced); });
  }
  status = LinkSecurityRecord(directory, &header, &record, anchor);
  if (status != ZARQ_OK) return status;
  undo.Add([directory, record] { UnlinkNewRecord(directory, record); });
  UpdateLockedSecurityLinks(added, record);

  // The files before the record: a listed security has its data file. A
  // composite's field list is that of its computed mask.
  undo.Add([added, file_number] { RemoveSecurityFiles(added, file_number); });
  status = WriteFieldListFile(added, record.field_mask);
  if (status == ZARQ_OK) status = CreateDataFile(added);
  if (status != ZARQ_OK) return status;
  if (reused) {
    undo.Add([added, replaced] {
      SecurityRecord former = replaced;
      AccessSecurityRecord(added, &former, SecurityAccess::kWriteNew);
    });
  }
  status = AccessSecurityRecord(added, &record, SecurityAccess::kWriteNew);
  if (status == ZARQ_OK)
    status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kWrite);
  if (status != ZARQ_OK) return status;
  undo.Commit();
  *handle = added;
  return header_lock.Release();
}

// Puts a composite whose removal from its components' chains is taken back
// at the end of both chains again (their order means nothing), its own
// chain links cleared first so that neither chain can loop.
void ReturnCompositeUser(uint32_t handle) {
  SecurityRecord links;
  if (AccessSecurityRecord(handle, &links, SecurityAccess::kRead) != ZARQ_OK) return;
  links.next_primary_user = 0;
  links.next_secondary_user = 0;
  if (AccessSecurityRecord(handle, &links, SecurityAccess::kWriteLinks) == ZARQ_OK) {
    AddCompositeUser(DirectoryOfHandle(handle), links);
  }
}

// The deletion proper, under the list header lock, of a security locked
// here that no composite uses (stored: its record as the list holds it).
// The list changes first, the header last; only then do the files go, so
// a failure never leaves a listed security without its data.
int32_t CommitDeletion(uint32_t handle, const SecurityRecord& stored) {
  const uint8_t directory = DirectoryOfHandle(handle);
  LockedSecurityView view;
  int32_t status = GetLockedSecurity(handle, &view);
  if (status != ZARQ_OK) return status;
  const SecurityRecord live = view.record;
  ChangeUndo undo;
  status = RemoveFromIndex(directory, live);
  if (status != ZARQ_OK) return status;
  undo.Add([directory, live] { AddToIndex(directory, live); });
  if (live.composite != 0) {
    status = RemoveCompositeUser(directory, live);
    if (status != ZARQ_OK) return status;
    undo.Add([handle] { ReturnCompositeUser(handle); });
  }
  undo.Add([handle, stored] {
    SecurityRecord former = stored;
    AccessSecurityRecord(handle, &former, SecurityAccess::kWriteData);
  });
  SecurityRecord deleted = live;
  deleted.deleted = 1;
  status = AccessSecurityRecord(handle, &deleted, SecurityAccess::kWriteData);
  SecurityListHeader header;
  if (status == ZARQ_OK) status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kRead);
  if (status != ZARQ_OK) return status;
  header.live_count = header.live_count > 0 ? header.live_count - 1 : 0;
  if (header.live_count == 0) {
    // An empty list starts again from slot 1 and file number 1.
    header.slot_count = 0;
    header.first_slot = header.last_slot = 0;
    header.next_file_number = 1;
  } else if (live.file_number + 1 == header.next_file_number) {
    header.next_file_number = live.file_number;
  }
  status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kWrite);
  if (status != ZARQ_OK) return status;
  undo.Commit();
  // The record is stored deleted already; the unlock must write nothing
  // (the slot may now lie beyond the list).
  MarkLockedSecurityDeleted(handle);
  MarkLockedSecurityStored(handle);
  RemoveSecurityFiles(handle, live.file_number);
  return ZARQ_OK;
}

}  // namespace

int32_t AddSecurity(uint8_t directory, ZarqSecurityInfo* info, uint32_t anchor) {
  DirectoryEntry* entry = FindDirectory(directory);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->read_only()) return ZARQ_E_READ_ONLY_DIRECTORY;
  if (entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  if (!entry->Has(kDirHoldsDatabase)) return ZARQ_E_NOT_REGISTERED;
  // A composite's components are held before the list header is taken:
  // their lock-file records may be held by processes waiting for it.
  ComponentHolds holds;
  int32_t status = HoldComponents(directory, *info, &holds);
  if (status != ZARQ_OK) return status;
  uint32_t handle = 0;
  const uint32_t start = Os().TickCount();
  for (;;) {
    bool busy = false;
    status = AddUnderHeader(directory, *info, anchor, holds, &handle, &busy);
    if (!busy) break;
    // Another process held the new slot's lock-file record, perhaps while
    // waiting for the list header this try held: let it pass.
    if (ElapsedTicks(start) >= kBusyWaitMs) break;
    Os().Sleep(kBusyPauseMs);
  }
  if (handle == 0) {
    ReleaseComponents(&holds);
    return status;
  }
  // The new slot holds the components now: its unlock ends the holds.
  int32_t described = RecordToInfo(handle, nullptr, nullptr, info);
  int32_t unlocked = UnlockSecurity(handle);
  return FirstFailure(FirstFailure(status, described), unlocked);
}

int32_t RetireDuplicateSecurity(uint32_t handle, bool keep_files) {
  int32_t status = RequireLockLevel(handle, kFullLock);
  LockedSecurityView view;
  if (status == ZARQ_OK) status = GetLockedSecurity(handle, &view);
  if (status != ZARQ_OK) return status;
  const uint8_t directory = DirectoryOfHandle(handle);
  // Its own FullLock is taken: the list header comes second.
  SecurityHeaderLock header_lock;
  status = header_lock.Acquire(directory);
  if (status != ZARQ_OK) return status;
  SecurityRecord stored;
  status = AccessSecurityRecord(handle, &stored, SecurityAccess::kRead);
  if (status != ZARQ_OK) return status;
  SecurityRecord deleted = view.record;
  deleted.deleted = 1;
  status = AccessSecurityRecord(handle, &deleted, SecurityAccess::kWriteData);
  SecurityListHeader header;
  if (status == ZARQ_OK) status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kRead);
  if (status == ZARQ_OK) {
    header.live_count = header.live_count > 0 ? header.live_count - 1 : 0;
    status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kWrite);
  }
  if (status != ZARQ_OK) {
    AccessSecurityRecord(handle, &stored, SecurityAccess::kWriteData);
    return status;
  }
  MarkLockedSecurityDeleted(handle);
  MarkLockedSecurityStored(handle);
  if (!keep_files) RemoveSecurityFiles(handle, view.record.file_number);
  return header_lock.Release();
}

int32_t DeleteSecurity(uint32_t handle, int32_t cascade) {
  int32_t status = CheckSecurityHandle(handle);
  if (status != ZARQ_OK) return status;
  const uint8_t directory = DirectoryOfHandle(handle);
  const bool composite = IsCompositeHandle(handle);
  // The security's lock first, then the list header (security_changes.h).
  status = LockSecurity(handle, composite ? kDefinitionLock : kFullLock);
  if (status != ZARQ_OK) return status;
  SecurityLockHold held(handle);
  // FullLock keeps new composites off a plain security; those on it are
  // deleted one by one, each locked before the header is taken again.
  for (uint32_t round = 0;; ++round) {
    SecurityHeaderLock header_lock;
    status = header_lock.Acquire(directory);
    if (status != ZARQ_OK) return status;
    SecurityRecord stored;
    status = AccessSecurityRecord(handle, &stored, SecurityAccess::kRead);
    if (status != ZARQ_OK) return status;
    // A composite's chain links name its neighbours in its components'
    // chains, not composites built on it.
    uint32_t user =
        stored.next_primary_user != 0 ? stored.next_primary_user : stored.next_secondary_user;
    if (composite || user == 0) {
      status = CommitDeletion(handle, stored);
      // Still under the header: the lock-file record carries this
      // process's own lock, which no one else waits on with the header.
      int32_t unlocked = held.Unlock();
      int32_t released = header_lock.Release();
      return FirstFailure(FirstFailure(status, unlocked), released);
    }
    if (cascade == 0) return ZARQ_E_USED_BY_COMPOSITES;
    if (round >= kMaxSlots) return ZARQ_E_BAD_LIST_FILE;  // a chain that never empties
    header_lock.Release();
    status = DeleteSecurity(MakeSecurityHandle(directory, user, true), 0);
    if (status != ZARQ_OK) return status;
  }
}

}  // namespace zarq
