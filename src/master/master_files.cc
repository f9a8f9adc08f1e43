// master_files.cc: the master files of a folder, as the folder spells them.
//
// Thread-safety: callers hold the library lock.

#include "src/master/master_files.h"

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_replacement.h"
#include "src/fileio/path_services.h"
#include "src/frame/little_endian.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/xmaster_file.h"
#include "src/platform/platform.h"

namespace zarq {
namespace {

// Whether a file spelt otherwise than the canonical name is a master file
// of kind: whole records and a header whose count they hold; XMASTER by
// its magic.
bool LooksLikeMasterFile(const std::string& path, uint16_t kind) {
  std::string head;
  uint64_t size = 0;
  if (ReadFileStart(path, kXmasterRecordSize, &head, &size) != ZARQ_OK) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(head.data());
  if (kind == kKindXmaster) {
    return head.size() >= 4 && GetU32(bytes + xmaster_offset::kMagic) == kXmasterMagic;
  }
  uint64_t record = kind == kKindMaster ? kMasterRecordSize : kEmasterRecordSize;
  if (size < record || size % record != 0 || head.size() < 2) return false;
  int16_t count = GetI16(bytes + master_offset::kEntryCount);
  return count >= 0 && static_cast<uint64_t>(count) <= size / record - 1;
}

}  // namespace

int32_t LocateMasterFileIn(DirectoryFacts* facts, uint16_t kind, MasterFileName* file) {
  *file = MasterFileName{};
  std::string canonical;
  int32_t status = BuildFileNameIn(facts, 0, &canonical, kind);
  if (status != ZARQ_OK) return status;
  file->name = canonical;
  std::string actual;
  if (ActualFileName(canonical, &actual) != ZARQ_OK) return ZARQ_OK;
  // Where names ignore case there is no other spelling of a name.
  if (kPathsIgnoreCase || actual == canonical || LooksLikeMasterFile(actual, kind)) {
    file->name = actual;
    file->present = true;
  }
  return ZARQ_OK;
}

int32_t LocateMasterFile(uint8_t directory, uint16_t kind, MasterFileName* file) {
  *file = MasterFileName{};
  DirectoryFacts* facts = FindDirectoryFacts(directory);
  if (facts == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  return LocateMasterFileIn(facts, kind, file);
}

bool MasterFilePresent(uint8_t directory, uint16_t kind) {
  MasterFileName file;
  return LocateMasterFile(directory, kind, &file) == ZARQ_OK && file.present;
}

int32_t ReplaceMasterFile(uint8_t directory, uint16_t kind, const std::string& bytes) {
  MasterFileName target;
  std::string temporary;
  int32_t status = LocateMasterFile(directory, kind, &target);
  if (status == ZARQ_OK) status = BuildFileName(directory, 0, &temporary, kind | kKindTemporary);
  if (status != ZARQ_OK) return status;
  // Exactly the name located: never an unrelated file of another spelling.
  return ReplaceFileContents(directory, temporary, target.name, true, bytes.data(),
                             static_cast<uint32_t>(bytes.size()));
}

}  // namespace zarq
