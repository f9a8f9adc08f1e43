// directory_list.cc: the list of open directories and their numbering.
//
// Thread-safety: guarded by the library lock.

#include <algorithm>
#include <memory>
#include <new>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/frame/ascii_text.h"
#include "src/frame/library_state.h"
#include "src/platform/no_destructor.h"
#include "src/platform/platform.h"

namespace zarq {
namespace {

struct DirectoryList {
  std::vector<std::unique_ptr<DirectoryEntry>> entries;  // ascending numbers
  int next_number = 1;  // signed 8-bit in the stored form: 1..126
  uint32_t next_serial = 1;
};

DirectoryList& List() {
  static NoDestructor<DirectoryList> list;
  return *list;
}

}  // namespace

DirectoryEntry* FindDirectory(uint8_t number) {
  if (LibraryStateValue() != ZARQ_STATE_INITIALIZED) return nullptr;
  for (const auto& entry : List().entries) {
    if (entry->number == number) return entry.get();
  }
  return nullptr;
}

DirectoryEntry* FindDirectoryByPath(const std::string& path) {
  if (LibraryStateValue() != ZARQ_STATE_INITIALIZED) return nullptr;
  for (const auto& entry : List().entries) {
    bool same = kPathsIgnoreCase ? EqualsIgnoringCase(entry->path(), path) : path == entry->path();
    if (same) return entry.get();
  }
  return nullptr;
}

std::vector<DirectoryEntry*> OpenDirectories() {
  std::vector<DirectoryEntry*> result;
  for (const auto& entry : List().entries) result.push_back(entry.get());
  return result;
}

int OpenDirectoryCount() { return static_cast<int>(List().entries.size()); }

int32_t AddDirectory(DirectoryEntry** out) {
  *out = nullptr;
  DirectoryList& list = List();
  auto& entries = list.entries;
  if (entries.empty() && list.next_number > kMaxOpenDirectories) list.next_number = 1;
  int number = 0;
  size_t at = entries.size();
  if (list.next_number <= kMaxOpenDirectories) {
    number = list.next_number;
  } else if (entries.front()->number > 1) {
    number = 1;
    at = 0;
  } else {
    // The first gap after an entry, else one past the last entry.
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
      if (entries[i + 1]->number > entries[i]->number + 1) {
        number = entries[i]->number + 1;
        at = i + 1;
        break;
      }
    }
    if (number == 0) number = entries.back()->number + 1;
    if (number > kMaxOpenDirectories) return ZARQ_E_TOO_MANY_DIRECTORIES;
  }
  auto entry = std::unique_ptr<DirectoryEntry>(new (std::nothrow) DirectoryEntry);
  if (entry == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  if (list.next_number <= kMaxOpenDirectories) ++list.next_number;
  entry->number = static_cast<uint8_t>(number);
  entry->serial = list.next_serial++;
  *out = entry.get();
  entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
  return ZARQ_OK;
}

void RemoveDirectory(DirectoryEntry* entry) {
  auto& entries = List().entries;
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [entry](const auto& held) { return held.get() == entry; }),
                entries.end());
}

void FreeAllDirectories() { List().entries.clear(); }

}  // namespace zarq
