// posix_files.cc: files, byte-range locks, names and folders of the POSIX
// Platform.
//
// Byte-range locks are open-file-description locks (F_OFD_SETLK): they
// belong to the descriptor as Windows locks belong to the handle, so two
// descriptors of one process exclude each other, and closing another
// descriptor of the same file never drops them (classic fcntl locks would
// do both wrong).
//
// Thread-safety: every method is safe to call from any thread.

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdio.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "src/platform/posix/posix_platform.h"
#include "src/platform/system_errors.h"

namespace zarq {
namespace {

uint32_t LastError() { return WindowsErrorFromErrno(errno); }

// The process's file creation mask, read without changing it (umask() would
// have to set it for a moment, racing with other threads).
mode_t CurrentUmask() {
  mode_t mask = 022;
  if (FILE* status = fopen("/proc/self/status", "re")) {
    char line[128];
    while (fgets(line, sizeof(line), status) != nullptr) {
      unsigned value = 0;
      if (sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value);
        break;
      }
    }
    fclose(status);
  }
  return mask;
}

int Descriptor(FileHandle handle) { return static_cast<int>(handle); }

// A write through a descriptor opened for reading fails with EBADF here but
// with access denied on Windows; the library expects the latter.
uint32_t WriteError(FileHandle handle) {
  int error = errno;
  if (error == EBADF || error == EINVAL) {
    int access = fcntl(Descriptor(handle), F_GETFL);
    if (access >= 0 && (access & O_ACCMODE) == O_RDONLY) return kErrorAccessDenied;
  }
  return WindowsErrorFromErrno(error);
}

void SplitFolder(const std::string& path, std::string* folder, std::string* name) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    *folder = ".";
    *name = path;
  } else {
    *folder = slash == 0 ? "/" : path.substr(0, slash);
    *name = path.substr(slash + 1);
  }
}

uint32_t LockOrUnlock(FileHandle handle, uint64_t offset, uint64_t length, short type) {
  if (length == 0) return kErrorSuccess;
  struct flock range = {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(offset);
  range.l_len = static_cast<off_t>(length);
  if (type != F_UNLCK) {
    // A descriptor opened for reading can take only a shared lock.
    int access = fcntl(Descriptor(handle), F_GETFL);
    if (access >= 0 && (access & O_ACCMODE) == O_RDONLY) range.l_type = F_RDLCK;
  }
  if (fcntl(Descriptor(handle), F_OFD_SETLK, &range) == 0) return kErrorSuccess;
  if (errno == EAGAIN || errno == EACCES) return kErrorLockViolation;
  return LastError();
}

}  // namespace

std::string ResolveExistingName(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) == 0 || errno != ENOENT) return path;
  std::string folder, name;
  SplitFolder(path, &folder, &name);
  if (name.empty()) return path;
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return path;
  std::string found;
  int matches = 0;
  while (dirent* entry = readdir(listing)) {
    if (strcasecmp(entry->d_name, name.c_str()) == 0) {
      found = entry->d_name;
      ++matches;
    }
  }
  closedir(listing);
  if (matches != 1) return path;
  return (folder == "/" ? "/" : folder + "/") + found;
}

