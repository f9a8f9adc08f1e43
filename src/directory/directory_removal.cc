// directory_removal.cc: leaving a directory, the last user's write-back and
// removal of the working files, erasing an emptied database, and clearing
// what a process that died in the directory's lifecycle left.
//
// Thread-safety: callers hold the library lock.

#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/directory/directory_files.h"
#include "src/directory/directory_gate.h"
#include "src/directory/directory_users.h"
#include "src/directory/lock_file.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/master/master_files.h"
#include "src/master/master_import.h"
#include "src/master/master_write_back.h"
#include "src/master/renumber_journal.h"

namespace zarq {
namespace {

constexpr uint32_t kMaxSecuritiesWithoutXmaster = 256;

int32_t DeleteKind(DirectoryEntry* entry, uint16_t kind, uint32_t number = 0) {
  std::string name;
  int32_t status = BuildFileName(entry->number, number, &name, kind);
  return status != ZARQ_OK ? status : DeleteFileByName(name);
}

// Deletes a working file; one already gone is no failure.
int32_t DeleteWorkingFile(DirectoryEntry* entry, uint16_t kind) {
  int32_t status = DeleteKind(entry, kind);
  return status == ZARQ_E_FILE_NOT_FOUND ? ZARQ_OK : status;
}

int32_t DeleteMaster(uint8_t number, uint16_t kind, bool missing_fails) {
  MasterFileName file;
  int32_t status = LocateMasterFile(number, kind, &file);
  if (status != ZARQ_OK) return status;
  if (!file.present) return missing_fails ? ZARQ_E_FILE_NOT_FOUND : ZARQ_OK;
  return DeleteFileByName(file.name);
}

// Deletes the files of folder pattern (a wildcard name) that keep, a test
// on the name, accepts. Files gone meanwhile, or not to be deleted, are
// passed over.
int32_t DeleteFilesWhere(const std::string& pattern, bool (*keep)(const std::string&)) {
  std::vector<std::string> names;
  int32_t status = ListFiles(pattern, &names);
  if (status != ZARQ_OK) return status;
  size_t cut = pattern.rfind(kPathSeparator);
  std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
  for (const std::string& name : names) {
    if (!keep(name)) continue;
    status = DeleteFileByName(folder + name);
    if (status != ZARQ_OK && status != ZARQ_E_FILE_NOT_FOUND && status != ZARQ_E_ACCESS_DENIED) {
      return status;
    }
  }
  return ZARQ_OK;
}

// Deletes the user file, on which other processes may be waiting for the
// gate. Where a deleted file keeps its name while they hold it open, it is
// renamed away first: the name must be free at once, or a waiter would
// take the gate on the dying file.
int32_t DeleteUserFile(DirectoryEntry* entry) {
  std::string users;
  int32_t status = BuildDirFileName(entry->number, &users, kKindUsers);
  if (status != ZARQ_OK) return status;
  if (kDeletedFilesLinger && !entry->read_only()) {
    std::string away;
    if (BuildDirFileName(entry->number, &away, kKindScratchOrAll | kKindTemporary) == ZARQ_OK &&
        MoveFileByName(users, away) == ZARQ_OK) {
      users = away;
    }
  }
  status = DeleteFileByName(users);
  return status == ZARQ_E_FILE_NOT_FOUND ? ZARQ_OK : status;
}

bool IsDataFileName(const std::string& name) {
  return IsNumberedFileName(name, "F", ".DAT") || IsNumberedFileName(name, "F", ".MWD") ||
         IsNumberedFileName(name, "F", ".DOP");
}

bool IsChartFileName(const std::string& name) {
  return IsNumberedFileName(name, "C", ".CHT") || IsNumberedFileName(name, "C", ".MWS");
}

// Removes the temporary files of the library's own names that a process
// which died meanwhile left (a temporary master file, a data file being
// rebuilt, the scratch file of a test for writing).
int32_t DeleteLeftoverFiles(DirectoryEntry* entry) {
  std::string pattern;
  int32_t status = BuildDirFileName(entry->number, &pattern,
                                    kKindScratchOrAll | kKindWildcard | kKindTemporary);
  return status != ZARQ_OK ? status : DeleteFilesWhere(pattern, &IsLibraryTemporaryName);
}

}  // namespace

int32_t ClearLeftovers(DirectoryEntry* entry) {
  if (entry->read_only()) return ZARQ_OK;
  int32_t status = FinishRenumbering(entry);
  return status != ZARQ_OK ? status : DeleteLeftoverFiles(entry);
}

int32_t LeaveUnderGate(DirectoryEntry* entry, bool clear_lock_marks) {
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

int32_t LeaveDirectory(DirectoryEntry* entry, bool clear_lock_marks) {
  if (!entry->Has(kDirHoldsDatabase) || entry->Has(kDirRegistrationLost)) return ZARQ_OK;
  DirectoryGate gate;
  int32_t status = gate.Acquire(entry, DirectoryGate::Purpose::kClose);
  // The user file gone, recreated since, or this process's record taken
  // over: the registration is lost, and there is nothing left to leave.
  if (status == ZARQ_OK || status == ZARQ_E_FILE_NOT_FOUND) {
    int32_t verified = status == ZARQ_OK ? VerifyUserRecord(entry) : ZARQ_E_REGISTRATION_LOST;
    if (verified == ZARQ_E_REGISTRATION_LOST) {
      entry->flags |= kDirRegistrationLost;
      return ZARQ_OK;
    }
    status = verified;
  }
  return status != ZARQ_OK ? status : LeaveUnderGate(entry, clear_lock_marks);
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
  bool erase = counted && entry->Has(kDirEraseWhenEmpty) && count == 0;
  if (counted && !erase && count < kMaxSecuritiesWithoutXmaster) {
    status = DeleteMaster(entry->number, kKindXmaster, false);
    if (status != ZARQ_OK) return status;
  }
  // The user file goes last: while it is there, whoever passes the gate
  // next finishes the removal, and no moment shows a user file without
  // the list it stands for.
  for (uint16_t kind : {kKindSecurityList, kKindIndex, kKindLock}) {
    status = DeleteWorkingFile(entry, kind);
    if (status != ZARQ_OK) return status;
  }
  if (erase) {
    status = EraseDatabaseFiles(entry->number);
    if (status != ZARQ_OK) return status;
  } else if (!was_last) {
    ReleaseMasterFiles(entry);
  }
  // Users that died while others kept the directory open may have left
  // temporary files: no one else can still be using them.
  if (!entry->read_only()) {
    status = DeleteLeftoverFiles(entry);
    if (status != ZARQ_OK) return status;
  }
  return DeleteUserFile(entry);
}

int32_t EraseDatabaseFiles(uint8_t number) {
  DirectoryEntry* entry = FindDirectory(number);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  int32_t status = FileCloseMatching(number, 0, kCloseDirectory);
  if (status == ZARQ_OK) status = DeleteMaster(number, kKindEmaster, true);
  if (status == ZARQ_OK) status = DeleteMaster(number, kKindMaster, true);
  // XMASTER exists only while the list was longer than 255.
  if (status == ZARQ_OK) status = DeleteMaster(number, kKindXmaster, false);
  std::string all;
  if (status == ZARQ_OK) status = BuildDirFileName(number, &all, kKindScratchOrAll | kKindWildcard);
  if (status == ZARQ_OK) status = DeleteFilesWhere(all, &IsDataFileName);
  if (status == ZARQ_OK) status = DeleteFilesWhere(all, &IsLibraryTemporaryName);
  if (status != ZARQ_OK) return status;
  std::string charts;
  if (BuildDirFileName(number, &charts, kKindChart | kKindFolderOnly) != ZARQ_OK ||
      !IsExistingDirectory(charts)) {
    return ZARQ_OK;
  }
  status = DeleteFilesWhere(charts + kPathSeparator + "*", &IsChartFileName);
  if (status != ZARQ_OK) return status;
  // A sub-folder that still holds files of the user's own stays.
  RemoveDirectoryPath(charts);
  return ZARQ_OK;
}

}  // namespace zarq
