// win32_files.cc: files, byte-range locks, names and folders of the Windows
// Platform.
//
// Thread-safety: every method is safe to call from any thread.

#include <windows.h>

#include "src/platform/native_platform.h"
#include "src/platform/system_errors.h"

namespace zarq {
namespace {

HANDLE Native(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

uint32_t Result(BOOL ok) { return ok ? kErrorSuccess : GetLastError(); }

DWORD Low(uint64_t value) { return static_cast<DWORD>(value & 0xFFFFFFFFu); }
DWORD High(uint64_t value) { return static_cast<DWORD>(value >> 32); }

}  // namespace

uint32_t NativePlatform::OpenFile(const std::string& path, bool read_only,
                                  OpenDisposition disposition, uint32_t options,
                                  FileHandle* handle) {
  *handle = kNoFileHandle;
  bool existing = disposition == OpenDisposition::kOpenExisting;
  DWORD access = GENERIC_READ | (read_only && existing ? 0 : GENERIC_WRITE);
  DWORD creation = existing                                      ? OPEN_EXISTING
                   : disposition == OpenDisposition::kOpenAlways ? OPEN_ALWAYS
                   : disposition == OpenDisposition::kCreateNew  ? CREATE_NEW
                                                                 : CREATE_ALWAYS;
  if (options & kNameNoFollow) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return kErrorAccessDenied;
    }
  }
  // Other handles may delete or rename the file while this one is open, so
  // that a file another process waits on can still be removed.
  HANDLE file =
      CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  *handle = reinterpret_cast<FileHandle>(file);
  return kErrorSuccess;
}

uint32_t NativePlatform::CloseFile(FileHandle handle) {
  return Result(CloseHandle(Native(handle)));
}

uint32_t NativePlatform::ReadFile(FileHandle handle, void* buffer, uint32_t count, uint32_t* done) {
  DWORD got = 0;
  BOOL ok = ::ReadFile(Native(handle), buffer, count, &got, nullptr);
  *done = got;
  return Result(ok);
}

uint32_t NativePlatform::WriteFile(FileHandle handle, const void* buffer, uint32_t count,
                                   uint32_t* done) {
  DWORD put = 0;
  BOOL ok = ::WriteFile(Native(handle), buffer, count, &put, nullptr);
  *done = put;
  return Result(ok);
}

uint32_t NativePlatform::SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin,
                                  uint64_t* position) {
  DWORD method = origin == SeekOrigin::kBegin ? FILE_BEGIN
                 : origin == SeekOrigin::kEnd ? FILE_END
                                              : FILE_CURRENT;
  LARGE_INTEGER move;
  move.QuadPart = distance;
  LARGE_INTEGER at;
  if (!SetFilePointerEx(Native(handle), move, &at, method)) return GetLastError();
  *position = static_cast<uint64_t>(at.QuadPart);
  return kErrorSuccess;
}

uint32_t NativePlatform::GetFileSize(FileHandle handle, uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(Native(handle), &value)) return GetLastError();
  *size = static_cast<uint64_t>(value.QuadPart);
  return kErrorSuccess;
}

uint32_t NativePlatform::SetFileSize(FileHandle handle, uint64_t size) {
  LARGE_INTEGER zero = {};
  LARGE_INTEGER saved;
  if (!SetFilePointerEx(Native(handle), zero, &saved, FILE_CURRENT)) return GetLastError();
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  uint32_t error = kErrorSuccess;
  if (!SetFilePointerEx(Native(handle), end, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(Native(handle))) {
    error = GetLastError();
  }
  SetFilePointerEx(Native(handle), saved, nullptr, FILE_BEGIN);
  return error;
}

uint32_t NativePlatform::FlushFile(FileHandle handle) {
  return Result(FlushFileBuffers(Native(handle)));
}

uint32_t NativePlatform::LockRange(FileHandle handle, uint64_t offset, uint64_t length) {
  if (length == 0) return kErrorSuccess;
  return Result(LockFile(Native(handle), Low(offset), High(offset), Low(length), High(length)));
}

uint32_t NativePlatform::UnlockRange(FileHandle handle, uint64_t offset, uint64_t length) {
  if (length == 0) return kErrorSuccess;
  return Result(UnlockFile(Native(handle), Low(offset), High(offset), Low(length), High(length)));
}

uint32_t NativePlatform::GetAttributes(const std::string& path, uint32_t* attributes) {
  DWORD value = GetFileAttributesA(path.c_str());
  if (value == INVALID_FILE_ATTRIBUTES) {
    *attributes = 0;
    return GetLastError();
  }
  *attributes = value;
  return kErrorSuccess;
}

uint32_t NativePlatform::SetAttributes(const std::string& path, uint32_t attributes) {
  return Result(SetFileAttributesA(path.c_str(), attributes));
}

uint32_t NativePlatform::RemoveFile(const std::string& path) {
  return Result(DeleteFileA(path.c_str()));
}

uint32_t NativePlatform::RenameFile(const std::string& from, const std::string& to) {
  return Result(MoveFileA(from.c_str(), to.c_str()));
}

uint32_t NativePlatform::ReplaceFile(const std::string& from, const std::string& to, uint32_t) {
  // The new file's data first, then the name.
  HANDLE source = CreateFileA(from.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (source == INVALID_HANDLE_VALUE) return GetLastError();
  BOOL flushed = FlushFileBuffers(source);
  uint32_t error = flushed ? kErrorSuccess : GetLastError();
  CloseHandle(source);
  if (error != kErrorSuccess) return error;
  return Result(MoveFileExA(from.c_str(), to.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

uint32_t NativePlatform::ActualName(const std::string& path, std::string* actual) {
  actual->clear();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError();
  FindClose(search);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kErrorAccessDenied;
  size_t cut = path.find_last_of("\\/");
  *actual = (cut == std::string::npos ? std::string() : path.substr(0, cut + 1)) + found.cFileName;
  return kErrorSuccess;
}

namespace {

uint32_t IdentityOf(HANDLE file, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return GetLastError();
  identity->volume = info.dwVolumeSerialNumber;
  identity->file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return kErrorSuccess;
}

}  // namespace

uint32_t NativePlatform::IdentityOfHandle(FileHandle handle, FileIdentity* identity) {
  *identity = FileIdentity{};
  return IdentityOf(Native(handle), identity);
}

uint32_t NativePlatform::IdentityOfName(const std::string& path, FileIdentity* identity) {
  *identity = FileIdentity{};
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  uint32_t error = IdentityOf(file, identity);
  CloseHandle(file);
  return error;
}

uint32_t NativePlatform::CreateFolder(const std::string& path) {
  return Result(CreateDirectoryA(path.c_str(), nullptr));
}

uint32_t NativePlatform::RemoveFolder(const std::string& path) {
  return Result(RemoveDirectoryA(path.c_str()));
}

uint32_t NativePlatform::ListFolder(const std::string& pattern, std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError();
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    names->push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  uint32_t error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) return error;
  return names->empty() ? kErrorFileNotFound : kErrorSuccess;
}

}  // namespace zarq
