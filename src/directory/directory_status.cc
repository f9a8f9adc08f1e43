// directory_status.cc: reports on directories, open or not.
//
// Thread-safety: callers hold the library lock.

#include "src/directory/directory_status.h"

#include <cstring>
#include <string>

#include "src/fileio/directory_entry.h"
#include "src/directory/directory_open.h"
#include "src/directory/directory_users.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/path_services.h"
#include "src/frame/ascii_text.h"
#include "src/frame/messages.h"
#include "src/master/master_files.h"
#include "src/master/security_list_header.h"

namespace zarq {
namespace {

constexpr int kNamePartLength = 30;

int32_t ReportOpen(DirectoryEntry* entry, ZarqDirectoryStatus* status) {
  VerifyUserRecord(entry);
  status->Valid = 1;
  status->InUse = 1;
  status->OpenHere = 1;
  status->DirNumber = entry->number;
  status->ReadOnly = entry->read_only() ? 1 : 0;
  status->HoldsDatabase = entry->Has(kDirHoldsDatabase) ? 1 : 0;
  status->RegistrationLost = entry->Has(kDirRegistrationLost) ? 1 : 0;
  status->DriveKind = entry->drive_kind;
  if (!entry->Has(kDirHoldsDatabase)) return ZARQ_OK;
  uint32_t slots = 0;
  return GetSecurityCounts(entry->number, &status->LiveSecurities, &slots);
}

bool ExistsIn(DirectoryFacts* facts, uint16_t kind) {
  std::string name;
  return BuildFileNameIn(facts, 0, &name, kind) == ZARQ_OK && IsExistingFile(name);
}

bool MasterIn(DirectoryFacts* facts, uint16_t kind) {
  MasterFileName file;
  return LocateMasterFileIn(facts, kind, &file) == ZARQ_OK && file.present;
}

}  // namespace

int32_t GetSecurityCounts(uint8_t number, uint32_t* live, uint32_t* slots) {
  *live = 0;
  *slots = 0;
  DirectoryEntry* entry = FindDirectory(number);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  if (!entry->Has(kDirHoldsDatabase)) return ZARQ_E_NOT_REGISTERED;
  SecurityListHeader header;
  uint32_t whole = 0;
  int32_t status = ReadListHeaderLocked(entry, &header, &whole);
  if (status != ZARQ_OK) return status;
  *live = header.live_count;
  *slots = header.slot_count;
  return ZARQ_OK;
}

int32_t GetDirectoryStatus(int8_t number, const char* path, ZarqDirectoryStatus* status) {
  if (number > 0) {
    if (DirectoryEntry* entry = FindDirectory(static_cast<uint8_t>(number))) {
      return ReportOpen(entry, status);
    }
  }
  if (path == nullptr || path[0] == '\0') return ZARQ_E_DIRECTORY_NOT_OPEN;
  uint8_t open_number = 0;
  int32_t result = GetDirectoryNumber(path, &open_number);
  if (result == ZARQ_OK) return ReportOpen(FindDirectory(open_number), status);
  if (result != ZARQ_E_DIRECTORY_NOT_OPEN) return result;
  std::string normal;
  uint16_t kind = 0;
  result = NormalizeCallerPath(path, &normal, &kind);
  if (result != ZARQ_OK) return result;
  DirectoryFacts facts;
  CopyBounded(facts.path, sizeof(facts.path), normal.c_str());
  status->HoldsDatabase = (MasterIn(&facts, kKindMaster) || MasterIn(&facts, kKindXmaster)) ? 1 : 0;
  status->InUse = ExistsIn(&facts, kKindUsers) ? 1 : 0;
  status->Valid = 1;
  status->DriveKind = kind;
  return ZARQ_OK;
}

int32_t GetLastFailedOpenDirInfo(char* application, char* user) {
  const std::string& text = LastFailedOpen();
  size_t colon = text.find(':');
  std::string first = text.substr(0, colon);
  std::string second = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  CopyBounded(application, kNamePartLength + 1, first.c_str());
  CopyBounded(user, kNamePartLength + 1, second.c_str());
  return ZARQ_OK;
}

namespace {

// The message of a refused open names the program holding the directory.
int32_t FailedOpenApplication(std::string* application) {
  char first[kNamePartLength + 1];
  char second[kNamePartLength + 1];
  int32_t status = GetLastFailedOpenDirInfo(first, second);
  if (status == ZARQ_OK) *application = first;
  return status;
}

struct InstallFailedOpenSource {
  InstallFailedOpenSource() { SetFailedOpenSource(&FailedOpenApplication); }
} const kInstallFailedOpenSource;

}  // namespace

}  // namespace zarq
