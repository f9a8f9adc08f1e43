// directory_entry.h: one open data directory of this process, and the
// table of them (DirectoryList).
//
// An open directory has a number 1..125 by which callers and security
// handles (top 8 bits) name it. Numbers come from a counter; once it has
// passed 125 the lowest free number is reused. The list is kept in
// ascending order of number.
//
// Thread-safety: everything here expects the library lock held.

#ifndef ZARQ_SRC_FILEIO_DIRECTORY_ENTRY_H_
#define ZARQ_SRC_FILEIO_DIRECTORY_ENTRY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "src/fileio/directory_facts.h"

namespace zarq {

inline constexpr int kMaxOpenDirectories = 125;

// DirectoryEntry flags.
enum DirectoryFlags : uint32_t {
  kDirHoldsDatabase = 0x01,     // holds a database and this process is registered
  kDirReadOnly = 0x02,          // cannot be written (see DirectoryFacts)
  kDirEmasterInUse = 0x04,      // EMASTER takes part in loading the master files
  kDirEraseWhenEmpty = 0x08,    // erase the database when the last user leaves it empty
  kDirFieldListFiles = 0x10,    // data files get a field-list file
  kDirRegistrationLost = 0x20,  // another process took over this process's user record
};

struct DirectoryEntry {
  uint8_t number = 0;
  DirectoryFacts files;  // path (ending with the separator), read-only, id
  std::string volume_label;
  uint32_t volume_serial = 0;
  uint32_t user_file_stamp = 0;  // of the user file this process registered in
  uint16_t user_record = 0;      // this process's record there, 0 when none
  uint16_t drive_kind = 0;
  uint16_t open_count = 0;
  // Which entry of this process it is (a count of entries made): a number
  // handed out again names another entry.
  uint32_t serial = 0;
  uint32_t flags = 0;

  const char* path() const { return files.path; }
  bool read_only() const { return files.read_only; }
  void SetReadOnly(bool read_only) {
    files.read_only = read_only;
    flags = read_only ? (flags | kDirReadOnly) : (flags & ~kDirReadOnly);
  }
  bool Has(uint32_t flag) const { return (flags & flag) != 0; }
};

// The open directory of that number; null when none is open or the library
// is not initialised.
DirectoryEntry* FindDirectory(uint8_t number);

// The open directory whose path equals path (a normalised path ending with
// the separator), compared as the system compares paths; null when none.
DirectoryEntry* FindDirectoryByPath(const std::string& path);

// The open directories in ascending order of number.
std::vector<DirectoryEntry*> OpenDirectories();
int OpenDirectoryCount();

// Creates an entry with the next number and links it into the list; -369
// when no number is free, -394 without memory.
int32_t AddDirectory(DirectoryEntry** entry);

// Unlinks and frees an entry.
void RemoveDirectory(DirectoryEntry* entry);

// Frees every entry (shutdown); the number counter goes on.
void FreeAllDirectories();

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_DIRECTORY_ENTRY_H_