uint32_t NativePlatform::OpenFile(const std::string& path, bool read_only,
                                  OpenDisposition disposition, uint32_t options,
                                  FileHandle* handle) {
  *handle = kNoFileHandle;
  bool existing = disposition == OpenDisposition::kOpenExisting;
  bool exclusive = disposition == OpenDisposition::kCreateNew;
  std::string name = (options & kNameExact) || exclusive ? path : ResolveExistingName(path);
  int flags = (read_only && existing ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  if (!existing) flags |= O_CREAT;
  if (disposition == OpenDisposition::kCreateAlways) flags |= O_TRUNC;
  // O_EXCL never follows a link either: a planted link cannot redirect a
  // file that decides who comes first.
  if (exclusive) flags |= O_EXCL;
  if (options & kNameNoFollow) flags |= O_NOFOLLOW;
  int fd;
  do {
    fd = open(name.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (exclusive && errno == EEXIST) return kErrorFileExists;
    if ((options & kNameNoFollow) && errno == ELOOP) return kErrorAccessDenied;
    return LastError();
  }
  struct stat info;
  if (fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
    // Folders, devices and pipes are no files of a database.
    close(fd);
    return kErrorAccessDenied;
  }
  *handle = fd;
  return kErrorSuccess;
}

uint32_t NativePlatform::CloseFile(FileHandle handle) {
  // A close interrupted by a signal has still released the descriptor.
  if (close(Descriptor(handle)) != 0 && errno != EINTR) return LastError();
  return kErrorSuccess;
}

uint32_t NativePlatform::ReadFile(FileHandle handle, void* buffer, uint32_t count, uint32_t* done) {
  *done = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (*done < count) {
    ssize_t got = read(Descriptor(handle), bytes + *done, count - *done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (got == 0) break;
    *done += static_cast<uint32_t>(got);
  }
  return kErrorSuccess;
}

uint32_t NativePlatform::WriteFile(FileHandle handle, const void* buffer, uint32_t count,
                                   uint32_t* done) {
  *done = 0;
  auto* bytes = static_cast<const char*>(buffer);
  while (*done < count) {
    ssize_t put = write(Descriptor(handle), bytes + *done, count - *done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return WriteError(handle);
    }
    if (put == 0) return kErrorHandleDiskFull;
    *done += static_cast<uint32_t>(put);
  }
  return kErrorSuccess;
}

uint32_t NativePlatform::SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin,
                                  uint64_t* position) {
  int whence = origin == SeekOrigin::kBegin ? SEEK_SET
               : origin == SeekOrigin::kEnd ? SEEK_END
                                            : SEEK_CUR;
  off_t at = lseek(Descriptor(handle), static_cast<off_t>(distance), whence);
  if (at < 0) return LastError();
  *position = static_cast<uint64_t>(at);
  return kErrorSuccess;
}

uint32_t NativePlatform::GetFileSize(FileHandle handle, uint64_t* size) {
  struct stat info;
  if (fstat(Descriptor(handle), &info) != 0) return LastError();
  *size = static_cast<uint64_t>(info.st_size);
  return kErrorSuccess;
}

uint32_t NativePlatform::SetFileSize(FileHandle handle, uint64_t size) {
  int result;
  do {
    result = ftruncate(Descriptor(handle), static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  return result == 0 ? kErrorSuccess : WriteError(handle);
}

uint32_t NativePlatform::FlushFile(FileHandle handle) {
  return fdatasync(Descriptor(handle)) == 0 ? kErrorSuccess : LastError();
}

uint32_t NativePlatform::LockRange(FileHandle handle, uint64_t offset, uint64_t length) {
  return LockOrUnlock(handle, offset, length, F_WRLCK);
}

uint32_t NativePlatform::UnlockRange(FileHandle handle, uint64_t offset, uint64_t length) {
  return LockOrUnlock(handle, offset, length, F_UNLCK);
}

uint32_t NativePlatform::GetAttributes(const std::string& path, uint32_t* attributes) {
  *attributes = 0;
  std::string name = ResolveExistingName(path);
  struct stat info;
  if (stat(name.c_str(), &info) != 0) return LastError();
  bool writable = access(name.c_str(), W_OK) == 0;
  if (S_ISDIR(info.st_mode)) {
    *attributes = kAttributeDirectory | (writable ? 0 : kAttributeReadOnly);
  } else {
    *attributes = writable ? kAttributeNormal : kAttributeReadOnly;
  }
  return kErrorSuccess;
}

uint32_t NativePlatform::SetAttributes(const std::string& path, uint32_t attributes) {
  std::string name = ResolveExistingName(path);
  struct stat info;
  if (stat(name.c_str(), &info) != 0) return LastError();
  mode_t mode = info.st_mode & 07777;
  if (attributes & kAttributeReadOnly) {
    mode &= ~static_cast<mode_t>(0222);
  } else {
    // Writable again for whoever may read it, as far as the umask allows.
    mode |= (((mode & 0444) >> 1) & ~CurrentUmask()) | S_IWUSR;
  }
  return chmod(name.c_str(), mode) == 0 ? kErrorSuccess : LastError();
}

uint32_t NativePlatform::RemoveFile(const std::string& path) {
  std::string name = ResolveExistingName(path);
  struct stat info;
  if (lstat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return kErrorAccessDenied;
  return unlink(name.c_str()) == 0 ? kErrorSuccess : LastError();
}

uint32_t NativePlatform::RenameFile(const std::string& from, const std::string& to) {
  std::string source = ResolveExistingName(from);
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return kErrorSuccess;
  }
  if (errno != EINVAL && errno != ENOSYS) return LastError();
  // File systems without the no-replace rename: link and unlink never
  // replace either.
  if (link(source.c_str(), to.c_str()) != 0) return LastError();
  unlink(source.c_str());
  return kErrorSuccess;
}

uint32_t NativePlatform::ReplaceFile(const std::string& from, const std::string& to,
                                     uint32_t options) {
  std::string source = ResolveExistingName(from);
  std::string target = (options & kNameExact) ? to : ResolveExistingName(to);
  // The new file's data first, then the name.
  int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return LastError();
  int synced = fdatasync(fd);
  int error = errno;
  close(fd);
  if (synced != 0) return WindowsErrorFromErrno(error);
  // The folder's entry is not flushed here: the file systems journal
  // their entries in order, so the rename is on the disk before any later
  // removal of the files it replaces the need for.
  if (rename(source.c_str(), target.c_str()) != 0) return LastError();
  return kErrorSuccess;
}

uint32_t NativePlatform::ActualName(const std::string& path, std::string* actual) {
  *actual = ResolveExistingName(path);
  struct stat info;
  uint32_t error = stat(actual->c_str(), &info) != 0 ? LastError()
                   : S_ISDIR(info.st_mode)            ? kErrorAccessDenied
                                                      : kErrorSuccess;
  if (error != kErrorSuccess) actual->clear();
  return error;
}

uint32_t NativePlatform::IdentityOfHandle(FileHandle handle, FileIdentity* identity) {
  *identity = FileIdentity{};
  struct stat info;
  if (fstat(Descriptor(handle), &info) != 0) return LastError();
  *identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  return kErrorSuccess;
}

uint32_t NativePlatform::IdentityOfName(const std::string& path, FileIdentity* identity) {
  *identity = FileIdentity{};
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return LastError();
  *identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  return kErrorSuccess;
}

uint32_t NativePlatform::CreateFolder(const std::string& path) {
  return mkdir(path.c_str(), 0777) == 0 ? kErrorSuccess : LastError();
}

uint32_t NativePlatform::RemoveFolder(const std::string& path) {
  return rmdir(ResolveExistingName(path).c_str()) == 0 ? kErrorSuccess : LastError();
}

uint32_t NativePlatform::ListFolder(const std::string& pattern, std::vector<std::string>* names) {
  names->clear();
  std::string folder, wildcard;
  SplitFolder(pattern, &folder, &wildcard);
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return LastError();
  while (dirent* entry = readdir(listing)) {
    // Names of folders copied from Windows may be in any case.
    if (fnmatch(wildcard.c_str(), entry->d_name, FNM_CASEFOLD) != 0) continue;
    std::string full = (folder == "/" ? "/" : folder + "/") + entry->d_name;
    struct stat info;
    if (stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
    names->push_back(entry->d_name);
  }
  closedir(listing);
  return names->empty() ? kErrorFileNotFound : kErrorSuccess;
}

}  // namespace zarq
