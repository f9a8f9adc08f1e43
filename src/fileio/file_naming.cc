// file_naming.cc: composing the names of a data directory's files.
//
// Thread-safety: callers hold the library lock (the id counter is
// process-wide).

#include "src/fileio/file_naming.h"

#include <cctype>
#include <cstdio>

#include "include/zarq.h"
#include "src/fileio/directory_facts.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/ascii_text.h"
#include "src/platform/platform.h"

namespace zarq {
namespace {

constexpr int kMaxAttempts = 4095;
constexpr uint16_t kMaxReadOnlyId = 4095;

// Ids of read-only directories: 1..4095, then 1 again.
constinit uint16_t g_read_only_counter = 0;

uint16_t DrawReadOnlyId() {
  if (++g_read_only_counter > kMaxReadOnlyId) g_read_only_counter = 1;
  return g_read_only_counter;
}

struct NameParts {
  std::string sub_folder;
  std::string base;
  std::string extension;
};

bool PartsOfKind(uint16_t kind, uint32_t number, NameParts* parts) {
  std::string sub = "ZQSmart";
  sub.push_back(kPathSeparator);
  switch (kind) {
    case kKindScratchOrAll:
      return true;
    case kKindPrimaryData:
    case kKindSecondaryData:
    case kKindData:
      *parts = {"", "F", number < 256 ? ".DAT" : ".MWD"};
      return true;
    case kKindFieldList:
      *parts = {"", "F", ".DOP"};
      return true;
    case kKindEmaster:
      *parts = {"", "EMASTER", ""};
      return true;
    case kKindIndex:
      *parts = {"", "~ZARQ", ".INX"};
      return true;
    case kKindLock:
      *parts = {"", "~ZARQ", ".LCK"};
      return true;
    case kKindMaster:
      *parts = {"", "MASTER", ""};
      return true;
    case kKindXmaster:
      *parts = {"", "XMASTER", ""};
      return true;
    case kKindForeignMarker:
      *parts = {"", "~NONZARQ", ".USR"};
      return true;
    case kKindSecurityList:
      *parts = {"", "~ZARQ", ".SEC"};
      return true;
    case kKindChart:
      *parts = {sub, "C", ".CHT"};
      return true;
    case kKindSecurityScratch:
      *parts = {"", "S", ".TMP"};
      return true;
    case kKindUsers:
      *parts = {"", "~ZARQ", ".USR"};
      return true;
    case kKindChart2:
      *parts = {sub, "C", ".MWS"};
      return true;
    default:
      return false;
  }
}

bool IsRelocatedKind(uint16_t kind) {
  return kind == kKindIndex || kind == kKindLock || kind == kKindSecurityList || kind == kKindUsers;
}

bool NameExists(const std::string& name) {
  uint32_t attributes = 0;
  return Os().GetAttributes(name, &attributes) == 0;
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof(text), "%0*x", digits, value);
  return text;
}

}  // namespace

