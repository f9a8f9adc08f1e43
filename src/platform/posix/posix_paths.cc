// posix_paths.cc: paths and volumes of the POSIX Platform.
//
// Paths are real absolute paths: symbolic links, "." and ".." are resolved
// as far as the path exists. The only root is "/"; the drive type of a
// path comes from the file system that holds it.
//
// Thread-safety: every method is safe to call from any thread.

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "src/platform/posix/posix_platform.h"
#include "src/platform/system_errors.h"

namespace zarq {
namespace {

// File system magic numbers (linux/magic.h and the file systems' own).
constexpr unsigned long kNfs = 0x6969;
constexpr unsigned long kSmb = 0x517B;
constexpr unsigned long kCifs = 0xFF534D42;
constexpr unsigned long kSmb2 = 0xFE534D42;
constexpr unsigned long kFuse = 0x65735546;
constexpr unsigned long kCoda = 0x73757245;
constexpr unsigned long kAfs = 0x5346414F;
constexpr unsigned long k9p = 0x01021997;
constexpr unsigned long kCeph = 0x00C36400;
constexpr unsigned long kTmpfs = 0x01021994;
constexpr unsigned long kRamfs = 0x858458F6;
constexpr unsigned long kIso9660 = 0x9660;
constexpr unsigned long kUdf = 0x15013346;

// "." and ".." removed and separators collapsed, without touching the disk.
std::string LexicallyNormal(const std::string& absolute) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at < absolute.size()) {
    size_t next = absolute.find('/', at);
    if (next == std::string::npos) next = absolute.size();
    std::string part = absolute.substr(at, next - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = next + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

// The nearest existing folder at or above an absolute path.
std::string ExistingAncestor(std::string path) {
  struct stat info;
  while (stat(path.c_str(), &info) != 0 && path != "/") {
    size_t slash = path.rfind('/');
    path = slash == 0 ? "/" : path.substr(0, slash);
  }
  return path;
}

bool IsRemovableDevice(dev_t device) {
  char link[96];
  std::snprintf(link, sizeof(link), "/sys/dev/block/%u:%u", major(device), minor(device));
  // A partition's own folder lacks the flag; its disk's folder above has it.
  for (const char* suffix : {"/removable", "/../removable"}) {
    std::string path = std::string(link) + suffix;
    if (FILE* flag = std::fopen(path.c_str(), "re")) {
      int value = std::fgetc(flag);
      std::fclose(flag);
      return value == '1';
    }
  }
  return false;
}

}  // namespace

uint32_t NativePlatform::AbsolutePath(const std::string& path, std::string* absolute) {
  absolute->clear();
  if (path.empty()) return kErrorInvalidParameter;
  std::string resolved = "/";
  if (path[0] != '/') {
    char current[PATH_MAX];
    if (getcwd(current, sizeof(current)) == nullptr) return WindowsErrorFromErrno(errno);
    resolved = current;
  }
  // Component by component, as the kernel walks a path: a link is
  // resolved before a following ".." climbs out of its target. Past the
  // first missing component the rest is kept as written ("." and ".."
  // removed), for folders still to be created.
  bool exists = true;
  size_t at = 0;
  while (at <= path.size()) {
    size_t next = path.find('/', at);
    if (next == std::string::npos) next = path.size();
    std::string part = path.substr(at, next - at);
    at = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      size_t slash = resolved.rfind('/');
      resolved = slash == 0 ? "/" : resolved.substr(0, slash);
      continue;
    }
    std::string joined = resolved == "/" ? "/" + part : resolved + "/" + part;
    if (exists) {
      char real[PATH_MAX];
      if (realpath(joined.c_str(), real) != nullptr) {
        resolved = real;
        continue;
      }
      // A link loop or an overlong result is no path; anything else (a
      // missing or unreadable component) ends the part that exists.
      if (errno == ELOOP || errno == ENAMETOOLONG) return WindowsErrorFromErrno(errno);
      exists = false;
    }
    resolved = joined;
  }
  *absolute = resolved;
  return kErrorSuccess;
}

bool NativePlatform::RootOf(const std::string& path, std::string* root) {
  if (path.empty() || path[0] != '/') return false;
  *root = "/";
  return true;
}

uint32_t NativePlatform::DriveTypeOf(const std::string& path, uint32_t* type) {
  *type = kDriveUnknown;
  std::string existing = ExistingAncestor(LexicallyNormal(path));
  struct statfs volume;
  if (statfs(existing.c_str(), &volume) != 0) return WindowsErrorFromErrno(errno);
  switch (static_cast<unsigned long>(volume.f_type)) {
    case kNfs:
    case kSmb:
    case kCifs:
    case kSmb2:
    case kFuse:
    case kCoda:
    case kAfs:
    case k9p:
    case kCeph:
      *type = kDriveRemote;
      return kErrorSuccess;
    case kTmpfs:
    case kRamfs:
      *type = kDriveRamDisk;
      return kErrorSuccess;
    case kIso9660:
    case kUdf:
      *type = kDriveCdRom;
      return kErrorSuccess;
    default:
      break;
  }
  struct stat info;
  *type = (stat(existing.c_str(), &info) == 0 && IsRemovableDevice(info.st_dev)) ? kDriveRemovable
                                                                                 : kDriveFixed;
  return kErrorSuccess;
}

uint32_t NativePlatform::GetVolumeInfo(const std::string& path, std::string* label,
                                       uint32_t* serial) {
  label->clear();
  *serial = 0;
  struct statfs volume;
  if (statfs(ExistingAncestor(LexicallyNormal(path)).c_str(), &volume) != 0) {
    return WindowsErrorFromErrno(errno);
  }
  int words[2];
  static_assert(sizeof(words) == sizeof(volume.f_fsid));
  __builtin_memcpy(words, &volume.f_fsid, sizeof(words));
  *serial = static_cast<uint32_t>(words[0]) ^ static_cast<uint32_t>(words[1]);
  return kErrorSuccess;
}

uint32_t NativePlatform::GetFreeBytes(const std::string& path, uint64_t* free_bytes) {
  *free_bytes = 0;
  struct statvfs volume;
  if (statvfs(ExistingAncestor(LexicallyNormal(path)).c_str(), &volume) != 0) {
    return WindowsErrorFromErrno(errno);
  }
  *free_bytes = static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
  return kErrorSuccess;
}

uint32_t NativePlatform::TempFolder(std::string* path) {
  const char* value = std::getenv("TMPDIR");
  *path = (value != nullptr && value[0] != '\0') ? value : "/tmp";
  return kErrorSuccess;
}

uint32_t NativePlatform::PrivateFolder(const std::string& parent, std::string* folder) {
  folder->clear();
  uid_t user = geteuid();
  std::string path = parent + "zarq-" + std::to_string(user);
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return WindowsErrorFromErrno(errno);
  // Whoever made the name first must have made it this user's own folder:
  // a link, another user's folder or one others may enter is refused.
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return WindowsErrorFromErrno(errno);
  if (!S_ISDIR(info.st_mode) || info.st_uid != user || (info.st_mode & 077) != 0) {
    return kErrorAccessDenied;
  }
  *folder = path + "/";
  return kErrorSuccess;
}

}  // namespace zarq
