// directory_facts.cc: the file layer's view of an open directory.
//
// Thread-safety: used under the library lock.

#include "src/fileio/directory_facts.h"

#include "src/fileio/directory_entry.h"

namespace zarq {

DirectoryFacts* FindDirectoryFacts(uint8_t number) {
  DirectoryEntry* entry = FindDirectory(number);
  return entry != nullptr ? &entry->files : nullptr;
}

}  // namespace zarq
