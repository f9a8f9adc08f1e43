// directory_files.cc: opening a directory's database files under its gate:
// the first user's build of the working files from the master files, a
// later user's registration and checks, and taking over the working files
// of a directory whose last user died leaving it.
//
// Thread-safety: callers hold the library lock.

#include "src/directory/directory_files.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "include/zarq.h"
#include "src/directory/directory_gate.h"
#include "src/directory/directory_open.h"
#include "src/directory/directory_users.h"
#include "src/directory/lock_file.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/library_state.h"
#include "src/master/emaster_file.h"
#include "src/master/list_linking.h"
#include "src/master/master_file.h"
#include "src/master/master_files.h"
#include "src/master/master_import.h"
#include "src/master/security_list.h"
#include "src/master/security_list_header.h"
#include "src/master/security_store.h"
#include "src/platform/platform.h"

namespace zarq {
namespace {

constexpr int kMarkerTextLength = 30;

bool Exists(DirectoryEntry* entry, uint16_t kind) {
  std::string name;
  if (BuildDirFileName(entry->number, &name, kind) != ZARQ_OK) return false;
  // The marker is another program's, and may be spelt otherwise.
  return kind == kKindForeignMarker ? IsExistingFile(name) : ExistsExactly(name);
}

// The text a program outside the library left in its marker file:
// "application:user", at most 30 characters.
void ReadForeignMarker(DirectoryEntry* entry) {
  std::string name;
  FileHandle file = kNoFileHandle;
  char text[kMarkerTextLength + 2] = {};
  if (BuildDirFileName(entry->number, &name, kKindForeignMarker) == ZARQ_OK &&
      FileOpen(entry->number, name.c_str(), &file, 0) == ZARQ_OK &&
      FileSeek(file, 0, 0, kSeekStart) == ZARQ_OK) {
    uint32_t size = 0;
    FileGetSize(file, &size);
    FileRead(file, std::min<uint32_t>(size, kMarkerTextLength + 1), text);
  }
  text[kMarkerTextLength] = '\0';
  SetLastFailedOpen(text);
}

// Creates an empty master file of kind when the folder has none.
int32_t CreateEmptyMaster(DirectoryEntry* entry, uint16_t kind, uint32_t size) {
  if (MasterFilePresent(entry->number, kind)) return ZARQ_OK;
  return ReplaceMasterFile(entry->number, kind, std::string(size, '\0'));
}

DuplicateMerger& Merger() {
  static DuplicateMerger merger = nullptr;
  return merger;
}

// Links the list afresh and writes the security list and index files.
// With duplicates, securities listed twice are gathered there (see
// LinkAndIndex) instead of failing the build.
int32_t BuildLinkedFiles(DirectoryEntry* entry, SecurityList* list, bool create,
                         std::vector<DuplicateCopy>* duplicates = nullptr) {
  std::vector<IndexEntry> index;
  int32_t status = LinkAndIndex(list, &index, duplicates);
  if (status == ZARQ_OK) status = WriteSecurityList(entry, *list, create);
  if (status == ZARQ_OK) status = WriteIndexFile(entry, index);
  return status;
}

// Merges the later copies of securities listed twice into the first ones,
// in a directory whose working files are complete and whose only user is
// this process. The data files change only now, once the working files
// and no longer the master files are what the directory holds: a changed
// field mask reaches the list with its data file, and a process dying
// part way leaves every copy not yet merged listed with its data (the next
// build with the flag merges it again, keeping the first copy's records
// of a moment both have). A failure ends this process's use of the
// directory as its last user, writing the master files back from the list.
int32_t MergeDuplicates(DirectoryEntry* entry, const std::vector<DuplicateCopy>& duplicates) {
  int32_t status = ZARQ_OK;
  for (const DuplicateCopy& copy : duplicates) {
    status = Merger() != nullptr ? Merger()(entry->number, copy.survivor, copy.retired)
                                 : ZARQ_E_DUPLICATE_SECURITY;
    if (status != ZARQ_OK) break;
  }
  if (status != ZARQ_OK) LeaveUnderGate(entry, false);
  return status;
}

// The first user builds the working files from the master files. The user
// file gets its header only when every other working file is complete:
// until then any process finds it unbuilt and builds afresh. (They hold
// nothing the master files do not, so they are not flushed at once.) A
// failed build leaves none of them behind.
int32_t InitDirectoryFiles(DirectoryEntry* entry, uint32_t open_flags) {
  int32_t status = CreateUserFile(entry);
  if (status != ZARQ_OK) return status;
  SecurityList list;
  status = ImportMasterFiles(entry, &list);
  if (status == ZARQ_OK) status = AppendXmaster(entry, &list);
  if (status == ZARQ_OK) {
    ResolveComposites(&list);
    status = CreateLockFile(entry, list.size());
  }
  std::vector<DuplicateCopy> duplicates;
  const bool merge = (open_flags & kOpenMergeDuplicates) != 0;
  if (status == ZARQ_OK)
    status = BuildLinkedFiles(entry, &list, true, merge ? &duplicates : nullptr);
  if (status == ZARQ_OK) status = RegisterFirstUser(entry);
  if (status != ZARQ_OK) {
    RemoveDirectoryFiles(entry, false);
    entry->flags &= ~kDirHoldsDatabase;
    entry->user_record = 0;
    return status;
  }
  status = LockUserHeader(entry, false);
  if (status == ZARQ_OK && !duplicates.empty()) status = MergeDuplicates(entry, duplicates);
  return status;
}

// A later user checks the security list file against its own header and
// repairs what a crash left: a file cut short loses only its partial last
// record, and a broken list order is relinked. needs_init is set when the
// file cannot serve at all.
int32_t CheckSecurityList(DirectoryEntry* entry, uint32_t open_flags, bool* needs_init) {
  *needs_init = false;
  SecurityListHeader header;
  uint32_t whole = 0;
  // Under the list header's lock: an addition by another user extends the
  // file before it counts the new slot, and a size read before it with a
  // header read after would look like a file cut short.
  SecurityHeaderLock header_lock;
  int32_t status = header_lock.Acquire(entry->number);
  if (status == ZARQ_OK) status = ReadListHeaderLocked(entry, &header, &whole);
  if (status == ZARQ_E_FILE_NOT_FOUND || status == ZARQ_E_END_OF_FILE) {
    *needs_init = true;
    return ZARQ_OK;
  }
  if (status != ZARQ_OK) return status;
  if (whole != header.slot_count + 1) {
    if (whole < 2) {
      *needs_init = true;
      return ZARQ_OK;
    }
    if (whole < header.slot_count + 1) {
      header.slot_count = whole - 1;
      header.live_count = std::min(header.live_count, header.slot_count);
      status = WriteListHeaderLocked(entry, header);
      if (status != ZARQ_OK) return status;
    }
  }
  // The lock file comes before the list header in the lock order.
  status = header_lock.Release();
  if (status != ZARQ_OK) return status;
  if (open_flags & 0x04) {
    status = ClearUserFromLockFile(entry);
    if (status != ZARQ_OK) return status;
  }
  bool sound =
      header.live_count == 0 || (header.first_slot >= 1 && header.first_slot <= header.slot_count &&
                                 header.last_slot >= 1 && header.last_slot <= header.slot_count);
  if (sound) return ZARQ_OK;
  return RelinkSecurityList(entry, [entry](SecurityList* list) {
    // Links are rebuilt from nothing: chains left from before would loop.
    ClearLinks(list);
    return BuildLinkedFiles(entry, list, false);
  });
}

// Registers in a directory whose working files are in use.
int32_t JoinDirectory(DirectoryEntry* entry, uint32_t open_flags) {
  bool needs_init = false;
  int32_t status = RegisterUser(entry, &needs_init, (open_flags & 0x04) != 0);
  if (status == ZARQ_E_ALREADY_REGISTERED) SetLastFailedOpen(IdentityString());
  if (status == ZARQ_OK && !needs_init) {
    status = CheckSecurityList(entry, open_flags, &needs_init);
    if (status != ZARQ_OK) LeaveUnderGate(entry, false);
  }
  if (status == ZARQ_OK && needs_init) status = InitDirectoryFiles(entry, open_flags);
  return status;
}

// A name for a working file that cannot be read, kept beside the
// directory's files for whoever wants to look at it:
// "~ZARQ.SEC" becomes "~ZARQ-DAMAGED-20261206-134501.SEC".
std::string DamagedName(const std::string& name) {
  LocalDateTime now = Os().LocalTime();
  char stamp[64];
  std::snprintf(stamp, sizeof(stamp), "-DAMAGED-%04u%02u%02u-%02u%02u%02u", now.year, now.month,
                now.day, now.hour, now.minute, now.second);
  size_t dot = name.rfind('.');
  return name.substr(0, dot) + stamp + name.substr(dot);
}

int32_t SetAsideDamaged(DirectoryEntry* entry, uint16_t kind) {
  std::string name;
  int32_t status = BuildDirFileName(entry->number, &name, kind);
  if (status == ZARQ_OK) status = FileCloseNamed(entry->number, name);
  if (status == ZARQ_OK) status = MoveFileByName(name, DamagedName(name));
  return status;
}

// The index and lock files made anew from the security list, whose own
// links are kept (they may hold a sorted order).
int32_t RebuildIndexAndLockFile(DirectoryEntry* entry) {
  SecurityList list;
  int32_t status = ReadSecurityList(entry, &list);
  if (status != ZARQ_OK) return status;
  std::vector<IndexEntry> index;
  for (const SecurityRecord& record : list.records) {
    if (!record.deleted) index.push_back(IndexEntryFor(record));
  }
  std::stable_sort(index.begin(), index.end(), [](const IndexEntry& a, const IndexEntry& b) {
    return CompareIndexEntries(a, b) < 0;
  });
  if (list.header.stamp != entry->user_file_stamp) {
    list.header.stamp = entry->user_file_stamp;
    status = WriteListHeaderLocked(entry, list.header);
  }
  if (status == ZARQ_OK) status = WriteIndexFile(entry, index);
  if (status == ZARQ_OK) status = CreateLockFile(entry, list.size());
  return status;
}

// Takes over the working files of a directory whose users have all left
// without removing them (the last one died writing the master files back):
// the security list file is still the truth, and newer than the master
// files. Every lock mark is a dead process's, so the lock file starts
// afresh. A list file that cannot be read is set aside, and the list is
// built from the master files again.
int32_t JoinIdleDirectory(DirectoryEntry* entry, uint32_t open_flags) {
  SecurityListHeader header;
  uint32_t whole = 0;
  int32_t status = ReadListHeaderLocked(entry, &header, &whole);
  if (status == ZARQ_E_BAD_LIST_FILE || status == ZARQ_E_BAD_VERSION ||
      status == ZARQ_E_END_OF_FILE) {
    status = SetAsideDamaged(entry, kKindSecurityList);
    return status != ZARQ_OK ? status : InitDirectoryFiles(entry, open_flags);
  }
  if (status != ZARQ_OK) return status;
  bool needs_init = false;
  status = RegisterUser(entry, &needs_init, (open_flags & 0x04) != 0);
  if (status == ZARQ_E_ALREADY_REGISTERED) SetLastFailedOpen(IdentityString());
  if (status != ZARQ_OK) return status;
  if (!needs_init) status = CheckSecurityList(entry, open_flags & ~0x04u, &needs_init);
  if (status == ZARQ_OK && !needs_init) status = RebuildIndexAndLockFile(entry);
  if (status == ZARQ_OK && needs_init) return InitDirectoryFiles(entry, open_flags);
  if (status != ZARQ_OK) LeaveUnderGate(entry, false);
  return status;
}

// The open proper, under the gate. The directory may have changed in every
// respect while this process waited, so everything is decided here.
int32_t OpenUnderGate(DirectoryEntry* entry, uint32_t open_flags, bool build_masters) {
  // A folder without a database is told so without creating any file.
  if (!build_masters && !MasterFilePresent(entry->number, kKindMaster)) {
    return ZARQ_OPENED_NO_DATABASE;
  }
  DirectoryGate gate;
  int32_t status = gate.Acquire(entry, DirectoryGate::Purpose::kOpen);
  if (status != ZARQ_OK) return status;
  UserFileState state = UserFileState::kUnbuilt;
  status = InspectUserFile(entry, &state);
  if (status != ZARQ_OK) return status;
  if (state != UserFileState::kUsers) {
    status = ClearLeftovers(entry);
    if (status != ZARQ_OK) return status;
  }
  if (build_masters) {
    status = CreateEmptyMaster(entry, kKindMaster, kMasterRecordSize);
    if (status == ZARQ_OK) status = CreateEmptyMaster(entry, kKindEmaster, kEmasterRecordSize);
    if (status != ZARQ_OK) return status;
  }
  bool no_database = !MasterFilePresent(entry->number, kKindMaster);
  bool foreign = !no_database && Exists(entry, kKindForeignMarker);
  if (no_database || foreign) {
    // An unbuilt user file is nobody's; one without users only while no
    // list file needs it.
    if (state == UserFileState::kUnbuilt ||
        (state == UserFileState::kNoUsers && !Exists(entry, kKindSecurityList))) {
      FileCloseMatching(entry->number, 0, kCloseDirectory);
      std::string users;
      if (BuildDirFileName(entry->number, &users, kKindUsers) == ZARQ_OK) DeleteFileByName(users);
    }
    if (no_database) return ZARQ_OPENED_NO_DATABASE;
    ReadForeignMarker(entry);
    return ZARQ_E_HELD_BY_OTHER_PROGRAM;
  }
  switch (state) {
    case UserFileState::kUnbuilt:
      return InitDirectoryFiles(entry, open_flags);
    case UserFileState::kNoUsers:
      if (!Exists(entry, kKindSecurityList)) return InitDirectoryFiles(entry, open_flags);
      return JoinIdleDirectory(entry, open_flags);
    case UserFileState::kUsers:
      return JoinDirectory(entry, open_flags);
  }
  return ZARQ_OK;
}

}  // namespace

DuplicateMerger SetDuplicateMerger(DuplicateMerger merger) {
  return std::exchange(Merger(), merger);
}

int32_t OpenDirectoryFiles(DirectoryEntry* entry, uint32_t open_flags) {
  ClearLastFailedOpen();
  int32_t status = OpenUnderGate(entry, open_flags, false);
  FileCloseMatching(entry->number, 0, kCloseDirectory);
  return status;
}

int32_t BuildDatabase(uint8_t number) {
  DirectoryEntry* entry = FindDirectory(number);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->Has(kDirHoldsDatabase)) return ZARQ_E_DATABASE_EXISTS;
  if (entry->read_only()) return ZARQ_E_READ_ONLY_DIRECTORY;
  FileCloseMatching(number, 0, kCloseDirectory);
  ClearLastFailedOpen();
  int32_t status = OpenUnderGate(entry, 0, true);
  FileCloseMatching(number, 0, kCloseDirectory);
  return status;
}

}  // namespace zarq
