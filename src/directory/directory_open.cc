// directory_open.cc: ZARQ1_OpenDirectory, ZARQ1_CloseDirectory and the
// lookups between path and number.
//
// Thread-safety: callers hold the library lock.

#include "src/directory/directory_open.h"

#include <cstring>

#include "include/zarq.h"
#include "src/directory/directory_files.h"
#include "src/directory/directory_users.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_replacement.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/ascii_text.h"
#include "src/master/master_files.h"
#include "src/platform/platform.h"

namespace zarq {
namespace {

void EndWithSeparator(std::string* path) {
  if (path->empty() || path->back() != kPathSeparator) *path += kPathSeparator;
}

// Fills a new entry, tests it for writing and checks its database files.
int32_t SetUpEntry(DirectoryEntry* entry, const std::string& path, uint16_t kind, uint32_t flags) {
  CopyBounded(entry->files.path, sizeof(entry->files.path), path.c_str());
  if (flags & kOpenEraseWhenEmpty) entry->flags |= kDirEraseWhenEmpty;
  if (flags & kOpenFieldListFiles) entry->flags |= kDirFieldListFiles;
  entry->flags |= kDirEmasterInUse;
  entry->drive_kind = kind;
  entry->open_count = 1;

  // A CD-ROM is read-only without writing a test file to it.
  if (kind & kDriveKindCdRom) {
    entry->SetReadOnly(true);
  } else {
    bool read_only = false;
    int32_t status = TestDirectoryWritable(entry->number, &read_only);
    if (status != ZARQ_OK) return status;
    entry->SetReadOnly(read_only);
  }
  int32_t status = GetVolumeInfo(entry->number, &entry->volume_label, &entry->volume_serial);
  if (status != ZARQ_OK) return status;
  status = OpenDirectoryFiles(entry, flags);
  if (status != ZARQ_OPENED_NO_DATABASE) return status;
  // No MASTER file: build the master files when asked to, or when XMASTER
  // shows that a database was here.
  if (flags & kOpenBuildMasters) {
    status = BuildDatabase(entry->number);
    return status == ZARQ_OK ? ZARQ_OPENED_BUILT : status;
  }
  if (!MasterFilePresent(entry->number, kKindXmaster)) return ZARQ_OPENED_NO_DATABASE;
  return BuildDatabase(entry->number);
}

}  // namespace

int32_t NormalizeCallerPath(const char* path, std::string* normal, uint16_t* kind) {
  *kind = 0;
  if (path == nullptr) return ZARQ_E_BAD_PATH;
  // A longer path is refused, never cut: cut, it could name another folder.
  size_t length = strnlen(path, kDirectoryPathMax + 1);
  if (length > kDirectoryPathMax) return ZARQ_E_INVALID_ARGUMENT;
  *normal = std::string(path, length);
  int32_t status = NormalizeDirectoryPath(normal, kind);
  if (status == ZARQ_OK) EndWithSeparator(normal);
  return status;
}

int32_t OpenDirectory(const char* path, uint8_t* number, uint32_t flags) {
  if (number == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  *number = 0;
  std::string normal;
  uint16_t kind = 0;
  bool created = false;
  int32_t status = NormalizeCallerPath(path, &normal, &kind);
  if (status == ZARQ_E_NOT_A_FOLDER && (flags & kOpenCreateFolder)) {
    status = MakeDirectoryPath(normal);
    if (status == ZARQ_E_ACCESS_DENIED) return ZARQ_E_READ_ONLY_DIRECTORY;
    if (status != ZARQ_OK) return status;
    created = true;
    // Normalised again: the real path is known only once the folder exists.
    status = NormalizeCallerPath(path, &normal, &kind);
  }
  if (status != ZARQ_OK) return status;

  if (DirectoryEntry* open = FindDirectoryByPath(normal)) {
    *number = open->number;
    if (!(flags & kOpenCountAgain)) return ZARQ_E_DIRECTORY_OPEN;
    ++open->open_count;
    return ZARQ_OK;
  }
  if (OpenDirectoryCount() >= kMaxOpenDirectories) return ZARQ_E_TOO_MANY_DIRECTORIES;

  DirectoryEntry* entry = nullptr;
  status = AddDirectory(&entry);
  if (status != ZARQ_OK) return status;
  *number = entry->number;
  status = SetUpEntry(entry, normal, kind, flags);
  if (status < 0) {
    RemoveDirectory(entry);
    *number = 0;
    return status;
  }
  if (status == ZARQ_OPENED_BUILT && created) status = ZARQ_OPENED_CREATED;
  return status;
}

int32_t CloseDirectory(uint8_t number) {
  DirectoryEntry* entry = FindDirectory(number);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->open_count >= 2) {
    --entry->open_count;
    return ZARQ_OK;
  }
  VerifyUserRecord(entry);
  bool held_locks = ReleaseDirectoryLocks(entry);
  int32_t status = LeaveDirectory(entry, held_locks);
  if (status != ZARQ_OK) return status;
  status = FileCloseMatching(number, 0, kCloseDirectory);
  if (status != ZARQ_OK) return status;
  RemoveDirectory(entry);
  return ZARQ_OK;
}

int32_t GetDataPath(uint8_t number, char* path, uint32_t strip) {
  if (path == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  path[0] = '\0';
  DirectoryEntry* entry = FindDirectory(number);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  std::string text = entry->path();
  if (strip != 0 && !IsRootPath(text) && !text.empty()) text.pop_back();
  std::memcpy(path, text.c_str(), text.size() + 1);
  return ZARQ_OK;
}

int32_t GetDirectoryNumber(const char* path, uint8_t* number) {
  if (number == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  *number = 0;
  std::string normal;
  uint16_t kind = 0;
  int32_t status = NormalizeCallerPath(path, &normal, &kind);
  if (status != ZARQ_OK) return status;
  DirectoryEntry* entry = FindDirectoryByPath(normal);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  *number = entry->number;
  return ZARQ_OK;
}

int32_t TestDirectoryWritable(uint8_t number, bool* read_only) {
  *read_only = false;
  // The scratch file is made exclusively: another process testing the same
  // folder at the same moment draws another name.
  std::string scratch;
  FileHandle handle = kNoFileHandle;
  int32_t status = CreateScratchFile(number, &scratch, &handle);
  if (status == ZARQ_E_ACCESS_DENIED || status == ZARQ_E_WRITE_PROTECTED) {
    *read_only = true;
    return ZARQ_OK;
  }
  if (status != ZARQ_OK) return status;
  if (FileCloseMatching(number, static_cast<uint64_t>(handle), kCloseHandle) == ZARQ_OK) {
    DeleteFileByName(scratch);
  }
  std::string folder;
  uint32_t attributes = 0;
  if (BuildDirFileName(number, &folder, kKindMaster | kKindFolderOnly) == ZARQ_OK &&
      FileAttributes(folder, &attributes, kGetAttributes) == ZARQ_OK) {
    *read_only = (attributes & kAttributeReadOnly) != 0;
  }
  return ZARQ_OK;
}

}  // namespace zarq
