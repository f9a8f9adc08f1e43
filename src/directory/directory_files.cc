// directory_files.cc: the database files of a directory as it is opened
// and closed: the first user's build of the working files, the later
// users' checks, the last user's write-back and clean-up.
//
// Thread-safety: callers hold the library lock.

#include "src/directory/directory_files.h"

#include <cstring>
#include <string>

#include "include/zarq.h"
#include "src/directory/directory_users.h"
#include "src/directory/lock_file.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/library_state.h"
#include "src/master/list_linking.h"
#include "src/master/master_import.h"
#include "src/master/master_write_back.h"
#include "src/master/security_list.h"
#include "src/master/security_list_header.h"

namespace zarq {
namespace {

constexpr int kMarkerTextLength = 30;
constexpr uint32_t kMaxSecuritiesWithoutXmaster = 256;

bool Exists(DirectoryEntry* entry, uint16_t kind) {
  std::string name;
  return BuildDirFileName(entry->number, &name, kind) == ZARQ_OK && IsExistingFile(name);
}

int32_t DeleteKind(DirectoryEntry* entry, uint16_t kind, uint32_t number = 0) {
  std::string name;
  int32_t status = BuildFileName(entry->number, number, &name, kind);
  return status != ZARQ_OK ? status : DeleteFileByName(name);
}

// Creates an empty master file of size bytes when it is missing.
int32_t CreateEmptyMaster(DirectoryEntry* entry, uint16_t kind, uint32_t size) {
  if (Exists(entry, kind)) return ZARQ_OK;
  std::string name;
  int32_t status = BuildDirFileName(entry->number, &name, kind);
  FileHandle file = kNoFileHandle;
  if (status == ZARQ_OK) status = FileOpen(entry->number, name.c_str(), &file, kOpenCreate);
  return status != ZARQ_OK ? status : FileSetSize(file, size);
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

// Links the list afresh and writes the security list and index files.
int32_t BuildLinkedFiles(DirectoryEntry* entry, SecurityList* list, bool create) {
  std::vector<IndexEntry> index;
  int32_t status = LinkAndIndex(list, &index);
  if (status == ZARQ_OK) status = WriteSecurityList(entry, *list, create);
  if (status == ZARQ_OK) status = WriteIndexFile(entry, index);
  return status;
}

// The first user builds the shared working files from the master files.
// A failed build leaves none of them behind.
int32_t InitDirectoryFiles(DirectoryEntry* entry) {
  int32_t status = CreateUserFile(entry);
  if (status != ZARQ_OK) return status;
  SecurityList list;
  status = ImportMasterFiles(entry, &list);
  if (status == ZARQ_OK) status = AppendXmaster(entry, &list);
  if (status == ZARQ_OK) {
    ResolveComposites(&list);
    status = CreateLockFile(entry, list.size());
  }
  if (status == ZARQ_OK) status = BuildLinkedFiles(entry, &list, true);
  if (status != ZARQ_OK) {
    RemoveDirectoryFiles(entry, false);
    entry->flags &= ~kDirHoldsDatabase;
    entry->user_record = 0;
    return status;
  }
  return LockUserHeader(entry, false);
}

// A later user checks the security list file against its own header and
// repairs what a crash left: a file cut short loses only its partial last
// record, and a broken list order is relinked. needs_init is set when the
// file cannot serve at all.
int32_t CheckSecurityList(DirectoryEntry* entry, uint32_t open_flags, bool* needs_init) {
  *needs_init = false;
  SecurityListHeader header;
  uint32_t whole = 0;
  int32_t status = ReadListHeaderLocked(entry, &header, &whole);
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

}  // namespace

int32_t OpenDirectoryFiles(DirectoryEntry* entry, uint32_t open_flags) {
  int32_t status = ZARQ_OK;
  ClearLastFailedOpen();
  if (!Exists(entry, kKindMaster)) {
    status = ZARQ_OPENED_NO_DATABASE;
  } else if (Exists(entry, kKindForeignMarker)) {
    ReadForeignMarker(entry);
    status = ZARQ_E_HELD_BY_OTHER_PROGRAM;
  } else if (!Exists(entry, kKindUsers)) {
    status = InitDirectoryFiles(entry);
  } else {
    bool needs_init = false;
    status = RegisterUser(entry, &needs_init, (open_flags & 0x04) != 0);
    if (status == ZARQ_E_ALREADY_REGISTERED) SetLastFailedOpen(IdentityString());
    if (status == ZARQ_OK && !needs_init) {
      status = CheckSecurityList(entry, open_flags, &needs_init);
      if (status != ZARQ_OK) LeaveDirectory(entry, false);
    }
    if (status == ZARQ_OK && needs_init) status = InitDirectoryFiles(entry);
  }
  FileCloseMatching(entry->number, 0, kCloseDirectory);
  return status;
}

int32_t BuildDatabase(uint8_t number) {
  DirectoryEntry* entry = FindDirectory(number);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->Has(kDirHoldsDatabase)) return ZARQ_E_DATABASE_EXISTS;
  if (entry->read_only()) return ZARQ_E_READ_ONLY_DIRECTORY;
  int32_t status = CreateEmptyMaster(entry, kKindMaster, 53);
  if (status == ZARQ_OK) status = CreateEmptyMaster(entry, kKindEmaster, 192);
  if (status != ZARQ_OK) return status;
  FileCloseMatching(number, 0, kCloseDirectory);
  return OpenDirectoryFiles(entry, 0);
}

int32_t LeaveDirectory(DirectoryEntry* entry, bool clear_lock_marks) {
  if (!entry->Has(kDirHoldsDatabase) || entry->Has(kDirRegistrationLost)) return ZARQ_OK;
  if (clear_lock_marks) {
    int32_t status = ClearUserFromLockFile(entry);
    if (status != ZARQ_OK) return status;
  }
  bool was_last = false;
  uint16_t record = entry->user_record;
  int32_t status = LeaveUser(entry, &was_last);
  if (status != ZARQ_OK || !was_last) return status;
  status = RemoveDirectoryFiles(entry, true);
  // Without new master files the working files stay, and so does this
  // process: it remains a user until a close succeeds.
  if (status != ZARQ_OK) RejoinUser(entry, record);
  return status;
}

int32_t RemoveDirectoryFiles(DirectoryEntry* entry, bool was_last) {
  bool counted = false;
  uint32_t count = 0;
  int32_t written = ZARQ_OK;
  if (was_last && !entry->read_only()) {
    written = WriteBackMasterFiles(entry, &count);
    counted = written == ZARQ_OK;
  }
  LockUserHeader(entry, false);
  int32_t status = FileCloseMatching(entry->number, 0, kCloseDirectory);
  // Without new master files the working files are the only copy of the
  // list: they stay for the next user.
  if (written != ZARQ_OK) return written;
  if (status != ZARQ_OK) return status;
  status = DeleteKind(entry, kKindUsers);
  if (status == ZARQ_OK && counted) {
    if (entry->Has(kDirEraseWhenEmpty) && count == 0) {
      status = EraseDatabaseFiles(entry->number);
      if (status != ZARQ_OK) return status;
    } else if (count < kMaxSecuritiesWithoutXmaster) {
      DeleteKind(entry, kKindXmaster);
    }
  }
  for (uint16_t kind : {kKindSecurityList, kKindIndex, kKindLock}) DeleteKind(entry, kind);
  if (!was_last) ReleaseMasterFiles(entry);
  return ZARQ_OK;
}

int32_t EraseDatabaseFiles(uint8_t number) {
  DirectoryEntry* entry = FindDirectory(number);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  int32_t status = FileCloseMatching(number, 0, kCloseDirectory);
  for (uint16_t kind : {kKindEmaster, kKindMaster, kKindXmaster}) {
    if (status == ZARQ_OK) status = DeleteKind(entry, kind);
  }
  if (status != ZARQ_OK) return status;
  struct Pattern {
    uint16_t kind;
    uint32_t number;
  } patterns[] = {{kKindData | kKindWildcard, 0},
                  {kKindData | kKindWildcard, 6000},
                  {kKindFieldList | kKindWildcard, 0},
                  {kKindScratchOrAll | kKindWildcard | kKindTemporary, 0}};
  for (const Pattern& pattern : patterns) {
    std::string name;
    status = BuildFileName(number, pattern.number, &name, pattern.kind);
    if (status == ZARQ_OK) status = DeleteFilesByPattern(name);
    if (status != ZARQ_OK && status != ZARQ_E_FILE_NOT_FOUND && status != ZARQ_E_ACCESS_DENIED) {
      return status;
    }
  }
  std::string charts;
  if (BuildDirFileName(number, &charts, kKindChart | kKindFolderOnly) != ZARQ_OK ||
      !IsExistingDirectory(charts)) {
    return ZARQ_OK;
  }
  for (uint16_t kind : {kKindChart, kKindChart2}) {
    std::string name;
    status = BuildDirFileName(number, &name, kind | kKindWildcard);
    if (status == ZARQ_OK) status = DeleteFilesByPattern(name);
    if (status != ZARQ_OK && status != ZARQ_E_FILE_NOT_FOUND &&
        !(kind == kKindChart && status == ZARQ_E_ACCESS_DENIED)) {
      return status;
    }
  }
  return RemoveDirectoryPath(charts);
}

}  // namespace zarq
