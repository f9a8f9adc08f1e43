// path_services.cc: paths, volumes and name-based file operations.
//
// Thread-safety: callers hold the library lock.

#include "src/fileio/path_services.h"

#include <limits>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_facts.h"
#include "src/fileio/system_error_map.h"
#include "src/platform/no_destructor.h"
#include "src/platform/platform.h"
#include "src/platform/system_errors.h"

namespace zarq {
namespace {

std::string& TempPath() {
  static NoDestructor<std::string> path;
  return *path;
}

std::string& PrivatePath() {
  static NoDestructor<std::string> path;
  return *path;
}

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && path.back() == kPathSeparator;
}

}  // namespace

int32_t GetRootPath(const std::string& path, std::string* root) {
  root->clear();
  return Os().RootOf(path, root) ? ZARQ_OK : ZARQ_E_BAD_PATH;
}

bool IsRootPath(const std::string& path) {
  std::string root;
  return GetRootPath(path, &root) == ZARQ_OK && root.size() >= path.size();
}

int32_t NormalizeDirectoryPath(std::string* path, uint16_t* kind) {
  *kind = 0;
  if (path->empty()) return ZARQ_E_BAD_PATH;
  std::string absolute;
  if (Os().AbsolutePath(*path, &absolute) != 0 || absolute.empty()) return ZARQ_E_BAD_PATH;
  if (absolute.size() > kDirectoryPathMax) return ZARQ_E_INVALID_ARGUMENT;
  if (IsRootPath(absolute) && !EndsWithSeparator(absolute)) absolute += kPathSeparator;
  *path = absolute;
  int32_t status = GetDriveKind(absolute, kind);
  if (status != ZARQ_OK) return status;
  return IsExistingDirectory(absolute) ? ZARQ_OK : ZARQ_E_NOT_A_FOLDER;
}

int32_t ChooseTempDirectory() {
  std::string path;
  if (Os().TempFolder(&path) != 0 || path.empty()) return ZARQ_E_NO_TEMP_FOLDER;
  uint16_t kind = 0;
  if (NormalizeDirectoryPath(&path, &kind) != ZARQ_OK ||
      (kind & (kDriveKindRemovable | kDriveKindCdRom))) {
    return ZARQ_E_NO_TEMP_FOLDER;
  }
  if (!EndsWithSeparator(path)) path += kPathSeparator;
  TempPath() = path;
  return ZARQ_OK;
}

const std::string& TempDirectory() { return TempPath(); }

void ClearTempDirectory() {
  TempPath().clear();
  PrivatePath().clear();
}

int32_t PrivateWorkFolder(std::string* folder) {
  folder->clear();
  if (PrivatePath().empty()) {
    if (TempPath().empty()) return ZARQ_E_NO_TEMP_FOLDER;
    std::string made;
    if (Os().PrivateFolder(TempPath(), &made) != 0) return ZARQ_E_NO_TEMP_FOLDER;
    PrivatePath() = made;
  }
  *folder = PrivatePath();
  return ZARQ_OK;
}

int32_t GetDriveKind(const std::string& path, uint16_t* kind) {
  *kind = 0;
  std::string root;
  int32_t status = GetRootPath(path, &root);
  if (status != ZARQ_OK) return status;
  uint32_t type = kDriveUnknown;
  if (Os().DriveTypeOf(path, &type) != 0) return ZARQ_E_BAD_DRIVE;
  switch (type) {
    case kDriveUnknown:
    case kDriveNoRootDirectory:
      return ZARQ_E_BAD_DRIVE;
    case kDriveRemovable:
      *kind = kDriveKindRemovable;
      break;
    case kDriveFixed:
      *kind = kDriveKindFixed;
      break;
    case kDriveRemote:
      *kind = kDriveKindRemote;
      break;
    case kDriveCdRom:
      *kind = kDriveKindRemovable | kDriveKindCdRom;
      break;
    case kDriveRamDisk:
      *kind = kDriveKindRamDisk;
      break;
    default:
      break;
  }
  return ZARQ_OK;
}

bool IsExistingDirectory(const std::string& path) {
  if (IsRootPath(path)) {
    uint16_t kind = 0;
    return GetDriveKind(path, &kind) == ZARQ_OK;
  }
  uint32_t attributes = 0;
  return Os().GetAttributes(path, &attributes) == 0 && (attributes & kAttributeDirectory);
}

bool IsExistingFile(const std::string& path) {
  uint32_t attributes = 0;
  return Os().GetAttributes(path, &attributes) == 0 && !(attributes & kAttributeDirectory);
}

int32_t MakeDirectoryPath(const std::string& path) {
  std::string absolute;
  if (path.empty() || Os().AbsolutePath(path, &absolute) != 0) return ZARQ_E_BAD_PATH;
  if (absolute.size() > kDirectoryPathMax) return ZARQ_E_INVALID_ARGUMENT;
  while (absolute.size() > 1 && EndsWithSeparator(absolute) && !IsRootPath(absolute)) {
    absolute.pop_back();
  }
  std::string root;
  if (GetRootPath(absolute, &root) != ZARQ_OK) return ZARQ_E_BAD_PATH;
  if (absolute.size() <= root.size()) return ZARQ_E_CANNOT_CREATE_FOLDER;
  int32_t status = MapSystemError(Os().CreateFolder(absolute), ZARQ_E_CANNOT_CREATE_FOLDER);
  if (status != ZARQ_E_NOT_A_FOLDER && status != ZARQ_E_FILE_NOT_FOUND) return status;
  // A parent is missing: create the ancestors from the root down.
  size_t at = root.size();
  while (at < absolute.size()) {
    size_t next = absolute.find(kPathSeparator, at);
    if (next == std::string::npos) next = absolute.size();
    uint32_t error = Os().CreateFolder(absolute.substr(0, next));
    status = MapSystemError(error, ZARQ_E_CANNOT_CREATE_FOLDER);
    if (error != 0 && error != kErrorAlreadyExists && status != ZARQ_E_ACCESS_DENIED) {
      return status;
    }
    at = next + 1;
  }
  return status;
}

