// win32_paths.cc: paths and volumes of the Windows Platform: drive and
// share roots, drive types, volume information, free space (shares are
// measured through a drive letter connected for the moment) and the
// temporary folder.
//
// Thread-safety: every method is safe to call from any thread.

#include <windows.h>
#include <winnetwk.h>

#include <cctype>

#include "src/platform/native_platform.h"
#include "src/platform/system_errors.h"

namespace zarq {
namespace {

uint64_t FreeBytesOfDrive(const std::string& root, uint32_t* error) {
  DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceA(root.c_str(), &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                         &clusters)) {
    *error = GetLastError();
    return 0;
  }
  *error = kErrorSuccess;
  return static_cast<uint64_t>(sectors_per_cluster) * bytes_per_sector * free_clusters;
}

}  // namespace

uint32_t NativePlatform::AbsolutePath(const std::string& path, std::string* absolute) {
  absolute->clear();
  if (path.empty()) return kErrorInvalidParameter;
  char buffer[MAX_PATH + 1];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof(buffer), buffer, nullptr);
  if (length == 0) return GetLastError();
  if (length >= sizeof(buffer)) return kErrorFilenameTooLong;
  *absolute = buffer;
  return kErrorSuccess;
}

// A drive root ("C:\") or a share root ("\\server\share\"); a share root
// may lack its final backslash.
bool NativePlatform::RootOf(const std::string& path, std::string* root) {
  size_t wanted = 0;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    wanted = 4;
  } else if (path.size() >= 2 && std::toupper(static_cast<unsigned char>(path[0])) >= 'A' &&
             std::toupper(static_cast<unsigned char>(path[0])) <= 'Z' && path[1] == ':') {
    wanted = 1;
  } else {
    return false;
  }
  std::string copied;
  size_t backslashes = 0;
  for (size_t i = 0; i < path.size() && backslashes < wanted; ++i) {
    copied += path[i];
    if (path[i] == '\\') ++backslashes;
  }
  if (backslashes == 0 || wanted - backslashes > 1) return false;
  if (backslashes < wanted) copied += '\\';
  *root = copied;
  return true;
}

uint32_t NativePlatform::DriveTypeOf(const std::string& path, uint32_t* type) {
  *type = kDriveUnknown;
  std::string root;
  if (!RootOf(path, &root)) return kErrorInvalidDrive;
  *type = ::GetDriveTypeA(root.c_str());
  return kErrorSuccess;
}

uint32_t NativePlatform::GetVolumeInfo(const std::string& path, std::string* label,
                                       uint32_t* serial) {
  label->clear();
  *serial = 0;
  std::string root;
  if (!RootOf(path, &root)) return kErrorInvalidDrive;
  char name[MAX_PATH + 2] = {};
  DWORD number = 0;
  if (!GetVolumeInformationA(root.c_str(), name, sizeof(name), &number, nullptr, nullptr, nullptr,
                             0)) {
    return GetLastError();
  }
  *label = name;
  *serial = number;
  return kErrorSuccess;
}

uint32_t NativePlatform::GetFreeBytes(const std::string& path, uint64_t* free_bytes) {
  *free_bytes = 0;
  std::string root;
  if (!RootOf(path, &root)) return kErrorSuccess;
  uint32_t error = kErrorSuccess;
  if (root[0] != '\\') {
    *free_bytes = FreeBytesOfDrive(root, &error);
    return error;
  }
  // A share: connect it to the first unused letter from C on, measure that
  // drive, and disconnect the letter again whatever happened.
  DWORD used = GetLogicalDrives();
  char letter = 0;
  for (char candidate = 'C'; candidate <= 'Z'; ++candidate) {
    if (!(used & (1u << (candidate - 'A')))) {
      letter = candidate;
      break;
    }
  }
  if (letter == 0) return kErrorSuccess;
  std::string share = root.substr(0, root.size() - 1);
  char local[3] = {letter, ':', '\0'};
  DWORD connected = WNetAddConnectionA(share.c_str(), "", local);
  if (connected != NO_ERROR) return connected;
  char drive_root[4] = {letter, ':', '\\', '\0'};
  *free_bytes = FreeBytesOfDrive(drive_root, &error);
  WNetCancelConnectionA(local, TRUE);
  return error;
}

uint32_t NativePlatform::TempFolder(std::string* path) {
  char buffer[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof(buffer), buffer);
  if (length == 0 || length >= sizeof(buffer))
    return length == 0 ? GetLastError() : kErrorFilenameTooLong;
  *path = buffer;
  return kErrorSuccess;
}

uint32_t NativePlatform::PrivateFolder(const std::string& parent, std::string* folder) {
  folder->clear();
  // The temporary folder of a Windows user is that user's own already.
  std::string path = parent + "zarq";
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return GetLastError();
  }
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return kErrorAccessDenied;
  }
  *folder = path + "\\";
  return kErrorSuccess;
}

}  // namespace zarq