int32_t BuildFileName(uint8_t directory, uint32_t number, std::string* name, uint16_t code) {
  name->clear();
  DirectoryFacts* facts = FindDirectoryFacts(directory);
  if (facts == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  return BuildFileNameIn(facts, number, name, code);
}

int32_t BuildFileNameIn(DirectoryFacts* facts, uint32_t number, std::string* name, uint16_t code) {
  name->clear();
  uint16_t kind = code & kKindMask;
  bool wildcard = code & kKindWildcard;
  bool temporary = code & kKindTemporary;
  bool folder_only = code & kKindFolderOnly;

  NameParts parts;
  if (!PartsOfKind(kind, number, &parts)) return ZARQ_E_INVALID_ARGUMENT;
  // The master files have one name each: no number is ever part of it.
  bool numbered = kind != kKindEmaster && kind != kKindMaster && kind != kKindXmaster;
  std::string number_part = number == 0 || !numbered ? "" : std::to_string(number);
  bool scratch = false;
  if (kind == kKindScratchOrAll) {
    if (wildcard) {
      parts.base.clear();
    } else if (temporary) {
      parts.base = "~ZQ";
      scratch = true;
    } else {
      return ZARQ_E_INVALID_ARGUMENT;
    }
  }
  if (wildcard) number_part = "*";
  if (temporary) parts.extension = ".TMP";
  if (folder_only) {
    parts.base.clear();
    number_part.clear();
    parts.extension.clear();
  }

  bool relocated = IsRelocatedKind(kind) && facts->read_only;
  bool had_id = facts->read_only_id != 0;
  uint16_t id = facts->read_only_id;
  std::string private_folder;
  if (relocated) {
    int32_t status = PrivateWorkFolder(&private_folder);
    if (status != ZARQ_OK) return status;
  }
  uint32_t candidate = Os().TickCount();
  for (int attempt = 1;; ++attempt) {
    std::string folder = facts->path;
    if (relocated) {
      folder = private_folder;
      if (id == 0) id = DrawReadOnlyId();
      number_part = folder_only ? "" : Hex(id, 3);
    }
    if (scratch) number_part = Hex(candidate & 0xFFFF, 4);
    std::string composed;
    for (const std::string* part :
         {&folder, &parts.sub_folder, &parts.base, &number_part, &parts.extension}) {
      composed.append(*part);
    }
    if (composed.size() > static_cast<size_t>(kMaxFilePath)) return ZARQ_E_INVALID_ARGUMENT;
    if (folder_only && composed.size() >= 4 && composed.back() == kPathSeparator &&
        !IsRootPath(composed)) {
      composed.pop_back();
    }
    if (relocated) {
      // Another process of another directory may hold this id: its user
      // file exists then.
      if (!had_id && kind == kKindUsers && NameExists(composed)) {
        if (attempt >= kMaxAttempts) return ZARQ_E_NO_RELOCATED_NAME;
        id = DrawReadOnlyId();
        continue;
      }
      facts->read_only_id = id;
    }
    if (scratch && NameExists(composed) && attempt < kMaxAttempts) {
      ++candidate;
      continue;
    }
    *name = composed;
    return ZARQ_OK;
  }
}

int32_t BuildDirFileName(uint8_t directory, std::string* name, uint16_t kind) {
  return BuildFileName(directory, 0, name, kind);
}

int32_t OpenDirectoryFile(uint8_t directory, uint16_t kind, uint32_t flags, FileHandle* handle) {
  *handle = kNoFileHandle;
  std::string name;
  int32_t status = BuildDirFileName(directory, &name, kind);
  if (status != ZARQ_OK) return status;
  if (IsRelocatedKind(kind & kKindMask)) flags |= kOpenWorkingFile;
  return FileOpen(directory, name.c_str(), handle, flags);
}

namespace {

bool HasPrefixIgnoringCase(const std::string& name, const std::string& prefix) {
  return name.size() >= prefix.size() && EqualsIgnoringCase(name.substr(0, prefix.size()), prefix);
}

bool AllOf(const std::string& text, int (*test)(int)) {
  for (char c : text) {
    if (!test(static_cast<unsigned char>(c))) return false;
  }
  return !text.empty();
}

}  // namespace

bool IsNumberedFileName(const std::string& name, const std::string& prefix,
                        const std::string& extension) {
  if (name.size() <= prefix.size() + extension.size() || !HasPrefixIgnoringCase(name, prefix) ||
      !EqualsIgnoringCase(name.substr(name.size() - extension.size()), extension)) {
    return false;
  }
  return AllOf(name.substr(prefix.size(), name.size() - prefix.size() - extension.size()),
               [](int c) { return std::isdigit(c); });
}

bool IsLibraryTemporaryName(const std::string& name) {
  for (const char* master : {"MASTER.TMP", "EMASTER.TMP", "XMASTER.TMP"}) {
    if (EqualsIgnoringCase(name, master)) return true;
  }
  if (IsNumberedFileName(name, "F", ".TMP") || IsNumberedFileName(name, "S", ".TMP")) return true;
  return name.size() == 11 && HasPrefixIgnoringCase(name, "~ZQ") &&
         EqualsIgnoringCase(name.substr(7), ".TMP") &&
         AllOf(name.substr(3, 4), [](int c) { return std::isxdigit(c); });
}

int32_t BuildJournalFileName(uint8_t directory, std::string* name) {
  name->clear();
  DirectoryFacts* facts = FindDirectoryFacts(directory);
  if (facts == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  *name = std::string(facts->path) + kJournalFileName;
  return ZARQ_OK;
}

}  // namespace zarq