int32_t RemoveDirectoryPath(const std::string& path) {
  std::string folder = path;
  if (!folder.empty() && EndsWithSeparator(folder) && folder.size() > 1) folder.pop_back();
  return MapSystemError(Os().RemoveFolder(folder), ZARQ_E_FOLDER_FAILED);
}

int32_t GetVolumeInfo(uint8_t number, std::string* label, uint32_t* serial) {
  label->clear();
  *serial = 0;
  DirectoryFacts* facts = FindDirectoryFacts(number);
  if (facts == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  std::string root;
  int32_t status = GetRootPath(facts->path, &root);
  if (status != ZARQ_OK) return status;
  return MapSystemError(Os().GetVolumeInfo(facts->path, label, serial), ZARQ_E_FILE_QUERY);
}

int32_t GetDiskFreeBytes(const std::string& path, uint32_t* free_bytes) {
  *free_bytes = 0;
  std::string root;
  if (GetRootPath(path, &root) != ZARQ_OK) return ZARQ_OK;
  uint64_t bytes = 0;
  uint32_t error = Os().GetFreeBytes(path, &bytes);
  if (error != 0) return MapSystemError(error, ZARQ_E_FOLDER_FAILED);
  // Saturated: a large volume must not look nearly full.
  *free_bytes = bytes > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                             : static_cast<uint32_t>(bytes);
  return ZARQ_OK;
}

int32_t FileAttributes(const std::string& path, uint32_t* attributes, int mode) {
  if (mode == kSetAttributes) {
    return MapSystemError(Os().SetAttributes(path, *attributes), ZARQ_E_FILE_QUERY);
  }
  uint32_t value = 0;
  uint32_t error = Os().GetAttributes(path, &value);
  if (mode == kGetAttributes) *attributes = error == 0 ? value : 0;
  return MapSystemError(error, ZARQ_E_FILE_QUERY);
}

int32_t DeleteFileByName(const std::string& path) {
  return MapSystemError(Os().RemoveFile(path), ZARQ_E_FILE_QUERY);
}

int32_t ListFiles(const std::string& pattern, std::vector<std::string>* names) {
  uint32_t error = Os().ListFolder(pattern, names);
  if (error == kErrorFileNotFound || error == kErrorNoMoreFiles) {
    names->clear();
    return ZARQ_OK;
  }
  return MapSystemError(error, ZARQ_E_FILE_QUERY);
}

int32_t DeleteFilesByPattern(const std::string& pattern) {
  std::vector<std::string> names;
  int32_t listed = ListFiles(pattern, &names);
  if (listed != ZARQ_OK) return listed;
  size_t cut = pattern.rfind(kPathSeparator);
  std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
  for (const std::string& name : names) {
    int32_t status = DeleteFileByName(folder + name);
    if (status != ZARQ_OK) return status;
  }
  return ZARQ_OK;
}

int32_t MoveFileByName(const std::string& from, const std::string& to) {
  return MapSystemError(Os().RenameFile(from, to), ZARQ_E_FILE_QUERY);
}

int32_t ReplaceFileByName(const std::string& from, const std::string& to, bool exact) {
  uint32_t options = exact ? static_cast<uint32_t>(kNameExact) : 0u;
  return MapSystemError(Os().ReplaceFile(from, to, options), ZARQ_E_FILE_QUERY);
}

int32_t ActualFileName(const std::string& path, std::string* actual) {
  return MapSystemError(Os().ActualName(path, actual), ZARQ_E_FILE_QUERY);
}

int32_t ReadFileStart(const std::string& path, uint32_t count, std::string* bytes,
                      uint64_t* size) {
  bytes->clear();
  *size = 0;
  FileHandle file = kNoFileHandle;
  uint32_t error = Os().OpenFile(path, true, OpenDisposition::kOpenExisting, kNameExact, &file);
  if (error == 0) error = Os().GetFileSize(file, size);
  if (error == 0) {
    bytes->resize(count);
    uint32_t done = 0;
    error = Os().ReadFile(file, bytes->data(), count, &done);
    bytes->resize(done);
  }
  if (file != kNoFileHandle) Os().CloseFile(file);
  return MapSystemError(error, ZARQ_E_READ_FAILED);
}

bool ExistsExactly(const std::string& path) {
  FileIdentity identity;
  return Os().IdentityOfName(path, &identity) == 0;
}

bool HandleStillNamed(FileHandle handle, const std::string& path) {
  FileIdentity open, named;
  return Os().IdentityOfHandle(handle, &open) == 0 && Os().IdentityOfName(path, &named) == 0 &&
         open == named;
}

}  // namespace zarq
