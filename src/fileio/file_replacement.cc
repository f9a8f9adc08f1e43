// file_replacement.cc: whole files written under a temporary name and put
// in place in one step; unique scratch files.
//
// Thread-safety: callers hold the library lock.

#include "src/fileio/file_replacement.h"

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"

namespace zarq {
namespace {

constexpr int kScratchAttempts = 64;

int32_t CloseHandleOf(uint8_t directory, FileHandle handle, int32_t status) {
  int32_t closed = FileCloseMatching(directory, static_cast<uint64_t>(handle), kCloseHandle);
  return status != ZARQ_OK ? status : closed;
}

}  // namespace

int32_t WriteNewFile(uint8_t directory, const std::string& path, const void* bytes, uint32_t size,
                     bool flush) {
  FileHandle file = kNoFileHandle;
  bool existed = false;
  int32_t status = FileCreateNew(directory, path.c_str(), &file, &existed);
  if (existed) {
    status = DeleteFileByName(path);
    if (status == ZARQ_OK) status = FileCreateNew(directory, path.c_str(), &file, &existed);
  }
  if (status != ZARQ_OK) return status;
  status = FileWrite(file, size, bytes);
  if (status == ZARQ_OK && flush) status = FileFlush(file);
  return CloseHandleOf(directory, file, status);
}

int32_t ReplaceWithFile(uint8_t directory, const std::string& temporary, const std::string& target,
                        bool exact) {
  int32_t status = FileCloseNamed(directory, target);
  if (status != ZARQ_OK) return status;
  uint32_t attributes = 0;
  if (FileAttributes(target, &attributes, kGetAttributes) == ZARQ_OK &&
      (attributes & kAttributeReadOnly)) {
    // Windows refuses to replace a read-only file.
    attributes = kAttributeNormal;
    FileAttributes(target, &attributes, kSetAttributes);
  }
  return ReplaceFileByName(temporary, target, exact);
}

int32_t ReplaceFileContents(uint8_t directory, const std::string& temporary,
                            const std::string& target, bool exact, const void* bytes,
                            uint32_t size) {
  int32_t status = WriteNewFile(directory, temporary, bytes, size, false);
  if (status == ZARQ_OK) status = ReplaceWithFile(directory, temporary, target, exact);
  if (status != ZARQ_OK) DeleteFileByName(temporary);
  return status;
}

int32_t CreateScratchFile(uint8_t directory, std::string* name, FileHandle* handle) {
  *handle = kNoFileHandle;
  int32_t status = ZARQ_OK;
  for (int attempt = 0; attempt < kScratchAttempts; ++attempt) {
    status = BuildDirFileName(directory, name, kKindScratchOrAll | kKindTemporary);
    if (status != ZARQ_OK) return status;
    bool existed = false;
    status = FileCreateNew(directory, name->c_str(), handle, &existed);
    if (!existed) return status;
  }
  return status;
}

}  // namespace zarq
